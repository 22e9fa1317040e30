#include "engine/detail/Columns.h"

#include "engine/Encoding.h"

#include <algorithm>
#include <iterator>

namespace morvex {
namespace {

struct CodeRange {
    char32_t first;
    char32_t last;
};

#include "engine/detail/WidthTable.inc"

template <std::size_t N> bool inTable(const CodeRange (&table)[N], char32_t code) {
    const CodeRange* const end = std::end(table);
    const CodeRange* const at = std::upper_bound(
        std::begin(table), end, code, [](char32_t c, const CodeRange& r) { return c < r.first; });
    return at != std::begin(table) && code <= (at - 1)->last;
}

} // namespace

int codePointColumns(char32_t code) {
    if (code < 0x300) // nothing below the combining diacritics is wide or zero-width
        return 1;
    if (inTable(kZeroWidth, code))
        return 0;
    return inTable(kWide, code) ? 2 : 1;
}

std::size_t utf8Columns(std::string_view text) {
    std::size_t columns = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++columns;
            ++pos;
            continue;
        }
        const std::size_t n = utf8CharLength(text, pos);
        if (n == 0) {
            ++columns;
            ++pos;
            continue;
        }
        columns += static_cast<std::size_t>(codePointColumns(utf8CodePoint(text, pos, n)));
        pos += n;
    }
    return columns;
}

} // namespace morvex
