#include "engine/TakeBack.h"

#include "engine/Messages.h"
#include "engine/Paths.h"
#include "engine/TextStream.h"
#include "engine/detail/SafeReplace.h"
#include "engine/detail/Sys.h"

#include <cerrno>

namespace morvex {
namespace {

using namespace fileops;

TakeBackOutcome openFile(const std::string& path, LockedFile& file) {
    switch (openLocked(path, file, nullptr)) {
    case LockResult::Locked:
        return TakeBackOutcome::Done;
    case LockResult::Missing:
        return TakeBackOutcome::FileMissing;
    case LockResult::Unopenable:
    case LockResult::ConvertedElsewhere:
        break;
    }
    return TakeBackOutcome::FileUnopenable;
}

// The backup, open for reading: a regular file other than the file itself, made from this file
// (as far as its mark tells) and, with `expected`, the very one the conversion made.
TakeBackOutcome openBackup(const std::string& backupPath, const LockedFile& file,
                           std::optional<FileId> expected, UniqueFd& backup) {
    struct stat looked {};
    if (sys::calls().lstat(backupPath.c_str(), &looked) != 0)
        return errno == ENOENT || errno == ENOTDIR ? TakeBackOutcome::NoBackup
                                                   : TakeBackOutcome::BackupNotRegular;
    if (!S_ISREG(looked.st_mode))
        return TakeBackOutcome::BackupNotRegular;
    if (sameFile(looked, file.st))
        return TakeBackOutcome::BackupIsFile;
    if (expected && idOf(looked) != *expected)
        return TakeBackOutcome::BackupReplaced;
    struct stat st {};
    backup = openForRead(backupPath, st, true);
    if (!backup || !sameFile(st, looked))
        return TakeBackOutcome::BackupNotRegular;
    if (!backupBelongsTo(backup.get(), file.target))
        return TakeBackOutcome::BackupOfOtherFile;
    return TakeBackOutcome::Done;
}

TakeBackOutcome fromReplace(ReplaceOutcome outcome) {
    switch (outcome) {
    case ReplaceOutcome::Replaced:
        return TakeBackOutcome::Done;
    case ReplaceOutcome::Unchanged:
        return TakeBackOutcome::Unchanged;
    case ReplaceOutcome::Abandoned:
        return TakeBackOutcome::Abandoned;
    case ReplaceOutcome::CreateFailed:
        return TakeBackOutcome::CreateFailed;
    case ReplaceOutcome::ReadFailed:
        return TakeBackOutcome::ReadFailed;
    case ReplaceOutcome::OutOfMemory:
        return TakeBackOutcome::OutOfMemory;
    case ReplaceOutcome::Changed:
        return TakeBackOutcome::Changed;
    default:
        return TakeBackOutcome::WriteFailed;
    }
}

} // namespace

const char* takeBackMessage(TakeBackOutcome outcome) {
    switch (outcome) {
    case TakeBackOutcome::Done:
        return nullptr;
    case TakeBackOutcome::FileMissing:
        return kMsgSourceMissing;
    case TakeBackOutcome::FileUnopenable:
        return kMsgInputOpen;
    case TakeBackOutcome::NoBackup:
        return kMsgNoBackup;
    case TakeBackOutcome::BackupNotRegular:
        return kMsgBackupNotRegular;
    case TakeBackOutcome::BackupIsFile:
        return kMsgBackupIsFile;
    case TakeBackOutcome::BackupReplaced:
    case TakeBackOutcome::BackupOfOtherFile:
        return kMsgBackupReplaced;
    case TakeBackOutcome::CrossDevice:
        return kMsgExchangeCrossDevice;
    case TakeBackOutcome::ExchangeUnsupported:
        return kMsgExchangeUnsupported;
    case TakeBackOutcome::ExchangeFailed:
        return kMsgExchangeFailed;
    case TakeBackOutcome::Unchanged:
    case TakeBackOutcome::Abandoned: // its reason is told where it arose
        return nullptr;
    case TakeBackOutcome::CreateFailed:
        return kMsgOutputCreate;
    case TakeBackOutcome::WriteFailed:
        return kMsgOutputWrite;
    case TakeBackOutcome::ReadFailed:
        return kMsgInputRead;
    case TakeBackOutcome::OutOfMemory:
        return kMsgOutOfMemory;
    case TakeBackOutcome::Changed:
        return kMsgChangedMeanwhile;
    }
    return nullptr;
}

TakeBackOutcome exchangeWithBackup(const std::string& path, const std::string& backupPath,
                                   std::optional<FileId> expectedBackup) {
    LockedFile file;
    if (const TakeBackOutcome opened = openFile(path, file); opened != TakeBackOutcome::Done)
        return opened;
    UniqueFd backup;
    if (const TakeBackOutcome checked = openBackup(backupPath, file, expectedBackup, backup);
        checked != TakeBackOutcome::Done)
        return checked;
    if (sys::calls().exchange(backupPath.c_str(), file.target.c_str()) != 0) {
        if (errno == EXDEV)
            return TakeBackOutcome::CrossDevice;
        return exchangeUnsupported(errno) ? TakeBackOutcome::ExchangeUnsupported
                                          : TakeBackOutcome::ExchangeFailed;
    }
    // The converted text is the backup now, of this same file.
    markBackupSource(file.fd.get(), file.target);
    unmarkBackupSource(backup.get());
    syncDirectory(directoryOf(file.target));
    if (directoryOf(backupPath) != directoryOf(file.target))
        syncDirectory(directoryOf(backupPath));
    return TakeBackOutcome::Done;
}

TakeBackOutcome rewriteFromBackup(const std::string& path, const std::string& backupPath,
                                  const ReplaceBody& body, std::set<std::string>& sweptDirs) {
    LockedFile file;
    if (const TakeBackOutcome opened = openFile(path, file); opened != TakeBackOutcome::Done)
        return opened;
    UniqueFd backup;
    if (const TakeBackOutcome checked = openBackup(backupPath, file, std::nullopt, backup);
        checked != TakeBackOutcome::Done)
        return checked;
    const std::string dir = directoryOf(file.target);
    if (sweptDirs.insert(dir).second)
        removeStaleFiles(dir, isReplaceTempName, idOf(file.st));
    NewFile made;
    ReplaceOutcome outcome = writeNewText(backup.get(), file, body, made);
    if (outcome == ReplaceOutcome::Replaced && !unchangedAt(file.st, file.target))
        outcome = ReplaceOutcome::Changed;
    if (outcome == ReplaceOutcome::Replaced) {
        // The text it replaces has no other name: marked, so that it is swept should it be
        // left under the temporary name.
        const bool marked = markUniqueFile(file.fd.get());
        outcome = placeNewFile(made, file);
        if (outcome != ReplaceOutcome::Replaced && marked)
            unmarkUniqueFile(file.fd.get());
    }
    if (outcome == ReplaceOutcome::Replaced)
        syncDirectory(dir);
    else
        discardNewFile(made);
    return fromReplace(outcome);
}

bool undoConversion(const std::string& path, const std::string& backupExt,
                    const ShowError& showError) {
    const std::string backupPath = backupPathFor(path, backupExt);
    const TakeBackOutcome outcome =
        backupPath == path ? TakeBackOutcome::BackupIsFile : exchangeWithBackup(path, backupPath);
    if (outcome != TakeBackOutcome::Done && showError)
        showError(std::string(takeBackMessage(outcome)) + ": " + path, kErrorCaption);
    return outcome == TakeBackOutcome::Done;
}

} // namespace morvex
