// The byte loop with pools, markers and alignment taken from the input.
#include "engine/Engine.h"
#include "engine/TextStream.h"
#include "tests/engine/fuzz/FuzzPass.h"

#include <sys/mman.h>
#include <unistd.h>

using namespace morvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const ConvSettings s = fuzz::passValuesFrom(input);
    const std::size_t buffer = 1 + input.byte() % 64;
    ConvEngine engine;
    engine.setPools(fuzz::poolFrom(input.part(4), 7), fuzz::poolFrom(input.part(4), 7));
    engine.seed(input.byte());

    std::string output;
    MemorySource source(input.rest());
    StringSink sink(output);
    TextReader in(source, buffer);
    TextWriter out(sink, buffer);
    const std::uint32_t seed = engine.generatorState();
    const InsertCounts counts = engine.RewriteStream(in, out, s);
    fuzz::check(out.flush() && counts.footers >= 0 && counts.headers >= 0);
    // The text stops only at a marker whose pool cannot draw.
    if (counts.emptyPool)
        fuzz::check(!canDraw(*counts.emptyPool == EntryKind::Footer ? engine.footerPool()
                                                                    : engine.headerPool()));
    // The comparison that spares a rewrite: "same" exactly when the new text is the old one.
    static const int file = ::memfd_create("fuzz-rewrite", MFD_CLOEXEC);
    const std::string_view text = input.rest();
    if (file >= 0 && ::ftruncate(file, 0) == 0 &&
        ::pwrite(file, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size())) {
        engine.seed(seed);
        MemorySource again(text);
        TextReader reread(again, buffer);
        FileCompareSink compare(file, static_cast<off_t>(text.size()));
        TextWriter compared(compare, buffer);
        engine.RewriteStream(reread, compared, s);
        fuzz::check(compared.flush() && compare.same() == (output == text));
    }
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
