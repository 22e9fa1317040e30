#include "engine/Engine.h"

#include "engine/PassValues.h"
#include "engine/TakeBack.h"
#include "engine/TextStream.h"
#include "engine/detail/FileOps.h"
#include "engine/detail/SafeReplace.h"
#include "engine/detail/Sys.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace morvex {
namespace {

bool hasWildcards(std::string_view entry) {
    return entry.find_first_of("*?") != std::string_view::npos;
}

// A run's seed: fine enough that two runs started in the same second differ, and the process id
// for two started at the same moment.
std::uint32_t runSeed() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::uint64_t mixed = static_cast<std::uint64_t>(now.tv_sec) * 1000000007u +
                          static_cast<std::uint64_t>(now.tv_nsec);
    mixed ^= static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15u;
    mixed ^= mixed >> 29;
    mixed *= 0xBF58476D1CE4E5B9u;
    return static_cast<std::uint32_t>(mixed ^ (mixed >> 32));
}

// Hands the expansion of a header to the writer in pieces, so that a long rest of line repeated by
// many "\H" never has to fit in memory at once; a preview's observer sees each piece too.
class WriterOut {
public:
    WriterOut(TextWriter& out, InsertionObserver* observer)
        : m_out(out)
        , m_observer(observer) {}
    void operator()(std::string_view piece) {
        m_out.write(piece);
        if (m_observer)
            m_observer->text(piece);
    }

private:
    TextWriter& m_out;
    InsertionObserver* m_observer;
};

// The text a preview shows goes nowhere else.
class DiscardSink : public ByteSink {
public:
    bool write(const char*, std::size_t) override { return true; }
};

// A file's encoding as its first bytes say; the stream's own check has the last word.
constexpr std::size_t kEncodingPrefix = 64 * 1024;

TextEncoding prefixEncoding(const std::string& path) {
    EncodingSniffer sniffer;
    struct stat st {};
    const int fd = fileops::openRegularForRead(path, st);
    if (fd < 0)
        return TextEncoding::ShiftJis;
    std::unique_ptr<char[]> block(new char[kEncodingPrefix]);
    std::size_t got = 0;
    while (got < kEncodingPrefix) {
        const ssize_t n = sys::calls().read(fd, block.get() + got, kEncodingPrefix - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    fileops::closeFd(fd);
    sniffer.feed(std::string_view(block.get(), got));
    if (got < kEncodingPrefix)
        sniffer.finish();
    return sniffer.verdict();
}

// The path as a rule pattern with "/" sees it: absolute, without "." components.
std::string fullPath(const std::string& path) {
    std::string full;
    if (!path.starts_with('/')) {
        std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
        if (cwd)
            full = std::string(cwd.get()) + "/";
    }
    full += path;
    for (std::size_t dot; (dot = full.find("/./")) != std::string::npos;)
        full.erase(dot, 2);
    return full;
}

} // namespace

std::optional<std::size_t> matchingRule(const std::vector<ConvRule>& rules,
                                        const std::string& path) {
    if (rules.empty())
        return std::nullopt;
    const std::string full = fullPath(path);
    const std::string_view name = std::string_view(path).substr(directoryPart(path).size());
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const std::string& pattern = rules[i].pattern;
        const bool whole = pattern.find('/') != std::string::npos;
        if (wildcardMatch(pattern, whole ? std::string_view(full) : name))
            return i;
    }
    return std::nullopt;
}

EncodingChoice encodingChoice(const ConvSettings& settings) {
    if (settings.autoEncoding)
        return EncodingChoice::Auto;
    return settings.encoding == TextEncoding::Utf8 ? EncodingChoice::Utf8
                                                   : EncodingChoice::ShiftJis;
}

void setEncodingChoice(ConvSettings& settings, EncodingChoice choice) {
    settings.autoEncoding = choice == EncodingChoice::Auto;
    if (choice != EncodingChoice::Auto)
        settings.encoding =
            choice == EncodingChoice::Utf8 ? TextEncoding::Utf8 : TextEncoding::ShiftJis;
}

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

// The window's boxes say these as designed, without the file; a line on standard error, where
// many files may pass, names it.
void ConvEngine::showDesignedError(const char* text, const std::string& subject) const {
    if (m_designedTexts)
        showError(std::string(text));
    else
        showError(text, subject);
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

void ConvEngine::setMode(PassMode mode, InsertionObserver* observer) {
    m_mode = mode;
    m_observer = observer;
}

void ConvEngine::setPools(Pool footers, Pool headers) {
    FList = std::move(footers);
    HList = std::move(headers);
    FListSources.clear();
    HListSources.clear();
}

bool ConvEngine::identify(const std::string& path, fileops::FileId& id) const {
    struct stat st {};
    if (sys::calls().stat(path.c_str(), &st) != 0)
        return false;
    id = fileops::idOf(st);
    if (m_mode == PassMode::Preview && !m_pass->looked.empty()) {
        // A file the preview would have replaced: the path names its new file by now.
        std::unique_ptr<char, decltype(&std::free)> resolved(
            sys::calls().realpath(path.c_str(), nullptr), &std::free);
        if (resolved)
            if (const auto looked = m_pass->looked.find(resolved.get());
                looked != m_pass->looked.end())
                id = looked->second;
    }
    return true;
}

bool ConvEngine::refused(const ConvSettings& settings) const {
    const std::string refusal = refusedPassValue(settings);
    if (!refusal.empty())
        showError(refusal);
    return !refusal.empty();
}

void ConvEngine::beginPass(const ConvSettings& settings, bool seed) {
    m_settings = settings;
    // A file's own values are set from these for each file; the lists of sources stay behind.
    m_fileSettings = settings;
    m_fileSettings.sources.clear();
    m_fileSettings.rules.clear();
    m_fileRule = 0;
    m_filePools[0] = m_filePools[1] = nullptr;
    m_footers = 0;
    m_headers = 0;
    m_pass->sources.clear();
    m_pass->originals.clear();
    m_pass->converted.clear();
    m_pass->held.releaseAll();
    m_pass->looked.clear();
    m_unchanged.clear();
    m_rounds.reset();
    LastPass.clear();
    if (seed)
        Generator.seed(m_clock ? m_clock() : static_cast<std::uint32_t>(std::time(nullptr)));
}

// A preview and a stream write nothing, not even the merge's temporary file.
void ConvEngine::buildPools(const ConvSettings& settings) {
    m_otherPools.clear();
    if (m_mode == PassMode::Convert) {
        MakeFooterPool(settings.footerListPattern, settings.encoding);
        MakeHeaderPool(settings.headerListPattern, settings.encoding);
        return;
    }
    loadLists(settings.footerListPattern, FList, FListSources, kMsgFooterListOpen, m_showError,
              settings.encoding);
    loadLists(settings.headerListPattern, HList, HListSources, kMsgHeaderListOpen, m_showError,
              settings.encoding);
    m_footerPoolEncoding = m_headerPoolEncoding = settings.encoding;
    m_footerPoolPattern = settings.footerListPattern;
    m_headerPoolPattern = settings.headerListPattern;
}

bool ConvEngine::preparePass(const ConvSettings& settings) {
    if (refused(settings))
        return false;
    buildPools(settings);
    ConvertedList.clear();
    m_converted.clear();
    beginPass(settings, true);
    return true;
}

void ConvEngine::beginRun() {
    Generator.seed(m_clock ? m_clock() : runSeed());
    m_inRun = true;
}

void ConvEngine::ConvertAll(const ConvSettings& settings) {
    if (!preparePass(settings))
        return;
    // Swept once per folder in this call, whatever the current look has swept.
    std::set<std::string> lookSwept = std::exchange(m_pass->sweptDirs, {});
    // Every file of the pass is known before the first backup, so that no backup replaces one.
    // A file a pattern finds that is its own backup name is an older backup (as with "*.*"),
    // which a new backup may replace; one named as it is stays a source.
    // A file named as it is whose backup name is its own name cannot be converted, and is told;
    // one a pattern finds is an older backup, passed over.
    struct Source {
        std::string path;
        bool ownBackup = false;
        bool literal = false;
    };
    std::vector<Source> paths;
    for (const std::string& entry : settings.sources) {
        const std::string dir = directoryPart(entry);
        const std::vector<std::string> found = findFiles(entry);
        const bool literal = !hasWildcards(entry);
        if (found.empty() && literal)
            showError(kMsgSourceMissing, entry);
        for (const std::string& name : found) {
            Source& source = paths.emplace_back(Source{dir + name, false, literal});
            source.ownBackup = backupPathFor(source.path, settings.backupExt) == source.path;
            fileops::FileId id;
            if (!identify(source.path, id))
                continue;
            m_pass->originals.emplace(source.path, id);
            if (literal || !source.ownBackup)
                m_pass->sources.insert(id);
        }
    }
    for (const Source& source : paths) {
        if (!source.ownBackup)
            ConvertFile(source.path);
        else if (source.literal)
            showError(kMsgBackupIsFile, source.path);
    }
    m_pass->sweptDirs = std::move(lookSwept);
    endPass();
}

void ConvEngine::beginLook() {
    m_pass->sweptDirs.clear();
}

bool ConvEngine::ConvertOne(const std::string& path, const ConvSettings& settings) {
    if (refused(settings))
        return false;
    beginPass(settings, !m_inRun);
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
        showDesignedError(kMsgOutputCreate, path);
        break;
    case ReplaceOutcome::WriteFailed:
        showDesignedError(kMsgOutputWrite, path);
        break;
    case ReplaceOutcome::ReadFailed:
        showDesignedError(kMsgInputRead, path);
        break;
    case ReplaceOutcome::Changed:
        showDesignedError(kMsgChangedMeanwhile, path);
        break;
    }
}

void ConvEngine::reportEmptyPool(EntryKind kind, const std::string& file) const {
    const bool footer = kind == EntryKind::Footer;
    showError(emptyPoolMessage(
        footer, footer ? m_fileSettings.footerListPattern : m_fileSettings.headerListPattern,
        file));
}

ConvEngine::FilePlan ConvEngine::planFile(const std::string& path, const std::string& readFrom) {
    FilePlan plan;
    ConvSettings& file = m_fileSettings;
    file.footerMarker = m_settings.footerMarker;
    file.headerMarker = m_settings.headerMarker;
    file.footerMarkerField = m_settings.footerMarkerField;
    file.headerMarkerField = m_settings.headerMarkerField;
    // Without a rule the lists are the pools as they stand (a watch builds them once).
    file.footerListPattern = m_footerPoolPattern.value_or(m_settings.footerListPattern);
    file.headerListPattern = m_headerPoolPattern.value_or(m_settings.headerListPattern);
    file.encoding = m_settings.encoding;
    file.autoEncoding = m_settings.autoEncoding;
    bool ruleMarkers = false;
    if (const auto index = matchingRule(m_settings.rules, path)) {
        const ConvRule& rule = m_settings.rules[*index];
        plan.rule = static_cast<int>(*index) + 1;
        if (!rule.footerListPattern.empty())
            file.footerListPattern = rule.footerListPattern;
        if (!rule.headerListPattern.empty())
            file.headerListPattern = rule.headerListPattern;
        if (rule.encoding)
            setEncodingChoice(file, *rule.encoding);
        if (rule.footerMarkerField) {
            file.footerMarkerField = rule.footerMarkerField;
            file.footerMarker = markerByte(*rule.footerMarkerField);
            ruleMarkers = true;
        }
        if (rule.headerMarkerField) {
            file.headerMarkerField = rule.headerMarkerField;
            file.headerMarker = markerByte(*rule.headerMarkerField);
            ruleMarkers = true;
        }
    }
    plan.autoEncoding = file.autoEncoding;
    if (file.autoEncoding)
        file.encoding = prefixEncoding(readFrom);
    file.autoEncoding = false;
    // The pass has checked its own values for its own encoding; what a rule or the file's
    // encoding changed is checked here, for this file.
    if (ruleMarkers || file.encoding != m_settings.encoding)
        plan.refusal = refusedPassValue(file);
    m_fileRule = plan.rule;
    m_filePools[0] = poolFor(EntryKind::Footer);
    m_filePools[1] = poolFor(EntryKind::Header);
    return plan;
}

// The main pools serve every file that takes the lists and encoding they were built for; any
// other pattern or encoding gets a pool of its own, built at its first file in the pass.
const ConvEngine::PoolSet* ConvEngine::poolFor(EntryKind kind) {
    const bool footer = kind == EntryKind::Footer;
    const std::string& pattern =
        footer ? m_fileSettings.footerListPattern : m_fileSettings.headerListPattern;
    const TextEncoding encoding = m_fileSettings.encoding;
    const std::optional<std::string>& mainPattern =
        footer ? m_footerPoolPattern : m_headerPoolPattern;
    const TextEncoding mainEncoding = footer ? m_footerPoolEncoding : m_headerPoolEncoding;
    if (!mainPattern || (*mainPattern == pattern && mainEncoding == encoding))
        return nullptr;
    const auto key = std::make_tuple(kind, pattern, encoding);
    auto found = m_otherPools.find(key);
    if (found == m_otherPools.end()) {
        PoolSet set;
        const char* message = footer ? kMsgFooterListOpen : kMsgHeaderListOpen;
        if (m_mode == PassMode::Convert)
            MergeLists(pattern, systemTempDir(), footer ? "_Morvex_.tmp" : "_Morvex_.tmh", set.pool,
                       message, m_showError, ListMerge, &set.sources, encoding);
        else
            loadLists(pattern, set.pool, set.sources, message, m_showError, encoding);
        found = m_otherPools.emplace(key, std::move(set)).first;
    }
    return &found->second;
}

// Bytes that say the file is in the other encoding than the one it was read in; ASCII text is
// in both.
// Rewrites the whole text with every byte of it checked; false, with the encoding its bytes are
// in, when that is not the one the file is being converted in.
bool ConvEngine::rewriteInItsEncoding(TextReader& in, TextWriter& out, InsertCounts& counts,
                                      std::optional<TextEncoding>& found) {
    EncodingSniffer sniffer;
    in.setTap(&sniffer);
    counts = RewriteStream(in, out, m_fileSettings);
    in.readToEnd();
    in.setTap(nullptr);
    sniffer.finish();
    if (!in.failed() && wrongEncoding(sniffer)) {
        found = sniffer.verdict();
        return false;
    }
    return true;
}

bool ConvEngine::wrongEncoding(const EncodingSniffer& sniffer) const {
    return !sniffer.ascii() && sniffer.verdict() != m_fileSettings.encoding;
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
    const FilePlan plan = planFile(path, path);
    if (!plan.refusal.empty()) {
        showError(plan.refusal + ": " + path);
        return false;
    }
    InsertCounts counts;
    const std::uint32_t drawsBefore = Generator.state();
    const bool preview = m_mode == PassMode::Preview;
    ReplaceOutcome outcome = ReplaceOutcome::Abandoned;
    // A file is read in one encoding to its end, every byte checked: bytes that say it is in the
    // other one leave it as it was, draws undone. An automatic choice taken from the file's first
    // bytes then reads it again in the encoding its whole text is in.
    std::optional<TextEncoding> foundEncoding;
    for (int attempt = 0; attempt < 2; ++attempt) {
        foundEncoding.reset();
        outcome = replaceWithBackup(
            OutFile, TmpLbl,
            [&](TextReader& in, TextWriter& out) {
                return rewriteInItsEncoding(in, out, counts, foundEncoding) && !counts.emptyPool;
            },
            *m_pass, preview ? ReplaceMode::Look : ReplaceMode::Replace);
        if (!foundEncoding)
            break;
        Generator.seed(drawsBefore);
        settleDraws(false);
        if (!plan.autoEncoding || attempt > 0)
            break;
        m_fileSettings.encoding = *foundEncoding;
        if (std::string refusal = refusedPassValue(m_fileSettings); !refusal.empty()) {
            showError(refusal + ": " + path);
            return false;
        }
        m_filePools[0] = poolFor(EntryKind::Footer);
        m_filePools[1] = poolFor(EntryKind::Header);
    }
    if (foundEncoding) {
        showError(std::string(kMsgOtherEncoding) + encodingName(*foundEncoding) + "): " + path);
        return false;
    }
    if (preview && outcome == ReplaceOutcome::Replaced)
        showInsertions(path, drawsBefore);
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
        // Likewise for a file the pass failed to rewrite, so that a preview, which cannot
        // foresee every failure, still shows the files after it as the pass converts them.
        Generator.seed(drawsBefore);
        reportFailure(outcome, path);
        return false;
    }
    ConvertedList.push_back(path);
    if (!preview)
        recordConversion(path);
    if ((counts.footers != 0 || counts.headers != 0) && m_onResult)
        m_onResult(FileResult{path, counts.footers, counts.headers, plan.rule});
    return true;
}

// A preview shows a file's insertions once the pass is known to rewrite it: the same draws are
// made again, and each insertion goes to the observer as it is made.
void ConvEngine::showInsertions(const std::string& path, std::uint32_t drawsBefore) {
    if (!m_observer)
        return;
    struct stat st {};
    const int fd = fileops::openRegularForRead(path, st);
    if (fd < 0)
        return;
    Generator.seed(drawsBefore);
    if (m_rounds)
        m_rounds->rewind();
    FdSource source(fd);
    DiscardSink nowhere;
    TextReader in(source);
    TextWriter out(nowhere);
    m_shownPath = path;
    RewriteStream(in, out, m_fileSettings);
    m_shownPath = {};
    fileops::closeFd(fd);
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
    if (!preparePass(settings))
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
    // The backup's text decides: it is what is converted again.
    const FilePlan plan = planFile(path, TmpLbl);
    if (!plan.refusal.empty()) {
        showError(plan.refusal + ": " + path);
        return;
    }
    std::optional<TextEncoding> foundEncoding;
    const TakeBackOutcome outcome =
        TmpLbl == path
            ? TakeBackOutcome::BackupIsFile
            : rewriteFromBackup(
                  path, TmpLbl,
                  [&](TextReader& in, TextWriter& out) {
                      return rewriteInItsEncoding(in, out, counts, foundEncoding) &&
                             !counts.emptyPool && (counts.footers != 0 || counts.headers != 0);
                  },
                  m_pass->sweptDirs);
    if (foundEncoding) {
        m_footers = 0;
        m_headers = 0;
        Generator.seed(drawsBefore);
        settleDraws(false);
        showError(std::string(kMsgOtherEncoding) + encodingName(*foundEncoding) + "): " + path);
        return;
    }
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
        m_onResult(FileResult{path, counts.footers, counts.headers, plan.rule});
}

void ConvEngine::settleDraws(bool kept) {
    if (m_rounds)
        m_rounds->settle(kept);
}

InsertCounts ConvEngine::RewriteStream(TextReader& in, TextWriter& out,
                                       const ConvSettings& settings) {
    m_footers = 0;
    m_headers = 0;
    m_line = 1;
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
            // The rest of an ordinary line, and the ordinary lines after it, need no byte-by-byte
            // look.
            const std::size_t lines = in.copyLines(out, footerMarker, headerMarker);
            if (lines == 0)
                break;
            m_line += lines;
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
        const std::size_t line = m_line;
        if (c == '\n')
            ++m_line; // even a line end can be a marker
        if (c == footerMarker) {
            // The flag stays set: the next byte is tested again.
            if (!PutFooter(out, settings, line))
                return {m_footers, m_headers, EntryKind::Footer};
        } else if (c == headerMarker) {
            if (!PutHeader(in, out, settings, line))
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
    const Pool& pool = filePool(kind);
    if (!settings.noRepeat)
        return drawIndex(pool, Generator);
    if (!m_rounds)
        m_rounds = std::make_unique<DrawRounds>(
            m_stateDir.empty() ? roundStateDirectory() : m_stateDir,
            m_mode == PassMode::Preview ? DrawRounds::Mode::Look : DrawRounds::Mode::Keep,
            m_showError);
    return m_rounds->draw(kind, pool, Generator);
}

InsertionObserver* ConvEngine::beginInsertion(EntryKind kind, std::size_t line, std::size_t index) {
    if (!m_observer || m_shownPath.empty())
        return nullptr;
    const PoolSources& sources = fileSources(kind);
    m_observer->begin(Insertion{m_shownPath, line, kind, sources.find(index), m_fileRule,
                                m_fileSettings.encoding});
    return m_observer;
}

// With nothing to draw, the marker would be dropped and the user's text lost with it (the
// design drops it): false, and the caller leaves the whole file as it was.
bool ConvEngine::PutFooter(TextWriter& out, const ConvSettings& settings, std::size_t line) {
    const auto index = drawFrom(EntryKind::Footer, settings);
    if (!index)
        return false;
    InsertionObserver* const observer = beginInsertion(EntryKind::Footer, line, *index);
    std::string text = ExpandEntry(filePool(EntryKind::Footer)[*index], EntryKind::Footer, {},
                                   Generator, settings.encoding);
    if (settings.alignFooters)
        text = AlignFooter(text, settings.alignColumn, settings.encoding);
    out.write(text);
    if (observer) {
        observer->text(text);
        observer->end();
    }
    ++m_footers;
    return true;
}

bool ConvEngine::PutHeader(TextReader& in, TextWriter& out, const ConvSettings& settings,
                           std::size_t line) {
    const auto index = drawFrom(EntryKind::Header, settings);
    if (!index)
        return false;
    InsertionObserver* const observer = beginInsertion(EntryKind::Header, line, *index);
    std::string rest;
    if (in.readLine(rest))
        ++m_line;
    expandEntryTo(filePool(EntryKind::Header)[*index], EntryKind::Header, rest, Generator,
                  WriterOut(out, observer), settings.encoding);
    out.put('\n');
    if (observer)
        observer->end();
    ++m_headers;
    return true;
}

} // namespace morvex
