#include "engine/TakeBack.h"

#include "engine/Messages.h"
#include "engine/Paths.h"
#include "engine/TextStream.h"
#include "engine/detail/SafeReplace.h"
#include "engine/detail/Sys.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/file.h>
#include <unistd.h>

namespace morvex {
namespace {

using namespace fileops;

constexpr int kOpenAttempts = 100; // a file replaced again and again while we wait for it

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool unchanged(const struct stat& before, const std::string& path) {
    struct stat now {};
    return ::stat(path.c_str(), &now) == 0 && sameFile(before, now) &&
           now.st_size == before.st_size && now.st_mtim.tv_sec == before.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == before.st_mtim.tv_nsec;
}

bool names(const std::string& path, const struct stat& file) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && sameFile(st, file);
}

bool names(const std::string& path, FileId id) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && idOf(st) == id;
}

void lockExclusive(int fd) {
    // Where the file system has no such locks the file is taken without one.
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

bool exchangeUnsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP ||
           error == EXDEV;
}

// The file (a link's target), open and under its conversion lock.
struct LockedFile {
    std::string target;
    int fd = -1;
    struct stat st {};

    LockedFile() = default;
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    ~LockedFile() {
        if (fd >= 0)
            ::close(fd);
    }
};

TakeBackOutcome openLocked(const std::string& path, LockedFile& file) {
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                             &std::free);
        if (!resolved)
            return errno == ENOENT ? TakeBackOutcome::FileMissing : TakeBackOutcome::FileUnopenable;
        file.target = resolved.get();
        file.fd = openRegularForRead(file.target, file.st);
        if (file.fd < 0)
            return errno == ENOENT ? TakeBackOutcome::FileMissing : TakeBackOutcome::FileUnopenable;
        lockExclusive(file.fd);
        // A pass may have put a new file in place while we waited for the lock.
        struct stat now {};
        if (::stat(file.target.c_str(), &now) == 0 && sameFile(now, file.st) &&
            ::fstat(file.fd, &file.st) == 0)
            return TakeBackOutcome::Done;
        ::close(file.fd);
        file.fd = -1;
    }
    return TakeBackOutcome::FileUnopenable;
}

TakeBackOutcome checkBackup(const std::string& backupPath, const LockedFile& file,
                            std::optional<FileId> expected, struct stat& backup) {
    if (::lstat(backupPath.c_str(), &backup) != 0)
        return errno == ENOENT || errno == ENOTDIR ? TakeBackOutcome::NoBackup
                                                   : TakeBackOutcome::BackupNotRegular;
    if (!S_ISREG(backup.st_mode))
        return TakeBackOutcome::BackupNotRegular;
    if (sameFile(backup, file.st))
        return TakeBackOutcome::BackupIsFile;
    if (expected && idOf(backup) != *expected)
        return TakeBackOutcome::BackupReplaced;
    return TakeBackOutcome::Done;
}

void syncBoth(const std::string& target, const std::string& backupPath) {
    syncDirectory(directoryOf(target));
    if (directoryOf(backupPath) != directoryOf(target))
        syncDirectory(directoryOf(backupPath));
}

// The backup, open for reading; it must still be the file checkBackup looked at.
int openBackup(const std::string& backupPath, const struct stat& looked) {
    const int fd = sys::calls().open(backupPath.c_str(),
                                     O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !sameFile(st, looked))) {
        ::close(fd);
        return -1;
    }
    if (fd >= 0)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// The new text of the file, written from the backup; the file's own text when it would not change
// (then no temporary file is made).
TakeBackOutcome writeFromBackup(int backup, const LockedFile& file, NewFile& made,
                                const ReplaceBody& body) {
    try {
        FdSource source(backup);
        NewTextSink sink(file.target, file.fd, file.st.st_size, made);
        TextReader in(source);
        TextWriter writer(sink);
        const bool kept = body(in, writer);
        const bool written = writer.flush();
        if (in.failed())
            return TakeBackOutcome::ReadFailed;
        if (!kept)
            return TakeBackOutcome::Abandoned;
        if (!written)
            return sink.failure() == ReplaceOutcome::CreateFailed ? TakeBackOutcome::CreateFailed
                                                                  : TakeBackOutcome::WriteFailed;
        if (sink.same())
            return TakeBackOutcome::Unchanged;
        if (!sink.diverge())
            return sink.failure() == ReplaceOutcome::CreateFailed ? TakeBackOutcome::CreateFailed
                                                                  : TakeBackOutcome::WriteFailed;
    } catch (const std::bad_alloc&) {
        return TakeBackOutcome::OutOfMemory;
    }
    return TakeBackOutcome::Done;
}

// The file's ACL, owner (where allowed) and permission bits for the new text, never more access
// than before; then made durable.
bool finishNewFile(int fd, const LockedFile& file) {
    if (!copyAccessAcl(file.fd, fd))
        return false;
    mode_t mode = file.st.st_mode & 07777;
    if (::fchown(fd, file.st.st_uid, file.st.st_gid) != 0) {
        struct stat mine {};
        if (::fstat(fd, &mine) != 0 || mine.st_gid != file.st.st_gid)
            mode &= ~mode_t(070);
    }
    return sys::calls().fchmod(fd, mode) == 0 && sys::calls().fsync(fd) == 0;
}

// Swaps the new file into place; what was there (the earlier conversion) goes. An editor's save
// that landed after the last look is put back.
TakeBackOutcome placeNewFile(const UniqueFile& tmp, int kept, const LockedFile& file) {
    if (!unchanged(file.st, file.target))
        return TakeBackOutcome::Changed;
    if (sys::calls().exchange(tmp.path.c_str(), file.target.c_str()) != 0) {
        if (!exchangeUnsupported(errno) ||
            sys::calls().rename(tmp.path.c_str(), file.target.c_str()) != 0)
            return TakeBackOutcome::WriteFailed;
        unmarkUniqueFile(kept);
        return TakeBackOutcome::Done;
    }
    if (!names(tmp.path, file.st)) {
        sys::calls().exchange(tmp.path.c_str(), file.target.c_str());
        return TakeBackOutcome::Changed;
    }
    unmarkUniqueFile(kept);
    sys::calls().unlink(tmp.path.c_str());
    return TakeBackOutcome::Done;
}

TakeBackOutcome rewriteLocked(const LockedFile& file, int backup, const ReplaceBody& body,
                              std::set<std::string>& sweptDirs) {
    const std::string dir = directoryOf(file.target);
    if (sweptDirs.insert(dir).second)
        removeStaleFiles(dir, isReplaceTempName);
    NewFile made;
    TakeBackOutcome outcome = writeFromBackup(backup, file, made, body);
    if (outcome == TakeBackOutcome::Done && !finishNewFile(made.tmp.fd, file))
        outcome = TakeBackOutcome::WriteFailed;
    int kept = -1;
    if (made.tmp.fd >= 0) {
        kept = ::fcntl(made.tmp.fd, F_DUPFD_CLOEXEC, 0);
        if ((!closeFd(made.tmp.fd) || kept < 0) && outcome == TakeBackOutcome::Done)
            outcome = TakeBackOutcome::WriteFailed;
    }
    if (outcome == TakeBackOutcome::Done)
        outcome = placeNewFile(made.tmp, kept, file);
    if (kept >= 0)
        ::close(kept);
    if (outcome != TakeBackOutcome::Done && !made.tmp.path.empty() && names(made.tmp.path, made.id))
        sys::calls().unlink(made.tmp.path.c_str());
    if (outcome == TakeBackOutcome::Done)
        syncDirectory(dir);
    return outcome;
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
        return kMsgBackupReplaced;
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
    if (const TakeBackOutcome opened = openLocked(path, file); opened != TakeBackOutcome::Done)
        return opened;
    struct stat backup {};
    if (const TakeBackOutcome checked = checkBackup(backupPath, file, expectedBackup, backup);
        checked != TakeBackOutcome::Done)
        return checked;
    if (sys::calls().exchange(backupPath.c_str(), file.target.c_str()) != 0)
        return exchangeUnsupported(errno) ? TakeBackOutcome::ExchangeUnsupported
                                          : TakeBackOutcome::ExchangeFailed;
    syncBoth(file.target, backupPath);
    return TakeBackOutcome::Done;
}

TakeBackOutcome rewriteFromBackup(const std::string& path, const std::string& backupPath,
                                  const ReplaceBody& body, std::set<std::string>& sweptDirs) {
    LockedFile file;
    if (const TakeBackOutcome opened = openLocked(path, file); opened != TakeBackOutcome::Done)
        return opened;
    struct stat looked {};
    if (const TakeBackOutcome checked = checkBackup(backupPath, file, std::nullopt, looked);
        checked != TakeBackOutcome::Done)
        return checked;
    const int backup = openBackup(backupPath, looked);
    if (backup < 0)
        return TakeBackOutcome::BackupNotRegular;
    const TakeBackOutcome outcome = rewriteLocked(file, backup, body, sweptDirs);
    closeFd(backup);
    return outcome;
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
