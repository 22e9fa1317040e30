#pragma once

#include "engine/FileId.h"
#include "engine/Pool.h"
#include "engine/TextStream.h"

#include <optional>
#include <set>
#include <string>

// Taking a conversion back: the file and its backup exchanged in one step, or the backup's text
// converted again into the file. Both leave the backup as it is and hold the file's conversion
// lock while they work, so that no pass converts it meanwhile.
namespace morvex {

enum class TakeBackOutcome {
    Done,
    FileMissing,         ///< the file is not there
    FileUnopenable,      ///< the file cannot be opened or is not a regular file
    NoBackup,            ///< nothing at the backup name
    BackupNotRegular,    ///< the backup is a link, a folder or another kind of file
    BackupIsFile,        ///< the backup name is another name of the file itself
    BackupReplaced,      ///< the backup is no longer the one the conversion made
    BackupOfOtherFile,   ///< the backup's mark names another file (one sharing the name)
    ExchangeUnsupported, ///< the file system cannot swap two names in one step
    CrossDevice,         ///< the file and its backup are on two file systems
    ExchangeFailed,
    Unchanged, ///< the new text is byte for byte the file's text: nothing written
    Abandoned, ///< the body gave the file up: the file is left as it is
    CreateFailed,
    WriteFailed,
    ReadFailed,
    OutOfMemory,
    Changed, ///< the file changed on disk meanwhile: the newer text stays
};

/// The message for an outcome other than Done (to be followed by ": " and the file), or null.
const char* takeBackMessage(TakeBackOutcome outcome);

/// Exchanges the file at `path` (a link's target) with `backupPath` in one atomic step, so that
/// doing it again restores both. With `expectedBackup`, refuses when the backup is another file.
TakeBackOutcome exchangeWithBackup(const std::string& path, const std::string& backupPath,
                                   std::optional<fileops::FileId> expectedBackup = std::nullopt);

/// Writes `body`'s conversion of the backup's text over the file at `path` (a link's target),
/// safely, with the file's permissions; the backup is only read. A body that returns false, or a
/// new text equal to the file's text, leaves the file as it is with no temporary file. The
/// file's folder is swept of leftover temporary files unless `sweptDirs` holds it already.
TakeBackOutcome rewriteFromBackup(const std::string& path, const std::string& backupPath,
                                  const ReplaceBody& body, std::set<std::string>& sweptDirs);

/// exchangeWithBackup for a file and its backup name; a refusal is shown through `showError`.
bool undoConversion(const std::string& path, const std::string& backupExt,
                    const ShowError& showError);

} // namespace morvex
