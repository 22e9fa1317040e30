#include "engine/Engine.h"

#include "engine/PassValues.h"
#include "engine/TextStream.h"

#include <algorithm>
#include <ctime>
#include <sys/stat.h>

namespace morvex {
namespace {

bool hasWildcards(std::string_view entry) {
    return entry.find_first_of("*?") != std::string_view::npos;
}

bool identify(const std::string& path, fileops::FileId& id) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    id = fileops::idOf(st);
    return true;
}

// Hands the expansion of a header to the writer in pieces, so that a long rest of line repeated by
// many "\H" never has to fit in memory at once.
class WriterOut {
public:
    explicit WriterOut(TextWriter& out)
        : m_out(out) {}
    void operator()(std::string_view piece) { m_out.write(piece); }

private:
    TextWriter& m_out;
};

} // namespace

ConvEngine::ConvEngine(ShowError showError, ResultCallback onResult)
    : m_showError(std::move(showError))
    , m_onResult(std::move(onResult)) {}

void ConvEngine::showError(const std::string& text) const {
    if (m_showError)
        m_showError(text, kErrorCaption);
}

void ConvEngine::showError(const char* text, const std::string& subject) const {
    showError(std::string(text) + ": " + subject);
}

void ConvEngine::MakeFooterPool(const std::string& pattern, TextEncoding encoding) {
    MergeLists(pattern, SystemTempDir(), "_Morvex_.tmp", FList, kMsgFooterListOpen, m_showError,
               ListMerge, &FListSources, encoding);
    m_footerPoolEncoding = encoding;
    m_footerPoolPattern = pattern;
    m_footerPoolWarned = false;
}

void ConvEngine::MakeHeaderPool(const std::string& pattern, TextEncoding encoding) {
    MergeLists(pattern, SystemTempDir(), "_Morvex_.tmh", HList, kMsgHeaderListOpen, m_showError,
               ListMerge, &HListSources, encoding);
    m_headerPoolEncoding = encoding;
    m_headerPoolPattern = pattern;
    m_headerPoolWarned = false;
}

bool ConvEngine::refused(const ConvSettings& settings) const {
    const std::string refusal = RefusedPassValue(settings);
    if (!refusal.empty())
        showError(refusal);
    return !refusal.empty();
}

void ConvEngine::beginPass(const ConvSettings& settings) {
    m_settings = settings;
    m_footers = 0;
    m_headers = 0;
    m_pass.sweptDirs.clear();
    m_pass.sources.clear();
    m_pass.originals.clear();
    m_pass.backups.clear();
    m_pass.converted.clear();
    m_pass.held.releaseAll();
    Generator.seed(m_clock ? m_clock() : static_cast<std::uint32_t>(std::time(nullptr)));
}

void ConvEngine::ConvertAll(const ConvSettings& settings) {
    if (refused(settings))
        return;
    MakeFooterPool(settings.footerListPattern, settings.encoding);
    MakeHeaderPool(settings.headerListPattern, settings.encoding);
    ConvertedList.clear();
    m_converted.clear();
    beginPass(settings);
    // Every file of the pass is known before the first backup, so that no backup replaces one.
    // A file a pattern finds that is its own backup name is an older backup (as with "*.*"),
    // which a new backup may replace; one named as it is stays a source.
    std::vector<std::string> paths;
    for (const std::string& entry : settings.sources) {
        const std::string dir = DirectoryPart(entry);
        const std::vector<std::string> found = FindFiles(entry);
        const bool literal = !hasWildcards(entry);
        if (found.empty() && literal)
            showError(kMsgSourceMissing, entry);
        for (const std::string& name : found) {
            paths.push_back(dir + name);
            fileops::FileId id;
            if (!identify(paths.back(), id))
                continue;
            m_pass.originals.emplace(paths.back(), id);
            if (literal || BackupPath(paths.back(), settings.backupExt) != paths.back())
                m_pass.sources.insert(id);
        }
    }
    for (const std::string& path : paths)
        ConvertFile(path);
    endPass();
}

bool ConvEngine::ConvertOne(const std::string& path, const ConvSettings& settings) {
    if (refused(settings))
        return false;
    // Pools built for the other encoding would insert text the file cannot hold.
    if (m_footerPoolPattern && m_footerPoolEncoding != settings.encoding)
        MakeFooterPool(*m_footerPoolPattern, settings.encoding);
    if (m_headerPoolPattern && m_headerPoolEncoding != settings.encoding)
        MakeHeaderPool(*m_headerPoolPattern, settings.encoding);
    beginPass(settings);
    fileops::FileId id;
    if (identify(path, id))
        m_pass.sources.insert(id);
    const bool replaced = ConvertFile(path);
    endPass();
    return replaced;
}

void ConvEngine::endPass() {
    m_pass.held.releaseAll();
    m_converted.insert(m_pass.converted.begin(), m_pass.converted.end());
}

void ConvEngine::reportFailure(ReplaceOutcome outcome, const std::string& path) const {
    switch (outcome) {
    case ReplaceOutcome::Replaced:
    case ReplaceOutcome::Skipped:
    case ReplaceOutcome::ConvertedElsewhere: // that pass reports it
        break;
    case ReplaceOutcome::OpenFailed:
        showError(kMsgInputOpen, path);
        break;
    case ReplaceOutcome::BackupFailed:
        showError(kMsgBackupCreate, path);
        break;
    case ReplaceOutcome::BackupCollision:
        showError(kMsgBackupCollision, path);
        break;
    case ReplaceOutcome::OutOfMemory:
        showError(kMsgOutOfMemory, path);
        break;
    case ReplaceOutcome::CreateFailed:
        showError(kMsgOutputCreate);
        break;
    case ReplaceOutcome::WriteFailed:
        showError(kMsgOutputWrite);
        break;
    case ReplaceOutcome::ReadFailed:
        showError(kMsgInputRead);
        break;
    case ReplaceOutcome::Changed:
        showError(kMsgChangedMeanwhile);
        break;
    }
}

bool ConvEngine::ConvertFile(const std::string& path) {
    // At most once per pass: the file itself counts, whatever path names it.
    fileops::FileId id;
    if (m_settings.skipConverted && identify(path, id) &&
        (m_pass.converted.count(id) != 0 || m_converted.count(id) != 0))
        return false;
    TmpStr = path;
    OutFile = path;
    TmpLbl = BackupPath(path, m_settings.backupExt);
    if (TmpLbl == path)
        return false; // the backup would be the file itself
    InsertCounts counts;
    const ReplaceOutcome outcome = replaceWithBackup(
        OutFile, TmpLbl,
        [&](TextReader& in, TextWriter& out) { counts = RewriteStream(in, out, m_settings); },
        m_pass);
    m_footers = 0;
    m_headers = 0;
    if (outcome != ReplaceOutcome::Replaced) {
        reportFailure(outcome, path);
        return false;
    }
    ConvertedList.push_back(path);
    if ((counts.footers != 0 || counts.headers != 0) && m_onResult)
        m_onResult(FileResult{path, counts.footers, counts.headers});
    return true;
}

InsertCounts ConvEngine::RewriteStream(TextReader& in, TextWriter& out,
                                       const ConvSettings& settings) {
    m_footers = 0;
    m_headers = 0;
    const int footerMarker = settings.footerMarker;
    const int headerMarker = settings.headerMarker;
    const bool utf8 = settings.encoding == TextEncoding::Utf8;
    if (utf8) {
        in.setBinary();
        // A byte-order mark stays where it is, and the first line still starts after it.
        constexpr std::string_view kBom = "\xEF\xBB\xBF";
        if (in.skip(kBom))
            out.writeRaw(kBom);
    }
    bool lineEndKnown = !utf8; // text mode always ends lines with CR LF
    bool lineStart = true;
    while (!out.failed()) {
        if (!lineStart) {
            // The rest of an ordinary line needs no byte-by-byte look.
            if (!in.copyLine(out))
                break;
            lineStart = true;
            continue;
        }
        const int c = in.get();
        if (c < 0)
            break;
        if ((c == footerMarker || c == headerMarker) && !lineEndKnown) {
            out.setLineEnd(in.firstLineEndIsCrLf());
            lineEndKnown = true;
        }
        if (c == footerMarker) {
            PutFooter(out, settings); // the flag stays set: the next byte is tested again
        } else if (c == headerMarker) {
            PutHeader(in, out, settings);
        } else {
            const char byte = static_cast<char>(c);
            if (utf8)
                out.writeRaw(std::string_view(&byte, 1));
            else
                out.put(byte);
            lineStart = c == '\n';
        }
    }
    return {m_footers, m_headers};
}

void ConvEngine::PutFooter(TextWriter& out, const ConvSettings& settings) {
    const auto entry = DrawEntry(FList, Generator);
    if (!entry) {
        // The marker is dropped as designed; once per pass the user learns why.
        if (!m_footerPoolWarned)
            showError(kMsgFooterPoolEmpty, m_settings.footerListPattern);
        m_footerPoolWarned = true;
        return;
    }
    std::string text = ExpandEntry(*entry, EntryKind::Footer, {}, Generator, settings.encoding);
    if (settings.alignFooters)
        text = AlignFooter(text, settings.alignColumn, settings.encoding);
    out.write(text);
    ++m_footers;
}

void ConvEngine::PutHeader(TextReader& in, TextWriter& out, const ConvSettings& settings) {
    const auto entry = DrawEntry(HList, Generator);
    if (!entry) {
        if (!m_headerPoolWarned)
            showError(kMsgHeaderPoolEmpty, m_settings.headerListPattern);
        m_headerPoolWarned = true;
        return; // the rest of the line stays, copied as ordinary text
    }
    std::string rest;
    in.readLine(rest);
    ExpandEntryTo(*entry, EntryKind::Header, rest, Generator, WriterOut(out), settings.encoding);
    out.put('\n');
    ++m_headers;
}

} // namespace morvex
