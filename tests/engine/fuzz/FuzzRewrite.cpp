// The byte loop with pools, markers and alignment taken from the input.
#include "FuzzInput.h"
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    ConvSettings s;
    s.footerMarker = input.byte();
    s.headerMarker = input.byte();
    const unsigned char align = input.byte();
    s.alignFooters = align & 1;
    s.alignColumn = align >> 1;
    const std::size_t buffer = 1 + input.byte() % 64;
    ConvEngine engine;
    engine.FList = poolFrom(input.part(4));
    engine.HList = poolFrom(input.part(4));
    engine.Generator.seed(input.byte());

    std::string output;
    MemorySource source(input.rest());
    StringSink sink(output);
    TextReader in(source, buffer);
    TextWriter out(sink, buffer);
    const InsertCounts counts = engine.RewriteStream(in, out, s);
    fuzz::check(out.flush() && counts.footers >= 0 && counts.headers >= 0);
    // Text mode: every line end goes out as CR LF, and no other CR or Ctrl-Z survives.
    for (std::size_t i = 0; i < output.size(); ++i) {
        if (output[i] == '\r')
            fuzz::check(i + 1 < output.size() && output[i + 1] == '\n');
        if (output[i] == '\n')
            fuzz::check(i > 0 && output[i - 1] == '\r');
        fuzz::check(output[i] != 0x1A);
    }
    return 0;
}
