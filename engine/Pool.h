#pragma once

#include "engine/Draw.h"
#include "engine/Encoding.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace morvex {

class TextReader;

/// The one error sink of the engine: text and caption in UTF-8; the engine shows nothing itself.
using ShowError = std::function<void(const std::string& text, const std::string& caption)>;

/// Paths of one merge, kept between merges by whoever owns the destination.
struct MergeState {
    std::string TmpListFile; ///< the temporary merge file of the last merge
    std::string TmpListLbl;  ///< the list file appended last
};

/// Where the lines of a pool come from. Lines are counted by their LF bytes, from 1; a line
/// joined across files (the first ends without a line end) belongs to the file where it begins.
class PoolSources {
public:
    /// A pool line's list file (null when unknown) and line number.
    struct Origin {
        const std::string* file = nullptr;
        std::size_t line = 0;
    };

    /// Forgets every file.
    void clear();
    /// Records the next list file of the merge: the LF bytes it holds and whether text follows
    /// the last of them.
    void addFile(const std::string& path, std::size_t lineEnds, bool openLine);
    /// The origin of pool line `index` (counted from 0).
    Origin find(std::size_t index) const;
    /// The list files in merge order.
    const std::vector<std::string>& files() const { return m_files; }
    /// The pool index of the line that the next file's first line begins or completes.
    std::size_t nextIndex() const { return m_next; }
    /// The pool index at which each file's own lines begin (a line joined to the file before
    /// stays with that file), in merge order; files that add no line of their own are left out.
    std::vector<std::size_t> fileStarts() const;

private:
    struct Run {
        std::size_t file;       // index in m_files
        std::size_t firstIndex; // the pool line at which the run begins
        std::size_t firstLine;  // that line's number in the file
    };
    std::vector<std::string> m_files;
    std::vector<Run> m_runs;
    std::size_t m_next = 0; // pool index of the next line to begin
    bool m_open = false;    // the pool's last line has no line end yet
};

/// One list file as a merge reads it.
struct ListText {
    std::string path;
    std::vector<std::string> lines; ///< text-mode lines without line ends, in the pool's encoding
    bool openLine = false;          ///< the last line has no line end
    bool opened = false;            ///< false: it could not be read and is left out
    TextEncoding encoding = TextEncoding::ShiftJis; ///< the file's own encoding
    bool byteOrderMark = false;                     ///< a UTF-8 list began with one
    /// Lines (counted from 0) with a character the pool's encoding has no form for; they are
    /// kept unconverted, and a pool leaves them out when they would be entries.
    std::vector<std::size_t> unconvertible;
    /// Lines (counted from 0) of a UTF-8 list that are not UTF-8; kept as they are, and a pool
    /// leaves them out when they would be entries.
    std::vector<std::size_t> notUtf8;
    /// A Shift-JIS list ends at a Ctrl-Z: the line (from 1) it stands in, 0 for none, and the
    /// entries after it that are never read.
    std::size_t ctrlZLine = 0;
    std::size_t entriesAfterCtrlZ = 0;
};

/// A pool line left out because it holds a character the pool's encoding has no form for.
struct LeftOutEntry {
    std::string file;
    std::size_t line = 0; ///< from 1
    bool notUtf8 = false; ///< the line of a UTF-8 list is not UTF-8 (else: not convertible)
};

/// Where one list file's lines begin in a merged text, and the encoding it was read in.
struct ListSpan {
    std::string path;
    std::size_t firstLine = 0; ///< the merged line (from 0) its first line begins or completes
    TextEncoding encoding = TextEncoding::ShiftJis;
};

/// The message reporting entries left out of a pool of `target` text: one line naming each (of
/// one kind: not convertible, or not UTF-8).
std::string leftOutMessage(TextEncoding target, const std::vector<LeftOutEntry>& entries);

/// Sets the pool's weights from its weight directives, each applying to the entries after it in
/// its list file (`sources` tells where each file begins); none when every entry weighs 1.
void assignWeights(Pool& pool, const PoolSources& sources);

/// Copies every list file the pattern names into a new temporary file in `tempDir` (named
/// `tempName` with a unique part before its extension, created exclusively, owner-only), then
/// replaces `destination` by its lines and deletes it. Each list file is read in its own encoding
/// (detectListEncoding, a byte-order mark dropped) and its lines are converted to `target`; an
/// entry holding a character `target` has no form for becomes an empty line, never drawn, and
/// all such entries are reported in one leftOutMessage. A list file that cannot be read shows
/// `openMessage` and is left out; when the temporary file fails, `destination` is untouched.
/// `sources`, when given, is replaced together with `destination`.
void MergeLists(const std::string& pattern, const std::string& tempDir, const std::string& tempName,
                Pool& destination, const std::string& openMessage, const ShowError& showError,
                MergeState& state, PoolSources* sources = nullptr,
                TextEncoding target = TextEncoding::ShiftJis);

/// Reads every list file the pattern names, in merge order, without a temporary file, each
/// converted to `target` as MergeLists converts it; a file that cannot be read shows
/// `openMessage` and comes back with `opened` false.
std::vector<ListText> readLists(const std::string& pattern, const std::string& openMessage,
                                const ShowError& showError,
                                TextEncoding target = TextEncoding::ShiftJis);

/// Joins list files into `pool` (replaced) and `sources` exactly as MergeLists does, emptying
/// the entries left out; those go to `leftOut` when given.
void joinLists(const std::vector<ListText>& lists, Pool& pool, PoolSources& sources,
               std::vector<LeftOutEntry>* leftOut = nullptr);

/// readLists then joinLists: the pool MergeLists builds, with nothing written, and its report.
void loadLists(const std::string& pattern, Pool& pool, PoolSources& sources,
               const std::string& openMessage, const ShowError& showError,
               TextEncoding target = TextEncoding::ShiftJis);

/// The same merge with the merged text kept whole for a viewer, each list file in its own
/// encoding (a byte-order mark dropped): `destination` gets the lines each ending in LF (the last
/// one without, when its file had none), `spans`, when given, where each file begins, and
/// `weights`, when given, each line's weight as a pool's (empty when every entry weighs 1);
/// true when they were replaced.
bool mergeListText(const std::string& pattern, const std::string& tempDir,
                   const std::string& tempName, std::string& destination,
                   const std::string& openMessage, const ShowError& showError, MergeState& state,
                   std::vector<ListSpan>* spans = nullptr,
                   std::vector<std::uint32_t>* weights = nullptr);

/// Reads lines in the reader's mode into `pool`; a last line without LF counts.
void loadPoolLines(TextReader& in, Pool& pool);

} // namespace morvex
