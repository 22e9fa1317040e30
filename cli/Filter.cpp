// morvex-convert -: standard input to standard output, as a file conversion would write it.
#include "cli/Modes.h"
#include "engine/Encoding.h"
#include "engine/TextStream.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace morvex::cli {
namespace {

// An editor's filter often collects both streams in one file; the result line would then land
// in the text.
bool errorsJoinOutput() {
    struct stat out {
    }, err{};
    return !::isatty(STDOUT_FILENO) && ::fstat(STDOUT_FILENO, &out) == 0 &&
           ::fstat(STDERR_FILENO, &err) == 0 && out.st_dev == err.st_dev &&
           out.st_ino == err.st_ino;
}

// Reads what is left after a Ctrl-Z, so that the program writing into the pipe ends normally.
void drainInput() {
    char buffer[65536];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
}

// Both pools can draw, so no marker can make the text be given up: it streams through.
InsertCounts streamText(ConvEngine& engine, const ConvSettings& settings, const ShowError& show) {
    FdSource source(STDIN_FILENO);
    FdSink sink(STDOUT_FILENO);
    TextReader in(source);
    TextWriter out(sink);
    const InsertCounts counts = engine.RewriteStream(in, out, settings);
    if (in.failed())
        show(kMsgInputRead, kErrorCaption);
    const bool written = out.flush();
    if (!written)
        show(kMsgOutputWrite, kErrorCaption);
    engine.settleDraws(written); // what went out, even cut short by a read error
    return counts;
}

std::string readInput(const ShowError& show) {
    std::string input;
    char buffer[65536];
    ssize_t n = 0;
    while ((n = ::read(STDIN_FILENO, buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            show(kMsgInputRead, kErrorCaption);
            break;
        }
        input.append(buffer, static_cast<std::size_t>(n));
    }
    return input;
}

// A pool with nothing to draw: a marker that meets it leaves the text as it came, byte for byte,
// so the input is held until the end is known.
InsertCounts holdText(ConvEngine& engine, const ConvSettings& settings, const ShowError& show,
                      std::optional<std::string> held = std::nullopt) {
    std::string input = held ? std::move(*held) : readInput(show);
    std::string output;
    MemorySource source(input);
    StringSink converted(output);
    TextReader in(source);
    TextWriter out(converted);
    const InsertCounts counts = engine.RewriteStream(in, out, settings);
    out.flush();
    if (counts.emptyPool) {
        engine.reportEmptyPool(*counts.emptyPool, "-");
        output = std::move(input);
    }
    FdSink sink(STDOUT_FILENO);
    const bool written = sink.write(output.data(), output.size());
    if (!written)
        show(kMsgOutputWrite, kErrorCaption);
    engine.settleDraws(written && !counts.emptyPool);
    return counts;
}

} // namespace

int runFilter(const ConvSettings& settings, std::optional<std::uint32_t> seed) {
    bool errors = false;
    const ShowError show = [&](const std::string& text, const std::string& caption) {
        printError(text, caption);
        errors = true;
    };
    ConvEngine engine(show);
    applySeed(engine, seed);
    engine.setMode(PassMode::Stream);
    // The text's own encoding is known only from all of it: it is held, and the pools built
    // for that encoding.
    std::optional<std::string> held;
    ConvSettings fixed = settings;
    if (settings.autoEncoding) {
        held = readInput(show);
        setEncodingChoice(fixed, detectTextEncoding(*held) == TextEncoding::Utf8
                                     ? EncodingChoice::Utf8
                                     : EncodingChoice::ShiftJis);
    }
    if (!engine.preparePass(fixed)) {
        drainInput();
        return 1;
    }
    const InsertCounts counts =
        !held && canDraw(engine.footerPool()) && canDraw(engine.headerPool())
            ? streamText(engine, fixed, show)
            : holdText(engine, fixed, show, std::move(held));
    drainInput();
    if ((counts.footers != 0 || counts.headers != 0) && !counts.emptyPool && !errorsJoinOutput())
        std::fprintf(stderr, "-\t%d\t%d\n", counts.footers, counts.headers);
    return errors ? 1 : 0;
}

} // namespace morvex::cli
