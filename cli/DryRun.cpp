// morvex-convert --dry-run: what a pass would insert, and where each entry comes from.
#include "cli/Modes.h"
#include "engine/Encoding.h"
#include "engine/Preview.h"

#include <cstdio>
#include <string>

namespace morvex::cli {
namespace {

void printInsertion(const Insertion& insertion, TextEncoding encoding) {
    const std::string path(insertion.path);
    const char* kind = insertion.kind == EntryKind::Footer ? "footer" : "header";
    if (insertion.origin.file)
        std::printf("%s:%zu: %s from %s:%zu\n", path.c_str(), insertion.line, kind,
                    insertion.origin.file->c_str(), insertion.origin.line);
    else
        std::printf("%s:%zu: %s\n", path.c_str(), insertion.line, kind);
    // Each line of the text, the last one too when it is empty, so a final \N stays visible.
    std::string_view text = insertion.text;
    for (;;) {
        const std::size_t lf = text.find('\n');
        std::printf("    %s\n", decodeForTerminal(text.substr(0, lf), encoding).c_str());
        if (lf == std::string_view::npos)
            break;
        text.remove_prefix(lf + 1);
    }
}

} // namespace

void printError(const std::string& text, const std::string& caption) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

int runDryRun(const ConvSettings& settings, std::optional<std::uint32_t> seed) {
    bool errors = false;
    PreviewPass pass(
        [&](const std::string& text, const std::string& caption) {
            printError(text, caption);
            errors = true;
        },
        [&settings](const Insertion& insertion) { printInsertion(insertion, settings.encoding); },
        [](const FileResult& r) {
            std::printf("%s\t%d\t%d\n", r.path.c_str(), r.footers, r.headers);
        });
    if (seed)
        pass.setClock([value = *seed] { return value; });
    pass.Run(settings);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        errors = true;
    return errors ? 1 : 0;
}

} // namespace morvex::cli
