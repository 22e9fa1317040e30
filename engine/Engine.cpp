#include "engine/Engine.h"

#include "engine/PassValues.h"
#include "engine/TakeBack.h"
#include "engine/TextStream.h"
#include "engine/detail/SafeReplace.h"
#include "engine/detail/Sys.h"

#include <algorithm>
#include <ctime>
#include <sys/stat.h>
#include <utility>

namespace morvex {
namespace {

bool hasWildcards(std::string_view entry) {
    return entry.find_first_of("*?") != std::string_view::npos;
}

bool identify(const std::string& path, fileops::FileId& id) {
    struct stat st {};
    if (sys::calls().stat(path.c_str(), &st) != 0)
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
    , m_onResult(std::move(onResult))
    , m_pass(std::make_unique<PassFiles>()) {}

ConvEngine::~ConvEngine() = default;

void ConvEngine::showError(const std::string& text) const {
    if (m_showError)
        m_showError(text, kErrorCaption);
}

void ConvEngine::showError(const char* text, const std::string& subject) const {
    showError(std::string(text) + ": " + subject);
}

void ConvEngine::MakeFooterPool(const std::string& pattern, TextEncoding encoding) {
    MergeLists(pattern, systemTempDir(), "_Morvex_.tmp", FList, kMsgFooterListOpen, m_showError,
               ListMerge, &FListSources, encoding);
    m_footerPoolEncoding = encoding;
    m_footerPoolPattern = pattern;
}

void ConvEngine::MakeHeaderPool(const std::string& pattern, TextEncoding encoding) {
    MergeLists(pattern, systemTempDir(), "_Morvex_.tmh", HList, kMsgHeaderListOpen, m_showError,
               ListMerge, &HListSources, encoding);
    m_headerPoolEncoding = encoding;
    m_headerPoolPattern = pattern;
}

bool ConvEngine::refused(const ConvSettings& settings) const {
    const std::string refusal = refusedPassValue(settings);
    if (!refusal.empty())
        showError(refusal);
    return !refusal.empty();
}

void ConvEngine::beginPass(const ConvSettings& settings) {
    m_settings = settings;
    m_footers = 0;
    m_headers = 0;
    m_pass->sources.clear();
    m_pass->originals.clear();
    m_pass->converted.clear();
    m_pass->held.releaseAll();
    m_unchanged.clear();
    m_rounds.reset();
    LastPass.clear();
    Generator.seed(m_clock ? m_clock() : static_cast<std::uint32_t>(std::time(nullptr)));
}

bool ConvEngine::beginFullPass(const ConvSettings& settings) {
    if (refused(settings))
        return false;
    MakeFooterPool(settings.footerListPattern, settings.encoding);
    MakeHeaderPool(settings.headerListPattern, settings.encoding);
    ConvertedList.clear();
    m_converted.clear();
    beginPass(settings);
    return true;
}

void ConvEngine::ConvertAll(const ConvSettings& settings) {
    if (!beginFullPass(settings))
        return;
    // Swept once per folder in this call, whatever the current look has swept.
    std::set<std::string> lookSwept = std::exchange(m_pass->sweptDirs, {});
    // Every file of the pass is known before the first backup, so that no backup replaces one.
    // A file a pattern finds that is its own backup name is an older backup (as with "*.*"),
    // which a new backup may replace; one named as it is stays a source.
    std::vector<std::string> paths;
    for (const std::string& entry : settings.sources) {
        const std::string dir = directoryPart(entry);
        const std::vector<std::string> found = findFiles(entry);
        const bool literal = !hasWildcards(entry);
        if (found.empty() && literal)
            showError(kMsgSourceMissing, entry);
        for (const std::string& name : found) {
            paths.push_back(dir + name);
            fileops::FileId id;
            if (!identify(paths.back(), id))
                continue;
            m_pass->originals.emplace(paths.back(), id);
            if (literal || backupPathFor(paths.back(), settings.backupExt) != paths.back())
                m_pass->sources.insert(id);
        }
    }
    for (const std::string& path : paths)
        ConvertFile(path);
    m_pass->sweptDirs = std::move(lookSwept);
    endPass();
}

void ConvEngine::beginLook() {
    m_pass->sweptDirs.clear();
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
    if (identify(path, id)) {
        m_pass->sources.insert(id);
        // So that a backup another process made of this very text meanwhile reads as its
        // conversion, not as a backup this one must not replace.
        m_pass->originals.emplace(path, id);
    }
    const bool replaced = ConvertFile(path);
    endPass();
    return replaced;
}

void ConvEngine::endPass() {
    m_pass->held.releaseAll();
    m_rounds.reset(); // and with it the rounds' lock file
    m_converted.insert(m_pass->converted.begin(), m_pass->converted.end());
}

void ConvEngine::reportFailure(ReplaceOutcome outcome, const std::string& path) const {
    switch (outcome) {
    case ReplaceOutcome::Replaced:
    case ReplaceOutcome::Unchanged:
    case ReplaceOutcome::Skipped:
    case ReplaceOutcome::Abandoned:          // its reason is told where it arose
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
        showError(kMsgOutputCreate, path);
        break;
    case ReplaceOutcome::WriteFailed:
        showError(kMsgOutputWrite, path);
        break;
    case ReplaceOutcome::ReadFailed:
        showError(kMsgInputRead, path);
        break;
    case ReplaceOutcome::Changed:
        showError(kMsgChangedMeanwhile, path);
        break;
    }
}

void ConvEngine::reportEmptyPool(EntryKind kind, const std::string& path) const {
    const bool footer = kind == EntryKind::Footer;
    showError(emptyPoolMessage(
        footer, footer ? m_settings.footerListPattern : m_settings.headerListPattern, path));
}

bool ConvEngine::ConvertFile(const std::string& path) {
    // At most once per pass: the file itself counts, whatever path names it.
    fileops::FileId id;
    if (m_settings.skipConverted && identify(path, id) &&
        (m_pass->converted.count(id) != 0 || m_converted.count(id) != 0 ||
         m_unchanged.count(id) != 0))
        return false;
    TmpStr = path;
    OutFile = path;
    TmpLbl = backupPathFor(path, m_settings.backupExt);
    if (TmpLbl == path)
        return false; // the backup would be the file itself
    InsertCounts counts;
    const std::uint32_t drawsBefore = Generator.state();
    const ReplaceOutcome outcome = replaceWithBackup(
        OutFile, TmpLbl,
        [&](TextReader& in, TextWriter& out) {
            counts = RewriteStream(in, out, m_settings);
            return !counts.emptyPool;
        },
        *m_pass);
    m_footers = 0;
    m_headers = 0;
    // The rounds move on only for draws the user gets: not for a file left as it was.
    settleDraws(outcome == ReplaceOutcome::Replaced);
    switch (outcome) {
    case ReplaceOutcome::Replaced:
        break;
    case ReplaceOutcome::Unchanged:
        if (identify(path, id))
            m_unchanged.insert(id);
        return true;
    case ReplaceOutcome::Abandoned:
        // As if the file were not in the pass: the files after it get the same draws.
        Generator.seed(drawsBefore);
        reportEmptyPool(*counts.emptyPool, path);
        return false;
    default:
        reportFailure(outcome, path);
        return false;
    }
    ConvertedList.push_back(path);
    recordConversion(path);
    if ((counts.footers != 0 || counts.headers != 0) && m_onResult)
        m_onResult(FileResult{path, counts.footers, counts.headers});
    return true;
}

void ConvEngine::recordConversion(const std::string& path) {
    struct stat backup {};
    if (sys::calls().lstat(TmpLbl.c_str(), &backup) == 0)
        LastPass.push_back(Conversion{path, TmpLbl, fileops::idOf(backup)});
}

int ConvEngine::undoLastPass() {
    int restored = 0;
    for (const Conversion& conversion : LastPass) {
        const TakeBackOutcome outcome =
            exchangeWithBackup(conversion.path, conversion.backupPath, conversion.backup);
        if (outcome == TakeBackOutcome::Done)
            ++restored;
        else
            showError(takeBackMessage(outcome), conversion.path);
    }
    LastPass.clear();
    return restored;
}

void ConvEngine::redrawAll(const ConvSettings& settings) {
    if (!beginFullPass(settings))
        return;
    std::set<std::string> lookSwept = std::exchange(m_pass->sweptDirs, {});
    for (const std::string& path : settings.sources)
        redrawFile(path);
    m_pass->sweptDirs = std::move(lookSwept);
    endPass();
}

void ConvEngine::redrawFile(const std::string& path) {
    TmpStr = path;
    OutFile = path;
    TmpLbl = backupPathFor(path, m_settings.backupExt);
    InsertCounts counts;
    const std::uint32_t drawsBefore = Generator.state();
    const TakeBackOutcome outcome =
        TmpLbl == path
            ? TakeBackOutcome::BackupIsFile
            : rewriteFromBackup(
                  path, TmpLbl,
                  [&](TextReader& in, TextWriter& out) {
                      counts = RewriteStream(in, out, m_settings);
                      return !counts.emptyPool && (counts.footers != 0 || counts.headers != 0);
                  },
                  m_pass->sweptDirs);
    m_footers = 0;
    m_headers = 0;
    settleDraws(outcome == TakeBackOutcome::Done);
    switch (outcome) {
    case TakeBackOutcome::Done:
        break;
    case TakeBackOutcome::Unchanged:
        return;
    case TakeBackOutcome::Abandoned:
        if (!counts.emptyPool) {
            showError(kMsgNothingToRedraw, path);
            return;
        }
        Generator.seed(drawsBefore);
        reportEmptyPool(*counts.emptyPool, path);
        return;
    default:
        showError(takeBackMessage(outcome), path);
        return;
    }
    ConvertedList.push_back(path);
    if (m_onResult)
        m_onResult(FileResult{path, counts.footers, counts.headers});
}

void ConvEngine::settleDraws(bool kept) {
    if (m_rounds)
        m_rounds->settle(kept);
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
            // The flag stays set: the next byte is tested again.
            if (!PutFooter(out, settings))
                return {m_footers, m_headers, EntryKind::Footer};
        } else if (c == headerMarker) {
            if (!PutHeader(in, out, settings))
                return {m_footers, m_headers, EntryKind::Header};
        } else {
            const char byte = static_cast<char>(c);
            if (utf8)
                out.writeRaw(std::string_view(&byte, 1));
            else
                out.put(byte);
            lineStart = c == '\n';
        }
    }
    return {m_footers, m_headers, std::nullopt};
}

std::optional<std::size_t> ConvEngine::drawFrom(EntryKind kind, const ConvSettings& settings) {
    const Pool& pool = kind == EntryKind::Footer ? FList : HList;
    if (!settings.noRepeat)
        return drawIndex(pool, Generator);
    DrawRounds* rounds = m_lentRounds;
    if (!rounds) {
        if (!m_rounds)
            m_rounds = std::make_unique<DrawRounds>(m_stateDir.empty() ? roundStateDirectory()
                                                                       : m_stateDir,
                                                    DrawRounds::Mode::Keep, m_showError);
        rounds = m_rounds.get();
    }
    return rounds->draw(kind, pool, Generator);
}

// With nothing to draw, the marker would be dropped and the user's text lost with it (the
// design drops it): false, and the caller leaves the whole file as it was.
bool ConvEngine::PutFooter(TextWriter& out, const ConvSettings& settings) {
    const auto index = drawFrom(EntryKind::Footer, settings);
    if (!index)
        return false;
    std::string text =
        ExpandEntry(FList[*index], EntryKind::Footer, {}, Generator, settings.encoding);
    if (settings.alignFooters)
        text = AlignFooter(text, settings.alignColumn, settings.encoding);
    out.write(text);
    ++m_footers;
    return true;
}

bool ConvEngine::PutHeader(TextReader& in, TextWriter& out, const ConvSettings& settings) {
    const auto index = drawFrom(EntryKind::Header, settings);
    if (!index)
        return false;
    std::string rest;
    in.readLine(rest);
    expandEntryTo(HList[*index], EntryKind::Header, rest, Generator, WriterOut(out),
                  settings.encoding);
    out.put('\n');
    ++m_headers;
    return true;
}

} // namespace morvex
