#pragma once

#include "engine/Draw.h"

#include <cstddef>
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
    std::vector<std::string> lines; ///< text-mode lines without line ends
    bool openLine = false;          ///< the last line has no line end
    bool opened = false;            ///< false: it could not be read and is left out
};

/// Copies every list file the pattern names into a new temporary file in `tempDir` (named
/// `tempName` with a unique part before its extension, created exclusively, owner-only), then
/// replaces `destination` by its lines and deletes it. A list file that cannot be read shows
/// `openMessage` and is left out; when the temporary file fails, `destination` is untouched.
/// `sources`, when given, is replaced together with `destination`.
void MergeLists(const std::string& pattern, const std::string& tempDir, const std::string& tempName,
                Pool& destination, const std::string& openMessage, const ShowError& showError,
                MergeState& state, PoolSources* sources = nullptr);

/// Reads every list file the pattern names, in merge order, without a temporary file; a file
/// that cannot be read shows `openMessage` and comes back with `opened` false.
std::vector<ListText> ReadLists(const std::string& pattern, const std::string& openMessage,
                                const ShowError& showError);

/// Joins list files into `pool` (replaced) and `sources` exactly as MergeLists does.
void JoinLists(const std::vector<ListText>& lists, Pool& pool, PoolSources& sources);

/// ReadLists then JoinLists: the pool MergeLists builds, with nothing written.
void LoadLists(const std::string& pattern, Pool& pool, PoolSources& sources,
               const std::string& openMessage, const ShowError& showError);

/// The same merge with the merged text kept whole for a viewer: `destination` gets the lines
/// each ending in LF (the last one without, when its file had none); true when it was replaced.
bool MergeListText(const std::string& pattern, const std::string& tempDir,
                   const std::string& tempName, std::string& destination,
                   const std::string& openMessage, const ShowError& showError, MergeState& state);

/// Reads text-mode lines (CR dropped, Ctrl-Z ends) into `pool`; a last line without LF counts.
void LoadPoolLines(TextReader& in, Pool& pool);

} // namespace morvex
