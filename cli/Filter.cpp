// morvex-convert -: standard input to standard output, as a file conversion would write it.
#include "cli/Modes.h"
#include "engine/TextStream.h"

#include <cstdio>
#include <ctime>
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

} // namespace

int RunFilter(const ConvSettings& settings, std::optional<std::uint32_t> seed) {
    bool errors = false;
    const ShowError show = [&](const std::string& text, const std::string& caption) {
        PrintError(text, caption);
        errors = true;
    };
    ConvEngine engine(show);
    LoadLists(settings.footerListPattern, engine.FList, engine.FListSources, kMsgFooterListOpen,
              show, settings.encoding);
    LoadLists(settings.headerListPattern, engine.HList, engine.HListSources, kMsgHeaderListOpen,
              show, settings.encoding);
    engine.Generator.seed(seed ? *seed : static_cast<std::uint32_t>(std::time(nullptr)));
    FdSource source(STDIN_FILENO);
    FdSink sink(STDOUT_FILENO);
    TextReader in(source);
    TextWriter out(sink);
    const InsertCounts counts = engine.RewriteStream(in, out, settings);
    if (in.failed())
        show(kMsgInputRead, kErrorCaption);
    if (!out.flush())
        show(kMsgOutputWrite, kErrorCaption);
    drainInput();
    if ((counts.footers != 0 || counts.headers != 0) && !errorsJoinOutput())
        std::fprintf(stderr, "-\t%d\t%d\n", counts.footers, counts.headers);
    return errors ? 1 : 0;
}

} // namespace morvex::cli
