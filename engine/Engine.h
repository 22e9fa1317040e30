#pragma once

#include "engine/Draw.h"
#include "engine/Messages.h"
#include "engine/Paths.h"
#include "engine/Pool.h"
#include "engine/SafeReplace.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace morvex {

class TextReader;
class TextWriter;

/// The values of one conversion pass.
struct ConvSettings {
    unsigned char footerMarker = ')';
    unsigned char headerMarker = ']';
    std::string backupExt = ".bak";
    std::string footerListPattern = "*.mfl";
    std::string headerListPattern = "*.mhl";
    std::vector<std::string> sources;
    bool alignFooters = false;
    int alignColumn = 71;
    bool skipConverted = true;
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

/// Insertions into one file.
struct InsertCounts {
    int footers = 0;
    int headers = 0;
};

/// The conversion engine: pools, generator and the record of converted paths.
class ConvEngine {
public:
    /// Both sinks may be empty (errors and results are then dropped).
    explicit ConvEngine(ShowError showError = {}, ResultCallback onResult = {});

    /// Replaces the error sink; it is called with a message and the caption "エラー".
    void setShowError(ShowError showError) { m_showError = std::move(showError); }
    /// Replaces the result callback; called once per converted file with insertions.
    void setResultCallback(ResultCallback onResult) { m_onResult = std::move(onResult); }
    /// Replaces the clock that seeds the generator; an empty clock means the current time.
    void setClock(SeedClock clock) { m_clock = std::move(clock); }

    /// One pass: builds both pools, empties ConvertedList, seeds, converts every source match.
    void ConvertAll(const ConvSettings& settings);
    /// Seeds and converts the one path with the pools and ConvertedList as they stand; true
    /// when the new text is in place.
    bool ConvertOne(const std::string& path, const ConvSettings& settings);

    /// Rebuilds FList from the pattern (through "_Morvex_*.tmp" in the system temp dir), its
    /// entries in `encoding`.
    void MakeFooterPool(const std::string& pattern, TextEncoding encoding = TextEncoding::ShiftJis);
    /// Rebuilds HList from the pattern (through "_Morvex_*.tmh" in the system temp dir), its
    /// entries in `encoding`.
    void MakeHeaderPool(const std::string& pattern, TextEncoding encoding = TextEncoding::ShiftJis);

    /// Backs up, rewrites and records one file with the current pass settings; true when the
    /// new text is in place (false: skipped or failed, the file keeps its previous content).
    bool ConvertFile(const std::string& path);

    /// The byte loop: copies `in` to `out`, replacing markers at line starts by entries. Shift-JIS
    /// text goes through text mode; UTF-8 text is read in binary mode, every byte kept, and an
    /// inserted line end is the kind the input's first line end is.
    InsertCounts RewriteStream(TextReader& in, TextWriter& out, const ConvSettings& settings);

    Pool FList;                             ///< footer pool
    Pool HList;                             ///< header pool
    PoolSources FListSources;               ///< list file and line of every FList line
    PoolSources HListSources;               ///< list file and line of every HList line
    std::vector<std::string> ConvertedList; ///< paths converted in this pass, in order
    DrawGenerator Generator;                ///< the one generator of the engine
    MergeState ListMerge;                   ///< TmpListFile / TmpListLbl of the last merge
    std::string TmpStr;                     ///< the upload file being converted
    std::string TmpLbl;                     ///< its backup path
    std::string OutFile;                    ///< its output path (equal to TmpStr)

private:
    void PutFooter(TextWriter& out, const ConvSettings& settings);
    void PutHeader(TextReader& in, TextWriter& out, const ConvSettings& settings);
    void beginPass(const ConvSettings& settings);
    void endPass();
    bool refused(const ConvSettings& settings) const;
    void showError(const std::string& text) const;
    void showError(const char* text, const std::string& subject) const;
    void reportFailure(ReplaceOutcome outcome, const std::string& path) const;

    ShowError m_showError;
    ResultCallback m_onResult;
    SeedClock m_clock;
    ConvSettings m_settings;
    PassFiles m_pass;
    // The new files of ConvertedList's earlier passes (each ConvertOne is a pass of its own):
    // skipped while skip converted is on, but no longer this pass's, so a backup may replace
    // one (a watched file's earlier conversion, edited since).
    std::set<fileops::FileId> m_converted;
    TextEncoding m_footerPoolEncoding = TextEncoding::ShiftJis;
    TextEncoding m_headerPoolEncoding = TextEncoding::ShiftJis;
    std::optional<std::string> m_footerPoolPattern; // of the last build, if any
    std::optional<std::string> m_headerPoolPattern;
    bool m_footerPoolWarned = false;
    bool m_headerPoolWarned = false;
    int m_footers = 0;
    int m_headers = 0;
};

} // namespace morvex
