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
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace morvex {

class TextReader;
class TextWriter;
struct PassFiles;
enum class ReplaceOutcome;

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
    /// The upload files' encoding; the pools are converted to it.
    TextEncoding encoding = TextEncoding::ShiftJis;
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
};

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

    /// One pass: builds both pools, empties ConvertedList, seeds, converts every source match.
    /// Each folder is swept of leftover temporary files once per call.
    void ConvertAll(const ConvSettings& settings);
    /// Seeds and converts the one path with the pools and ConvertedList as they stand; true
    /// when the file holds its new text (put in place, or already its text).
    bool ConvertOne(const std::string& path, const ConvSettings& settings);
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

    /// Rebuilds FList from the pattern (through "_Morvex_*.tmp" in the system temp dir), its
    /// entries in `encoding`.
    void MakeFooterPool(const std::string& pattern, TextEncoding encoding = TextEncoding::ShiftJis);
    /// Rebuilds HList from the pattern (through "_Morvex_*.tmh" in the system temp dir), its
    /// entries in `encoding`.
    void MakeHeaderPool(const std::string& pattern, TextEncoding encoding = TextEncoding::ShiftJis);

    /// Backs up, rewrites and records one file with the current pass settings; true when the
    /// file holds its new text (false: skipped or failed, the file keeps its previous content).
    /// A file whose new text is its text is left untouched, unrecorded and unreported; one with
    /// a marker that meets an empty pool is left untouched and uses no draws.
    bool ConvertFile(const std::string& path);

    /// The byte loop: copies `in` to `out`, replacing markers at line starts by entries; stops
    /// at a marker whose pool has nothing to draw (see InsertCounts::emptyPool). With noRepeat,
    /// its draws stay pending until settleDraws. Shift-JIS text goes through text mode; UTF-8
    /// text is read in binary mode, every byte kept, and an inserted line end is the kind the
    /// input's first line end is.
    InsertCounts RewriteStream(TextReader& in, TextWriter& out, const ConvSettings& settings);
    /// The no-repeat draws made since the last settling: kept in the rounds when the text they
    /// went into reached the user, else taken back as if never made.
    void settleDraws(bool kept);
    /// RewriteStream draws from these rounds instead of the engine's own (null: its own again);
    /// the lender settles them.
    void lendRounds(DrawRounds* rounds) { m_lentRounds = rounds; }

    Pool FList;                             ///< footer pool
    Pool HList;                             ///< header pool
    PoolSources FListSources;               ///< list file and line of every FList line
    PoolSources HListSources;               ///< list file and line of every HList line
    std::vector<std::string> ConvertedList; ///< paths converted in this pass, in order
    std::vector<Conversion> LastPass;       ///< the files the last pass converted
    DrawGenerator Generator;                ///< the one generator of the engine
    MergeState ListMerge;                   ///< TmpListFile / TmpListLbl of the last merge
    std::string TmpStr;                     ///< the upload file being converted
    std::string TmpLbl;                     ///< its backup path
    std::string OutFile;                    ///< its output path (equal to TmpStr)

private:
    bool PutFooter(TextWriter& out, const ConvSettings& settings);
    bool PutHeader(TextReader& in, TextWriter& out, const ConvSettings& settings);
    std::optional<std::size_t> drawFrom(EntryKind kind, const ConvSettings& settings);
    void recordConversion(const std::string& path);
    void redrawFile(const std::string& path);
    /// Refuses bad values, or builds both pools, forgets earlier passes and begins a pass.
    bool beginFullPass(const ConvSettings& settings);
    void beginPass(const ConvSettings& settings);
    void endPass();
    bool refused(const ConvSettings& settings) const;
    void showError(const std::string& text) const;
    void showError(const char* text, const std::string& subject) const;
    void reportFailure(ReplaceOutcome outcome, const std::string& path) const;
    void reportEmptyPool(EntryKind kind, const std::string& path) const;

    ShowError m_showError;
    ResultCallback m_onResult;
    SeedClock m_clock;
    std::string m_stateDir;
    std::unique_ptr<DrawRounds> m_rounds; // the no-repeat rounds of the pass under way
    DrawRounds* m_lentRounds = nullptr;
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
};

} // namespace morvex
