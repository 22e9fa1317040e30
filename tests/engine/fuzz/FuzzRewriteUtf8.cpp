// The UTF-8 byte loop (binary mode) with pools, markers and alignment taken from the input.
#include "engine/Engine.h"
#include "engine/TextStream.h"
#include "engine/detail/Columns.h"
#include "tests/engine/fuzz/FuzzPass.h"

#include <utility>

using namespace morvex;

namespace {

std::string rewrite(const Pool& footers, const Pool& headers, const ConvSettings& s,
                    unsigned char seed, std::string_view text, std::size_t buffer,
                    bool* stopped = nullptr) {
    ConvEngine engine;
    engine.setPools(footers, headers);
    engine.seed(seed);
    std::string output;
    MemorySource source(text);
    StringSink sink(output);
    TextReader in(source, buffer);
    TextWriter out(sink, buffer);
    const InsertCounts counts = engine.RewriteStream(in, out, s);
    fuzz::check(out.flush());
    if (stopped)
        *stopped = counts.emptyPool.has_value();
    return output;
}

// What the loop makes of the text when no pool has an entry: every byte up to the first marker at
// a line start, where it stops (the caller then keeps the whole text); whether it met one.
std::pair<std::string, bool> beforeFirstMarker(std::string_view text, const ConvSettings& s) {
    std::string out;
    bool lineStart = true;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        out.append(text.substr(0, 3));
        text.remove_prefix(3);
    }
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (lineStart && (byte == s.footerMarker || byte == s.headerMarker))
            return {out, true};
        out += c;
        lineStart = c == '\n';
    }
    return {out, false};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const ConvSettings s = fuzz::passValuesFrom(input, TextEncoding::Utf8);
    const std::size_t buffer = 1 + input.byte() % 64;
    const unsigned char seed = input.byte();
    const Pool footers = fuzz::poolFrom(input.part(4), 7);
    const Pool headers = fuzz::poolFrom(input.part(4), 7);
    const std::string_view text = input.rest();

    // Buffer boundaries change nothing.
    const std::string output = rewrite(footers, headers, s, seed, text, buffer);
    fuzz::check(output == rewrite(footers, headers, s, seed, text, 1 << 20));
    // No byte of the text is lost or changed: with empty pools the loop stops at the first marker.
    bool stopped = false;
    const std::string empty = rewrite({}, {}, s, seed, text, buffer, &stopped);
    const auto [expected, marker] = beforeFirstMarker(text, s);
    fuzz::check(empty == expected && stopped == marker);
    // An aligned UTF-8 footer either ends before its column or comes back as it was.
    for (const std::string& entry : footers) {
        DrawGenerator generator;
        const std::string expanded =
            ExpandEntry(entry, EntryKind::Footer, {}, generator, TextEncoding::Utf8);
        const std::string aligned = AlignFooter(expanded, s.alignColumn, TextEncoding::Utf8);
        const std::size_t n = std::min<std::size_t>(s.alignColumn, 80);
        fuzz::check(aligned == expanded || utf8Columns(aligned) + 1 == n);
    }
    return 0;
}
