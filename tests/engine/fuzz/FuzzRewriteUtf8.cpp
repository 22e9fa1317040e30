// The UTF-8 byte loop (binary mode) with pools, markers and alignment taken from the input.
#include "FuzzInput.h"
#include "engine/Columns.h"
#include "engine/Engine.h"
#include "engine/TextStream.h"

using namespace morvex;

namespace {

Pool poolFrom(std::string_view text) {
    Pool pool;
    MemorySource source(text);
    TextReader in(source, 7);
    LoadPoolLines(in, pool);
    return pool;
}

std::string rewrite(const Pool& footers, const Pool& headers, const ConvSettings& s,
                    unsigned char seed, std::string_view text, std::size_t buffer) {
    ConvEngine engine;
    engine.FList = footers;
    engine.HList = headers;
    engine.Generator.seed(seed);
    std::string output;
    MemorySource source(text);
    StringSink sink(output);
    TextReader in(source, buffer);
    TextWriter out(sink, buffer);
    engine.RewriteStream(in, out, s);
    fuzz::check(out.flush());
    return output;
}

// What the loop makes of the text when no pool has an entry: each marker at a line start is
// dropped, every other byte kept as it was.
std::string withoutMarkers(std::string_view text, const ConvSettings& s) {
    std::string out;
    bool lineStart = true;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        out.append(text.substr(0, 3));
        text.remove_prefix(3);
    }
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (lineStart && (byte == s.footerMarker || byte == s.headerMarker))
            continue;
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    ConvSettings s;
    s.encoding = TextEncoding::Utf8;
    s.footerMarker = input.byte() & 0x7F;
    s.headerMarker = input.byte() & 0x7F;
    const unsigned char align = input.byte();
    s.alignFooters = align & 1;
    s.alignColumn = align >> 1;
    const std::size_t buffer = 1 + input.byte() % 64;
    const unsigned char seed = input.byte();
    const Pool footers = poolFrom(input.part(4));
    const Pool headers = poolFrom(input.part(4));
    const std::string_view text = input.rest();

    // Buffer boundaries change nothing.
    const std::string output = rewrite(footers, headers, s, seed, text, buffer);
    fuzz::check(output == rewrite(footers, headers, s, seed, text, 1 << 20));
    // No byte of the text is lost or changed: with empty pools only the markers go.
    fuzz::check(rewrite({}, {}, s, seed, text, buffer) == withoutMarkers(text, s));
    // An aligned UTF-8 footer either ends before its column or comes back as it was.
    for (const std::string& entry : footers) {
        DrawGenerator generator;
        const std::string expanded =
            ExpandEntry(entry, EntryKind::Footer, {}, generator, TextEncoding::Utf8);
        const std::string aligned = AlignFooter(expanded, s.alignColumn, TextEncoding::Utf8);
        const std::size_t n = std::min<std::size_t>(s.alignColumn, 80);
        fuzz::check(aligned == expanded || Utf8Columns(aligned) + 1 == n);
    }
    return 0;
}
