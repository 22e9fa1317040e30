// morvex-convert SOURCE...: one pass; with --dry-run the same pass, writing nothing and listing
// each insertion and where its entry comes from.
#include "cli/Modes.h"
#include "engine/Encoding.h"

#include <cerrno>
#include <cstdio>
#include <string>

namespace morvex::cli {
namespace {

// The bytes at the end of a piece that may begin a character the next piece completes.
std::size_t cutTail(std::string_view text, TextEncoding encoding) {
    if (encoding == TextEncoding::ShiftJis) {
        for (std::size_t pos = 0; pos < text.size();) {
            const unsigned char c = static_cast<unsigned char>(text[pos]);
            if (pos + 1 == text.size())
                return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC) ? 1 : 0;
            pos += std::max<std::size_t>(sjisCharLength(text, pos), 1);
        }
        return 0;
    }
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        const unsigned char c = static_cast<unsigned char>(text[text.size() - back]);
        if ((c & 0xC0) == 0x80)
            continue;
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

// Each insertion as "PATH:LINE: footer|header from LISTFILE:LISTLINE", then every line of its
// text indented by four spaces, the last one too when it is empty (so a final \N shows). The
// text is printed as it comes, so that a header of gigabytes never has to fit in memory.
class InsertionPrinter : public InsertionObserver {
public:
    InsertionPrinter() = default;

    void begin(const Insertion& insertion) override {
        m_encoding = insertion.encoding;
        const std::string path = escaped(insertion.path);
        const char* kind = insertion.kind == EntryKind::Footer ? "footer" : "header";
        const std::string rule =
            insertion.rule > 0 ? " (rule " + std::to_string(insertion.rule) + ")" : "";
        if (insertion.origin.file)
            std::printf("%s:%zu: %s from %s:%zu%s\n    ", path.c_str(), insertion.line, kind,
                        escaped(*insertion.origin.file).c_str(), insertion.origin.line,
                        rule.c_str());
        else
            std::printf("%s:%zu: %s%s\n    ", path.c_str(), insertion.line, kind, rule.c_str());
    }

    void text(std::string_view piece) override {
        for (;;) {
            const std::size_t lf = piece.find('\n');
            m_carry.append(piece.substr(0, lf));
            const std::size_t keep =
                lf == std::string_view::npos ? cutTail(m_carry, m_encoding) : 0;
            print(std::string_view(m_carry).substr(0, m_carry.size() - keep));
            m_carry.erase(0, m_carry.size() - keep);
            if (lf == std::string_view::npos)
                return;
            std::fputs("\n    ", stdout);
            piece.remove_prefix(lf + 1);
        }
    }

    void end() override {
        print(m_carry);
        m_carry.clear();
        std::fputc('\n', stdout);
    }

private:
    void print(std::string_view bytes) {
        const std::string shown = decodeForTerminal(bytes, m_encoding);
        std::fwrite(shown.data(), 1, shown.size(), stdout);
    }

    TextEncoding m_encoding = TextEncoding::ShiftJis;
    std::string m_carry; // a character cut between two pieces
};

} // namespace

int runPass(const ConvSettings& settings, std::optional<std::uint32_t> seed, bool dryRun,
            bool redraw) {
    bool errors = false;
    bool readerGone = false; // "| head": the pass goes on, quietly
    ConvEngine engine(
        [&](const std::string& text, const std::string& caption) {
            printError(text, caption);
            errors = true;
        },
        [&](const FileResult& r) {
            if (readerGone)
                return;
            if (r.rule > 0)
                std::printf("%s\t%d\t%d\t(rule %d)\n", escaped(r.path).c_str(), r.footers,
                            r.headers, r.rule);
            else
                std::printf("%s\t%d\t%d\n", escaped(r.path).c_str(), r.footers, r.headers);
            if (std::fflush(stdout) != 0 && errno == EPIPE)
                readerGone = true;
        });
    applySeed(engine, seed);
    InsertionPrinter printer;
    if (dryRun)
        engine.setMode(PassMode::Preview, &printer);
    if (redraw)
        engine.redrawAll(settings);
    else
        engine.ConvertAll(settings);
    if (!readerGone && (std::fflush(stdout) != 0 || std::ferror(stdout)) && errno != EPIPE)
        errors = true;
    return errors ? 1 : 0;
}

} // namespace morvex::cli
