#pragma once

#include "engine/Draw.h"

#include <functional>
#include <string>

namespace morvex {

class TextReader;

/// The one error sink of the engine: text and caption in UTF-8; the engine shows nothing itself.
using ShowError = std::function<void(const std::string& text, const std::string& caption)>;

/// Paths of one merge, kept between merges by whoever owns the destination.
struct MergeState {
    std::string TmpListFile; ///< the temporary merge file of the last merge
    std::string TmpListLbl;  ///< the list file appended last
};

/// Copies every list file the pattern names into a new temporary file in `tempDir` (named
/// `tempName` with a unique part before its extension, created exclusively, owner-only), then
/// replaces `destination` by its lines and deletes it. A list file that cannot be read shows
/// `openMessage` and is left out; when the temporary file fails, `destination` is untouched.
void MergeLists(const std::string& pattern, const std::string& tempDir, const std::string& tempName,
                Pool& destination, const std::string& openMessage, const ShowError& showError,
                MergeState& state);

/// The same merge with the merged text kept whole for a viewer: `destination` gets the lines
/// each ending in LF (the last one without, when its file had none); true when it was replaced.
bool MergeListText(const std::string& pattern, const std::string& tempDir,
                   const std::string& tempName, std::string& destination,
                   const std::string& openMessage, const ShowError& showError, MergeState& state);

/// Reads text-mode lines (CR dropped, Ctrl-Z ends) into `pool`; a last line without LF counts.
void LoadPoolLines(TextReader& in, Pool& pool);

} // namespace morvex
