// The preview against the byte loop: the same insertions and draws; its shown texts are UTF-8.
#include "engine/Encoding.h"
#include "engine/Preview.h"
#include "engine/TextStream.h"
#include "tests/engine/fuzz/FuzzPass.h"

using namespace morvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const ConvSettings s = fuzz::passValuesFrom(input);
    const std::uint32_t seed = input.byte();
    const Pool footers = fuzz::poolFrom(input.part(4), 5);
    const Pool headers = fuzz::poolFrom(input.part(4), 5);
    const std::string_view text = input.rest();

    ConvEngine engine;
    engine.FList = footers;
    engine.HList = headers;
    engine.Generator.seed(seed);
    std::string output;
    MemorySource source(text);
    StringSink sink(output);
    TextReader in(source, 9);
    TextWriter out(sink, 9);
    const InsertCounts real = engine.RewriteStream(in, out, s);

    std::size_t inserted = 0;
    std::size_t lastLine = 0;
    PreviewPass pass({},
                     [&](const Insertion& i) {
                         ++inserted;
                         fuzz::check(i.line >= lastLine && i.line >= 1);
                         lastLine = i.line;
                         fuzz::check(isUtf8(decodeForTerminal(i.text)));
                     },
                     {});
    pass.FList = footers;
    pass.HList = headers;
    pass.Generator.seed(seed);
    MemorySource again(text);
    TextReader previewIn(again, 11);
    const InsertCounts shown = pass.previewStream(previewIn, "fuzz", s);
    fuzz::check(shown.footers == real.footers && shown.headers == real.headers &&
                shown.emptyPool == real.emptyPool);
    fuzz::check(inserted == static_cast<std::size_t>(real.footers + real.headers));
    fuzz::check(pass.Generator.state() == engine.Generator.state());
    return 0;
}
