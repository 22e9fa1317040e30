// Escape expansion and footer alignment of arbitrary entries.
#include "FuzzInput.h"
#include "engine/Draw.h"

#include <algorithm>

using namespace morvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const EntryKind kind = input.byte() & 1 ? EntryKind::Header : EntryKind::Footer;
    const int column = input.byte() % 96 - 8;
    DrawGenerator generator;
    generator.seed(input.byte());
    const std::string_view rest = input.part();
    const std::string_view entry = input.rest();
    const std::string expanded = ExpandEntry(entry, kind, rest, generator);
    // Output is bounded: at most 99 spaces, 5 digits or the rest per escape byte pair.
    fuzz::check(expanded.size() <= entry.size() * (50 + rest.size()) + 1);
    const std::string aligned = AlignFooter(expanded, column);
    const std::size_t n = static_cast<std::size_t>(std::clamp(column, 0, 80));
    // Either the footer fits in front of column n exactly, or it came back as it was.
    fuzz::check(aligned == expanded || aligned.size() + 1 == n);
    return 0;
}
