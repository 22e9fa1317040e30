#pragma once

#include "engine/Draw.h"
#include "engine/FileId.h"
#include "engine/Messages.h"
#include "engine/PassValues.h"
#include "engine/Paths.h"
#include "engine/Pool.h"
#include "engine/Rounds.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace morvex {

class TextReader;
class TextWriter;
struct PassFiles;
enum class ReplaceOutcome;

/// Upload files that get lists, an encoding or markers of their own.
struct ConvRule {
    /// The files it is for: wildcards as in the source list; a pattern with "/" is matched
    /// against the file's full path (absolute), one without against its name.
    std::string pattern;
    /// The rule's lists; empty: the main list of that kind.
    std::string footerListPattern;
    std::string headerListPattern;
    /// None: the pass's own choice.
    std::optional<EncodingChoice> encoding;
    /// The rule's marker fields as typed or stored (UTF-8); none: the pass's markers.
    std::optional<std::string> footerMarkerField;
    std::optional<std::string> headerMarkerField;
};

/// The index (from 0) of the first rule whose pattern matches `path`, or none.
std::optional<std::size_t> matchingRule(const std::vector<ConvRule>& rules,
                                        const std::string& path);

/// The values of one conversion pass.
struct ConvSettings {
    unsigned char footerMarker = kDefaultFooterMarker;
    unsigned char headerMarker = kDefaultHeaderMarker;
    std::string backupExt{kDefaultBackupExt};
    std::string footerListPattern{kFooterListName};
    std::string headerListPattern{kHeaderListName};
    std::vector<std::string> sources;
    bool alignFooters = false;
    int alignColumn = 71;
    bool skipConverted = true;
    /// Draws take the entries of each pool's round, never one already given in it.
    bool noRepeat = false;
    /// The upload files' encoding; the pools are converted to it. With `autoEncoding`, each file
    /// is converted in its own (detectTextEncoding) instead. Either way a pass never writes a
    /// file whose bytes say it is in the other encoding.
    TextEncoding encoding = TextEncoding::ShiftJis;
    bool autoEncoding = false;
    /// In order: the first rule whose pattern matches a file decides its lists (and, where the
    /// rule gives them, its encoding and markers); a file no rule matches takes the values above.
    std::vector<ConvRule> rules;
    /// The marker fields as typed or stored (UTF-8), when the markers come from fields: a pass
    /// refuses a field longer than one Shift-JIS byte rather than take its first byte.
    std::optional<std::string> footerMarkerField;
    std::optional<std::string> headerMarkerField;
};

/// One converted file with at least one insertion.
struct FileResult {
    std::string path;
    int footers = 0;
    int headers = 0;
    int rule = 0; ///< the rule that chose the file's lists, from 1; 0 for the main lists
};

/// The encoding choice of `settings`.
EncodingChoice encodingChoice(const ConvSettings& settings);
/// `settings` with the choice applied.
void setEncodingChoice(ConvSettings& settings, EncodingChoice choice);

using ResultCallback = std::function<void(const FileResult&)>;
/// Seconds since the epoch; the generator's seed at the start of each pass.
using SeedClock = std::function<std::uint32_t()>;

/// A file a pass converted, as it was left: what taking the conversion back needs.
struct Conversion {
    std::string path;
    std::string backupPath;
    fileops::FileId backup; ///< the file's previous text, now under the backup name
};

/// Insertions into one file.
struct InsertCounts {
    int footers = 0;
    int headers = 0;
    /// The kind of a marker that met a pool with nothing to draw; the text stops there and the
    /// file is to be left as it is.
    std::optional<EntryKind> emptyPool;
};

/// One insertion that a conversion makes.
struct Insertion {
    std::string_view path; ///< the upload file
    std::size_t line = 0;  ///< the marker's line in it, from 1
    EntryKind kind = EntryKind::Footer;
    PoolSources::Origin origin; ///< list file and line of the drawn entry
    int rule = 0;               ///< the rule that chose the lists, from 1; 0 for the main lists
    TextEncoding encoding = TextEncoding::ShiftJis; ///< the upload file's, and so the text's
};

/// Receives the insertions of a preview, each with its text as it is produced.
class InsertionObserver {
public:
    virtual ~InsertionObserver() = default;
    /// An insertion begins; its text follows in pieces.
    virtual void begin(const Insertion& insertion) = 0;
    /// The next piece of the text (a header's text comes without its own line end).
    virtual void text(std::string_view piece) = 0;
    /// The insertion's text is complete.
    virtual void end() = 0;
};

/// What the passes of an engine do with the files they meet.
enum class PassMode {
    Convert, ///< write each file's new text and keep its previous text as the backup
    /// Every check, refusal, message and draw of Convert, and nothing written: the lists are read
    /// without a temporary file, the no-repeat rounds looked at, and each file a pass would
    /// rewrite shows its insertions to the observer, then its result.
    Preview,
    /// RewriteStream on a text the caller gives; the lists are read without a temporary file.
    Stream,
};

/// The conversion engine: pools, generator and the record of converted paths.
class ConvEngine {
public:
    /// Both sinks may be empty (errors and results are then dropped).
    explicit ConvEngine(ShowError showError = {}, ResultCallback onResult = {});
    ~ConvEngine();

    /// Replaces the error sink; it is called with a message and the caption "エラー".
    void setShowError(ShowError showError) { m_showError = std::move(showError); }
    /// Replaces the result callback; called once per converted file with insertions.
    void setResultCallback(ResultCallback onResult) { m_onResult = std::move(onResult); }
    /// Replaces the clock that seeds the generator; an empty clock means the current time.
    void setClock(SeedClock clock) { m_clock = std::move(clock); }
    /// Replaces the folder of the no-repeat rounds; empty means roundStateDirectory().
    void setStateDirectory(std::string dir) { m_stateDir = std::move(dir); }
    /// What the next passes do; a preview's insertions go to `observer` (not owned).
    void setMode(PassMode mode, InsertionObserver* observer = nullptr);
    /// On, a failure whose designed text names no file is said as designed, for a message box;
    /// off (the default), every failure names its file, as a line on standard error must.
    void setDesignedTexts(bool designed) { m_designedTexts = designed; }

    /// Sets a pass up, the same for every front end: refuses bad values (false, with the
    /// message), builds both pools, forgets earlier passes and seeds the generator.
    bool preparePass(const ConvSettings& settings);
    /// Builds both pools from the settings' patterns, in their encoding: through the temporary
    /// files when converting, in memory otherwise (what a watch does once when it starts).
    void buildPools(const ConvSettings& settings);
    /// One pass: prepares it, then converts every source match. Each folder is swept of leftover
    /// temporary files once per call.
    void ConvertAll(const ConvSettings& settings);
    /// Converts the one path with the pools and ConvertedList as they stand, seeding first unless
    /// a run has begun; true when the file holds its new text (put in place, or already its
    /// text).
    bool ConvertOne(const std::string& path, const ConvSettings& settings);
    /// The ConvertOne calls from now on belong to one run (a watch) and draw from one generator,
    /// seeded now: from the clock when one is set, else from the time in nanoseconds and the
    /// process id, so that files converted in the same second get different draws.
    void beginRun();
    /// The next ConvertOne calls belong to a new look: each folder is swept again once.
    void beginLook();

    /// Builds both pools, seeds, and writes each named file anew from its backup's text with new
    /// draws; the backup stays as it is. A file whose backup is missing or not a regular file,
    /// whose backup gives no insertion, or with a marker that meets an empty pool is left as it
    /// is, with a message (the last uses no draws); one whose new text is its text is not
    /// written.
    void redrawAll(const ConvSettings& settings);
    /// Exchanges every file of LastPass with its backup again, unless its backup is no longer
    /// the one the pass made; empties LastPass and returns how many files were restored.
    int undoLastPass();
    /// True when the last pass converted a file that undoLastPass can take back.
    bool canUndo() const { return !LastPass.empty(); }
    /// The files the last pass converted.
    const std::vector<Conversion>& lastPass() const { return LastPass; }

    /// Rebuilds FList from the pattern (through "_Morvex_*.tmp" in the system temp dir), its
    /// entries in `encoding`.
    void MakeFooterPool(const std::string& pattern, TextEncoding encoding = TextEncoding::ShiftJis);
    /// Rebuilds HList from the pattern (through "_Morvex_*.tmh" in the system temp dir), its
    /// entries in `encoding`.
    void MakeHeaderPool(const std::string& pattern, TextEncoding encoding = TextEncoding::ShiftJis);

    /// The byte loop: copies `in` to `out`, replacing markers at line starts by entries; stops
    /// at a marker whose pool has nothing to draw (see InsertCounts::emptyPool). With noRepeat,
    /// its draws stay pending until settleDraws. Shift-JIS text goes through text mode; UTF-8
    /// text is read in binary mode, every byte kept, and an inserted line end is the kind the
    /// input's first line end is.
    InsertCounts RewriteStream(TextReader& in, TextWriter& out, const ConvSettings& settings);
    /// The no-repeat draws made since the last settling: kept in the rounds when the text they
    /// went into reached the user, else taken back as if never made.
    void settleDraws(bool kept);
    /// Says that a marker of `file` met an empty pool of the pass's lists, so it was left as it
    /// was.
    void reportEmptyPool(EntryKind kind, const std::string& file) const;

    const Pool& footerPool() const { return FList; }
    const Pool& headerPool() const { return HList; }
    /// List file and line of every pool line.
    const PoolSources& footerSources() const { return FListSources; }
    const PoolSources& headerSources() const { return HListSources; }
    /// Sets both pools as they are, without list files (their sources forgotten).
    void setPools(Pool footers, Pool headers);
    /// Seeds the generator.
    void seed(std::uint32_t value) { Generator.seed(value); }
    /// The generator's state word.
    std::uint32_t generatorState() const { return Generator.state(); }
    /// The paths converted in this pass, in order.
    const std::vector<std::string>& convertedList() const { return ConvertedList; }
    /// TmpListFile and TmpListLbl of the last merge.
    const MergeState& listMerge() const { return ListMerge; }
    /// The output path the main window keeps (OutFile).
    const std::string& outFile() const { return OutFile; }
    void setOutFile(std::string path) { OutFile = std::move(path); }

private:
    struct PoolSet {
        Pool pool;
        PoolSources sources;
    };
    /// What decides one file's conversion.
    struct FilePlan {
        int rule = 0;              // from 1; 0: the main values
        bool autoEncoding = false; // the encoding was read from the file
        std::string refusal;       // a rule value that would break the file
    };
    bool ConvertFile(const std::string& path);
    FilePlan planFile(const std::string& path, const std::string& readFrom);
    const PoolSet* poolFor(EntryKind kind);
    const Pool& filePool(EntryKind kind) const {
        const PoolSet* set = m_filePools[kind == EntryKind::Footer ? 0 : 1];
        return set ? set->pool : kind == EntryKind::Footer ? FList : HList;
    }
    const PoolSources& fileSources(EntryKind kind) const {
        const PoolSet* set = m_filePools[kind == EntryKind::Footer ? 0 : 1];
        return set ? set->sources : kind == EntryKind::Footer ? FListSources : HListSources;
    }
    bool wrongEncoding(const EncodingSniffer& sniffer) const;
    bool rewriteInItsEncoding(TextReader& in, TextWriter& out, InsertCounts& counts,
                              std::optional<TextEncoding>& found);
    bool PutFooter(TextWriter& out, const ConvSettings& settings, std::size_t line);
    bool PutHeader(TextReader& in, TextWriter& out, const ConvSettings& settings, std::size_t line);
    InsertionObserver* beginInsertion(EntryKind kind, std::size_t line, std::size_t index);
    std::optional<std::size_t> drawFrom(EntryKind kind, const ConvSettings& settings);
    bool identify(const std::string& path, fileops::FileId& id) const;
    void showInsertions(const std::string& path, std::uint32_t drawsBefore);
    void recordConversion(const std::string& path);
    void redrawFile(const std::string& path);
    void beginPass(const ConvSettings& settings, bool seed);
    void endPass();
    bool refused(const ConvSettings& settings) const;
    void showError(const std::string& text) const;
    void showError(const char* text, const std::string& subject) const;
    void showDesignedError(const char* text, const std::string& subject) const;
    void reportFailure(ReplaceOutcome outcome, const std::string& path) const;

    Pool FList;                             // footer pool
    Pool HList;                             // header pool
    PoolSources FListSources;               // list file and line of every FList line
    PoolSources HListSources;               // list file and line of every HList line
    std::vector<std::string> ConvertedList; // paths converted in this pass, in order
    std::vector<Conversion> LastPass;       // the files the last pass converted
    DrawGenerator Generator;                // the one generator of the engine
    MergeState ListMerge;                   // TmpListFile / TmpListLbl of the last merge
    std::string TmpStr;                     // the upload file being converted
    std::string TmpLbl;                     // its backup path
    std::string OutFile;                    // its output path (equal to TmpStr)

    ShowError m_showError;
    ResultCallback m_onResult;
    SeedClock m_clock;
    std::string m_stateDir;
    PassMode m_mode = PassMode::Convert;
    InsertionObserver* m_observer = nullptr;
    bool m_designedTexts = false;
    bool m_inRun = false;                 // beginRun: ConvertOne seeds no more
    std::string_view m_shownPath;         // while a preview shows a file's insertions
    std::size_t m_line = 1;               // the line RewriteStream is in, from 1
    std::unique_ptr<DrawRounds> m_rounds; // the no-repeat rounds of the pass under way
    ConvSettings m_settings;
    // Lives as long as the engine: backups made in the run are never replaced by another file's,
    // and folders swept in the current look (ConvertAll has its own) are not swept again.
    std::unique_ptr<PassFiles> m_pass;
    // The new files of ConvertedList's earlier passes (each ConvertOne is a pass of its own):
    // skipped while skip converted is on, but no longer this pass's, so a backup may replace
    // one (a watched file's earlier conversion, edited since).
    std::set<fileops::FileId> m_converted;
    // Files of this pass whose new text was their text: done, as far as skip converted goes.
    std::set<fileops::FileId> m_unchanged;
    TextEncoding m_footerPoolEncoding = TextEncoding::ShiftJis;
    TextEncoding m_headerPoolEncoding = TextEncoding::ShiftJis;
    std::optional<std::string> m_footerPoolPattern; // of the last build, if any
    std::optional<std::string> m_headerPoolPattern;
    int m_footers = 0;
    int m_headers = 0;
    // The values of the file under conversion: the pass's, with its rule's and its encoding.
    ConvSettings m_fileSettings;
    int m_fileRule = 0;
    // Pools of other patterns or encodings than FList and HList, built once each per pass.
    std::map<std::tuple<EntryKind, std::string, TextEncoding>, PoolSet> m_otherPools;
    const PoolSet* m_filePools[2] = {nullptr, nullptr}; // footer, header; null: FList, HList
};

} // namespace morvex
