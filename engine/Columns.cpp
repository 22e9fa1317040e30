#include "engine/Columns.h"

#include "engine/Encoding.h"

#include <algorithm>
#include <iterator>

namespace morvex {
namespace {

struct CodeRange {
    char32_t first;
    char32_t last;
};

#include "engine/WidthTable.inc"

template <std::size_t N> bool inTable(const CodeRange (&table)[N], char32_t code) {
    const CodeRange* const end = std::end(table);
    const CodeRange* const at = std::upper_bound(
        std::begin(table), end, code, [](char32_t c, const CodeRange& r) { return c < r.first; });
    return at != std::begin(table) && code <= (at - 1)->last;
}

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

std::string normaliseFooter(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\t') {
            out.append(8, ' ');
        } else if (text.compare(i, kIdeographicSpace.size(), kIdeographicSpace) == 0) {
            out.append(2, ' ');
            i += kIdeographicSpace.size() - 1;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

int CodePointColumns(char32_t code) {
    if (code < 0x300) // nothing below the combining diacritics is wide or zero-width
        return 1;
    if (inTable(kZeroWidth, code))
        return 0;
    return inTable(kWide, code) ? 2 : 1;
}

std::size_t Utf8Columns(std::string_view text) {
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
        columns += static_cast<std::size_t>(CodePointColumns(utf8CodePoint(text, pos, n)));
        pos += n;
    }
    return columns;
}

std::string AlignFooterUtf8(std::string_view footer, int column) {
    const std::size_t n = static_cast<std::size_t>(std::clamp(column, 0, 80));
    std::string norm = normaliseFooter(footer);
    const std::size_t width = Utf8Columns(norm) + 1; // the text plus the column after it
    if (width < n)
        return std::string(n - width, ' ') + norm;
    if (width > n) {
        // Spaces take one column and one byte each, so the excess counts in either.
        const std::size_t k = width - n;
        const bool leadingSpaces = k <= norm.size() && norm.find_first_not_of(' ') >= k;
        return leadingSpaces ? norm.substr(k) : std::string(footer);
    }
    return norm;
}

} // namespace morvex
