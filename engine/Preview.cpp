#include "engine/Preview.h"

#include "engine/FileOps.h"
#include "engine/TextStream.h"

#include <algorithm>
#include <ctime>

namespace morvex {

PreviewPass::PreviewPass(ShowError showError, InsertionCallback onInsert, ResultCallback onResult)
    : m_showError(std::move(showError))
    , m_onInsert(std::move(onInsert))
    , m_onResult(std::move(onResult)) {}

void PreviewPass::MakePools(const ConvSettings& settings) {
    LoadLists(settings.footerListPattern, FList, FListSources, kMsgFooterListOpen, m_showError,
              settings.encoding);
    LoadLists(settings.headerListPattern, HList, HListSources, kMsgHeaderListOpen, m_showError,
              settings.encoding);
}

void PreviewPass::Run(const ConvSettings& settings) {
    MakePools(settings);
    m_seen.clear();
    Generator.seed(m_clock ? m_clock() : static_cast<std::uint32_t>(std::time(nullptr)));
    for (const std::string& entry : settings.sources) {
        const std::string dir = DirectoryPart(entry);
        for (const std::string& name : FindFiles(entry))
            previewFile(dir + name, settings);
    }
}

// The checks of ConvEngine::ConvertFile that come before any draw, then the walk.
void PreviewPass::previewFile(const std::string& path, const ConvSettings& settings) {
    if (settings.skipConverted && std::find(m_seen.begin(), m_seen.end(), path) != m_seen.end())
        return;
    if (BackupPath(path, settings.backupExt) == path)
        return;
    struct stat st {};
    const int fd = fileops::openRegularForRead(path, st);
    if (fd < 0)
        return;
    FdSource source(fd);
    TextReader in(source);
    const InsertCounts counts = PreviewStream(in, path, settings);
    fileops::closeFd(fd);
    if (in.failed()) {
        if (m_showError)
            m_showError(kMsgInputRead, kErrorCaption);
        return;
    }
    m_seen.push_back(path);
    if ((counts.footers != 0 || counts.headers != 0) && m_onResult)
        m_onResult(FileResult{path, counts.footers, counts.headers});
}

InsertCounts PreviewPass::PreviewStream(TextReader& in, std::string_view path,
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
            if (const auto index = DrawIndex(FList, Generator)) {
                report(EntryKind::Footer, path, here, *index, {}, settings);
                ++counts.footers;
            }
        } else if (c == headerMarker) {
            if (const auto index = DrawIndex(HList, Generator)) {
                std::string rest; // a header takes the rest of its line, as PutHeader does
                if (in.readLine(rest))
                    ++number;
                report(EntryKind::Header, path, here, *index, rest, settings);
                ++counts.headers;
            }
        } else {
            lineStart = c == '\n';
        }
    }
    return counts;
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
