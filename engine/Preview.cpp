#include "engine/Preview.h"

#include "engine/TextStream.h"
#include "engine/detail/FileOps.h"

#include <algorithm>
#include <ctime>
#include <unistd.h>
#include <utility>

namespace morvex {

PreviewPass::PreviewPass(ShowError showError, InsertionCallback onInsert, ResultCallback onResult)
    : m_showError(std::move(showError))
    , m_onInsert(std::move(onInsert))
    , m_onResult(std::move(onResult)) {}

void PreviewPass::makePools(const ConvSettings& settings) {
    loadLists(settings.footerListPattern, FList, FListSources, kMsgFooterListOpen, m_showError,
              settings.encoding);
    loadLists(settings.headerListPattern, HList, HListSources, kMsgHeaderListOpen, m_showError,
              settings.encoding);
}

void PreviewPass::Run(const ConvSettings& settings) {
    makePools(settings);
    m_seen.clear();
    m_rounds.reset();
    Generator.seed(m_clock ? m_clock() : static_cast<std::uint32_t>(std::time(nullptr)));
    for (const std::string& entry : settings.sources) {
        const std::string dir = directoryPart(entry);
        for (const std::string& name : findFiles(entry))
            previewFile(dir + name, settings);
    }
}

// The checks of ConvEngine::ConvertFile that come before any draw, then the walk. Its insertions
// are shown only once the whole file is known to be converted.
void PreviewPass::previewFile(const std::string& path, const ConvSettings& settings) {
    if (settings.skipConverted && std::find(m_seen.begin(), m_seen.end(), path) != m_seen.end())
        return;
    if (backupPathFor(path, settings.backupExt) == path)
        return;
    struct stat st {};
    const int fd = fileops::openRegularForRead(path, st);
    if (fd < 0)
        return;
    const std::uint32_t drawsBefore = Generator.state();
    std::vector<Insertion> held;
    InsertionCallback show =
        std::exchange(m_onInsert, [&held](const Insertion& i) { held.push_back(i); });
    FdSource source(fd);
    TextReader in(source);
    const InsertCounts counts = previewStream(in, path, settings);
    m_onInsert = std::move(show);
    const bool inserts = counts.footers != 0 || counts.headers != 0;
    const bool same = !in.failed() && !counts.emptyPool && inserts &&
                      wouldNotChange(fd, st.st_size, drawsBefore, settings);
    fileops::closeFd(fd);
    // The draws count only for a file the pass would rewrite.
    settleDraws(!in.failed() && !counts.emptyPool && !same);
    if (in.failed()) {
        if (m_showError)
            m_showError(kMsgInputRead, kErrorCaption);
        return;
    }
    if (counts.emptyPool) {
        Generator.seed(drawsBefore); // a file left as it was uses no draws
        const bool footer = *counts.emptyPool == EntryKind::Footer;
        if (m_showError)
            m_showError(
                emptyPoolMessage(
                    footer, footer ? settings.footerListPattern : settings.headerListPattern, path),
                kErrorCaption);
        return;
    }
    m_seen.push_back(path);
    if (same)
        return; // its draws are made, but the file is not rewritten: nothing to show
    if (m_onInsert)
        for (const Insertion& insertion : held)
            m_onInsert(insertion);
    if (inserts && m_onResult)
        m_onResult(FileResult{path, counts.footers, counts.headers});
}

// Whether the real byte loop, with the same draws, writes the file's own bytes again: then a
// pass leaves the file alone and reports nothing for it.
bool PreviewPass::wouldNotChange(int fd, off_t size, std::uint32_t drawsBefore,
                                 const ConvSettings& settings) {
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return false;
    std::swap(FList, m_rewriter.FList);
    std::swap(HList, m_rewriter.HList);
    m_rewriter.Generator.seed(drawsBefore);
    if (settings.noRepeat) {
        // The same draws again: from the rounds as they were before the file's first draw.
        rounds().rewind();
        m_rewriter.lendRounds(&rounds());
    }
    FdSource source(fd);
    TextReader in(source);
    FileCompareSink compare(fd, size);
    TextWriter out(compare);
    m_rewriter.RewriteStream(in, out, settings);
    out.flush();
    m_rewriter.lendRounds(nullptr);
    std::swap(FList, m_rewriter.FList);
    std::swap(HList, m_rewriter.HList);
    return !in.failed() && compare.same();
}

InsertCounts PreviewPass::previewStream(TextReader& in, std::string_view path,
                                        const ConvSettings& settings) {
    // The byte loop of RewriteStream, counting lines; even an LF can be a marker.
    InsertCounts counts;
    const int footerMarker = settings.footerMarker;
    const int headerMarker = settings.headerMarker;
    if (settings.encoding == TextEncoding::Utf8) {
        in.setBinary();
        in.skip("\xEF\xBB\xBF"); // as RewriteStream: line 1 starts after a byte-order mark
    }
    std::size_t number = 1;
    bool lineStart = true;
    std::string text;
    for (;;) {
        if (!lineStart) {
            if (!in.readLine(text))
                break;
            ++number;
            lineStart = true;
            continue;
        }
        const int c = in.get();
        if (c < 0)
            break;
        const std::size_t here = number;
        if (c == '\n')
            ++number;
        if (c == footerMarker) {
            const auto index = drawFrom(EntryKind::Footer, settings);
            if (!index) {
                counts.emptyPool = EntryKind::Footer;
                break;
            }
            report(EntryKind::Footer, path, here, *index, {}, settings);
            ++counts.footers;
        } else if (c == headerMarker) {
            const auto index = drawFrom(EntryKind::Header, settings);
            if (!index) {
                counts.emptyPool = EntryKind::Header;
                break;
            }
            std::string rest; // a header takes the rest of its line, as PutHeader does
            if (in.readLine(rest))
                ++number;
            report(EntryKind::Header, path, here, *index, rest, settings);
            ++counts.headers;
        } else {
            lineStart = c == '\n';
        }
    }
    return counts;
}

// The draws of a real pass; the rounds' state is read once and then kept in memory only.
std::optional<std::size_t> PreviewPass::drawFrom(EntryKind kind, const ConvSettings& settings) {
    const Pool& pool = kind == EntryKind::Footer ? FList : HList;
    return settings.noRepeat ? rounds().draw(kind, pool, Generator) : drawIndex(pool, Generator);
}

DrawRounds& PreviewPass::rounds() {
    if (!m_rounds)
        m_rounds =
            std::make_unique<DrawRounds>(m_stateDir.empty() ? roundStateDirectory() : m_stateDir,
                                         DrawRounds::Mode::Look, m_showError);
    return *m_rounds;
}

// As a pass settles a file's draws: the rounds move on only for a file it rewrites.
void PreviewPass::settleDraws(bool kept) {
    if (m_rounds)
        m_rounds->settle(kept);
}

void PreviewPass::report(EntryKind kind, std::string_view path, std::size_t line, std::size_t index,
                         std::string_view rest, const ConvSettings& settings) {
    const bool footer = kind == EntryKind::Footer;
    const Pool& pool = footer ? FList : HList;
    Insertion insertion;
    insertion.path = path;
    insertion.line = line;
    insertion.kind = kind;
    insertion.origin = (footer ? FListSources : HListSources).find(index);
    insertion.text = ExpandEntry(pool[index], kind, rest, Generator, settings.encoding);
    if (footer && settings.alignFooters)
        insertion.text = AlignFooter(insertion.text, settings.alignColumn, settings.encoding);
    if (m_onInsert)
        m_onInsert(insertion);
}

} // namespace morvex
