#pragma once

#include <functional>
#include <set>
#include <string>

namespace morvex {

class TextReader;
class TextWriter;

enum class ReplaceOutcome {
    Replaced,     ///< new text in place, backup made
    Skipped,      ///< not a regular file, vanished, or no backup could be made: untouched
    CreateFailed, ///< the new file could not be created: untouched
    WriteFailed,  ///< writing, syncing or putting the new file in place failed: untouched
    ReadFailed,   ///< reading the file failed: untouched
    Changed,      ///< the file changed on disk meanwhile: the newer text stays
};

/// Rewrites `body` over the file at `path` (a link's target) through a temporary file in the
/// target's directory, makes `backupPath` hold the exact previous file, and renames the new
/// file into place with the old permissions. `sweptDirs` remembers directories already cleared
/// of leftover temporary files.
ReplaceOutcome replaceWithBackup(const std::string& path, const std::string& backupPath,
                                 const std::function<void(TextReader&, TextWriter&)>& body,
                                 std::set<std::string>& sweptDirs);

/// True for a temporary file name that replaceWithBackup creates.
bool isReplaceTempName(std::string_view name);

} // namespace morvex
