// Escape expansion and footer alignment of arbitrary entries, in either encoding.
#include "engine/Draw.h"
#include "engine/detail/Columns.h"
#include "tests/support/FuzzInput.h"

#include <algorithm>

using namespace morvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const unsigned char mode = input.byte();
    const EntryKind kind = mode & 1 ? EntryKind::Header : EntryKind::Footer;
    const bool utf8 = mode & 2;
    const TextEncoding encoding = utf8 ? TextEncoding::Utf8 : TextEncoding::ShiftJis;
    const int column = input.byte() % 96 - 8;
    DrawGenerator generator;
    generator.seed(input.byte());
    const std::string_view rest = input.part();
    const std::string_view entry = input.rest();
    const std::string expanded = ExpandEntry(entry, kind, rest, generator, encoding);
    // Output is bounded: at most 99 spaces, 5 digits or the rest per escape byte pair.
    fuzz::check(expanded.size() <= entry.size() * (50 + rest.size()) + 1);
    // UTF-8 characters are never cut: well-formed text expands to well-formed text.
    if (utf8 && isUtf8(entry) && isUtf8(rest))
        fuzz::check(isUtf8(expanded));
    const std::string aligned = AlignFooter(expanded, column, encoding);
    const std::size_t n = static_cast<std::size_t>(std::clamp(column, 0, 80));
    // Either the footer fits in front of column n exactly, or it came back as it was.
    const std::size_t columns = utf8 ? utf8Columns(aligned) : aligned.size();
    fuzz::check(aligned == expanded || columns + 1 == n);
    return 0;
}
