#include "engine/detail/SafeReplace.h"

#include "engine/Paths.h"
#include "engine/TextStream.h"
#include "engine/detail/Sys.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <new>
#include <optional>
#include <sys/file.h>
#include <unistd.h>

namespace morvex {
namespace {

using namespace fileops;

constexpr std::string_view kTempTag = ".morvex-";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr std::size_t kTempTail = 8 + 6 + 4; // tag, unique part, suffix
constexpr std::size_t kMaxBaseInTemp = 200;  // keeps the temporary name under NAME_MAX
constexpr std::size_t kCopyBlock = 256 * 1024;
constexpr int kOpenAttempts = 100; // a file replaced again and again while we wait for it

std::string tempPrefixFor(const std::string& path) {
    std::string prefix(".");
    prefix.append(baseName(path), 0, kMaxBaseInTemp);
    prefix.append(kTempTag);
    return prefix;
}

bool realPath(const std::string& path, std::string& out) {
    std::unique_ptr<char, decltype(&std::free)> resolved(
        sys::calls().realpath(path.c_str(), nullptr), &std::free);
    if (!resolved)
        return false;
    out = resolved.get();
    return true;
}

// The backup's path with its directory resolved; the backup itself need not exist.
bool canonicalSibling(const std::string& path, std::string& out) {
    std::string dir;
    if (!realPath(directoryOf(path), dir))
        return false;
    out = (dir == "/" ? dir : dir + "/") + baseName(path);
    return true;
}

// Gives a new file the old one's ACL, owner (where allowed) and permission bits, never more
// access than before, and makes it durable. The descriptor stays open.
bool finishNewFile(int fd, int old, const struct stat& oldSt) {
    if (!copyAccessAcl(old, fd))
        return false;
    mode_t mode = oldSt.st_mode & 07777;
    if (sys::calls().fchown(fd, oldSt.st_uid, oldSt.st_gid) != 0) {
        // Not permitted for another user's file: the new file is ours. Its group may then be
        // another one, which must not get the old group's access.
        struct stat mine {};
        if (sys::calls().fstat(fd, &mine) != 0 || mine.st_gid != oldSt.st_gid)
            mode &= ~mode_t(070);
    }
    return sys::calls().fchmod(fd, mode) == 0 && sys::calls().fsync(fd) == 0;
}

// Copies the first `length` bytes of a file (all of it for -1) to `to`; false with `failure` set
// when that fails.
bool copyPrefix(int from, off_t length, ByteSink& to, ReplaceOutcome& failure) {
    std::unique_ptr<char[]> block(new char[kCopyBlock]);
    for (off_t offset = 0; length < 0 || offset < length;) {
        const std::size_t want =
            length < 0 ? kCopyBlock
                       : static_cast<std::size_t>(std::min<off_t>(kCopyBlock, length - offset));
        const ssize_t n = sys::calls().pread(from, block.get(), want, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 && length < 0)
            return true;
        if (n <= 0) {
            failure = ReplaceOutcome::ReadFailed;
            return false;
        }
        if (!to.write(block.get(), static_cast<std::size_t>(n))) {
            failure = ReplaceOutcome::WriteFailed;
            return false;
        }
        offset += n;
    }
    return true;
}

// Closes the temporary descriptor (a close can report a write that failed) and keeps the file
// open on a second descriptor of the same open file, which keeps its lock.
bool seal(NewFile& made) {
    made.kept.reset(sys::calls().dup(made.tmp.fd.get()));
    return made.tmp.fd.close() && made.kept;
}

// What a look sees of a step that would create a file in `dir`.
bool mayCreateIn(const std::string& dir) {
    return sys::calls().access(dir.c_str(), W_OK | X_OK) == 0;
}

// What a look sees of a step that would replace `name`: no folder in its place, and a folder it
// may write in.
bool mayWriteName(const std::string& name) {
    struct stat st {};
    if (sys::calls().lstat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return false;
    return mayCreateIn(directoryOf(name));
}

bool linkUnsupported(int error) {
    return error == EXDEV || error == EPERM || error == ENOTSUP || error == EOPNOTSUPP ||
           error == EMLINK || error == ENOSYS;
}

struct Job {
    std::string path;
    std::string backupPath;
    std::string canonicalBackup;
    LockedFile file;
    NewFile created;
    bool backupLinked = false; ///< the backup is a second name of the file until the swap
    std::string older;         ///< the older backup, kept under a temporary name until the swap
    UniqueFd olderFd;
    bool look = false; ///< ReplaceMode::Look
};

// Where the file system has no hard links: an exact copy, made durable, renamed into place.
bool copyBackup(const Job& job) {
    UniqueFile tmp = createUniqueFile(directoryOf(job.backupPath), tempPrefixFor(job.backupPath),
                                      std::string(kTempSuffix));
    if (!tmp.fd)
        return false;
    ReplaceOutcome failure{};
    FdSink sink(tmp.fd.get(), true);
    bool ok = copyPrefix(job.file.fd.get(), -1, sink, failure) &&
              finishNewFile(tmp.fd.get(), job.file.fd.get(), job.file.st);
    if (ok)
        markBackupSource(tmp.fd.get(), job.file.target);
    ok = ok && sys::calls().rename(tmp.path.c_str(), job.backupPath.c_str()) == 0;
    if (ok)
        unmarkUniqueFile(tmp.fd.get()); // only now: until the rename it is a leftover to sweep
    ok = tmp.fd.close() && ok;
    if (!ok)
        sys::calls().unlink(tmp.path.c_str());
    return ok;
}

enum class BackupResult { Made, Failed, Changed };

// The older backup stays until the new one takes its name in one step: the file is linked under
// a temporary name beside it, which is then exchanged with it. The older backup lives on under
// the temporary name (marked, so that a sweep removes it after a kill) until the new file is in
// place, and takes its name back when that fails.
BackupResult makeBackup(Job& job) {
    if (names(job.backupPath, idOf(job.file.st))) {
        job.backupLinked = true; // left by a swap that failed: already the backup it should be
        return BackupResult::Made;
    }
    const std::string linked = linkUnique(job.file.target, directoryOf(job.backupPath),
                                          tempPrefixFor(job.backupPath), std::string(kTempSuffix));
    if (linked.empty()) {
        if (!linkUnsupported(errno))
            return BackupResult::Failed;
        return copyBackup(job) ? BackupResult::Made : BackupResult::Failed;
    }
    // The link names whatever is at the target now; it must be the file that was read.
    if (!names(linked, idOf(job.file.st))) {
        sys::calls().unlink(linked.c_str());
        return BackupResult::Changed;
    }
    struct stat older {};
    job.olderFd = openForRead(job.backupPath, older, true);
    if (job.olderFd && markUniqueFile(job.olderFd.get()) &&
        sys::calls().exchange(linked.c_str(), job.backupPath.c_str()) == 0) {
        job.older = linked;
        job.backupLinked = true;
        return BackupResult::Made;
    }
    if (job.olderFd)
        unmarkUniqueFile(job.olderFd.get());
    job.olderFd.reset();
    if (sys::calls().rename(linked.c_str(), job.backupPath.c_str()) != 0) {
        sys::calls().unlink(linked.c_str());
        return BackupResult::Failed;
    }
    job.backupLinked = true;
    return BackupResult::Made;
}

// Opens the file and takes its conversion lock; when another pass replaced it meanwhile, the
// file now at the path is taken instead.
ReplaceOutcome openForPass(Job& job, PassFiles& pass) {
    if (job.look) { // the file as it is, without its lock
        if (!realPath(job.path, job.file.target))
            return errno == ENOENT ? ReplaceOutcome::Skipped : ReplaceOutcome::OpenFailed;
        job.file.fd = openForRead(job.file.target, job.file.st);
        if (!job.file.fd)
            return errno == ENOENT || errno == EINVAL ? ReplaceOutcome::Skipped
                                                      : ReplaceOutcome::OpenFailed;
        return ReplaceOutcome::Replaced;
    }
    switch (openLocked(job.path, job.file, &pass.held)) {
    case LockResult::Locked:
        return ReplaceOutcome::Replaced;
    case LockResult::Missing:
        return ReplaceOutcome::Skipped;
    case LockResult::Unopenable:
        return ReplaceOutcome::OpenFailed;
    case LockResult::ConvertedElsewhere:
        return ReplaceOutcome::ConvertedElsewhere;
    }
    return ReplaceOutcome::OpenFailed;
}

// A backup may replace an older backup, never a file this pass converts, a backup it made, or a
// backup made earlier in the run for another file.
ReplaceOutcome checkBackup(Job& job, const PassFiles& pass) {
    if (!canonicalSibling(job.backupPath, job.canonicalBackup))
        return ReplaceOutcome::BackupFailed;
    if (job.canonicalBackup == job.file.target)
        return ReplaceOutcome::Skipped; // the backup would be the file itself
    const auto made = pass.backups.find(job.canonicalBackup);
    FileId backup;
    if (job.look && made != pass.backups.end()) {
        backup = made->second.file; // a look made none: what a pass would find there
    } else {
        struct stat existing {};
        if (sys::calls().lstat(job.canonicalBackup.c_str(), &existing) != 0)
            return errno == ENOENT ? ReplaceOutcome::Replaced : ReplaceOutcome::BackupFailed;
        backup = idOf(existing);
    }
    if (made != pass.backups.end() && made->second.file == backup) {
        if (made->second.source != job.file.target)
            return ReplaceOutcome::BackupCollision;
        // The same file converted again backs up its newer text, unless it is named as a source.
        if (pass.sources.count(backup) == 0)
            return ReplaceOutcome::Replaced;
    }
    // Another name of this very file, as a swap that failed after the backup leaves it: naming
    // the file anew loses nothing, and refusing would block the file for good.
    if (backup == idOf(job.file.st))
        return ReplaceOutcome::Replaced;
    // The backup is what this path held as the pass began: another pass, ended since, has
    // converted it. A new backup would lose that original.
    if (const auto original = pass.originals.find(job.path);
        original != pass.originals.end() && original->second == backup)
        return ReplaceOutcome::ConvertedElsewhere;
    if (pass.sources.count(backup) != 0 || pass.converted.count(backup) != 0)
        return ReplaceOutcome::BackupCollision;
    return ReplaceOutcome::Replaced;
}

} // namespace

LockResult openLocked(const std::string& path, LockedFile& file, HeldFiles* held) {
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        if (!realPath(path, file.target))
            return errno == ENOENT ? LockResult::Missing : LockResult::Unopenable;
        file.fd = openForRead(file.target, file.st);
        if (!file.fd)
            return errno == ENOENT || errno == EINVAL ? LockResult::Missing
                                                      : LockResult::Unopenable;
        if (held) {
            held->release(idOf(file.st)); // our own new file, met again
            if (lockForConversion(file.fd.get()) == ConversionLock::ConvertedElsewhere)
                return LockResult::ConvertedElsewhere;
        } else {
            lockFile(file.fd.get(), LOCK_EX); // without such locks: taken without one
        }
        // A pass may have put a new file in place while we waited for the lock.
        struct stat now {};
        if (sys::calls().stat(file.target.c_str(), &now) == 0 && sameFile(now, file.st) &&
            sys::calls().fstat(file.fd.get(), &file.st) == 0)
            return LockResult::Locked;
        file.fd.reset();
    }
    return LockResult::Missing;
}

bool createNewFile(const std::string& target, NewFile& file) {
    file.tmp =
        createUniqueFile(directoryOf(target), tempPrefixFor(target), std::string(kTempSuffix));
    if (!file.tmp.fd)
        return false;
    struct stat created {};
    sys::calls().fstat(file.tmp.fd.get(), &created);
    file.id = idOf(created);
    return true;
}

NewTextSink::NewTextSink(const std::string& target, int current, off_t size, NewFile& file,
                         bool look)
    : m_target(target)
    , m_current(current)
    , m_file(file)
    , m_compare(current, size)
    , m_look(look) {}

bool NewTextSink::write(const char* data, std::size_t size) {
    if (!m_diverged) {
        m_compare.write(data, size);
        if (m_compare.matching())
            return true;
        if (!diverge())
            return false;
    }
    if (!m_out || m_out->write(data, size))
        return true;
    m_failure = ReplaceOutcome::WriteFailed;
    return false;
}

bool NewTextSink::diverge() {
    if (m_diverged)
        return true;
    if (m_look ? !mayCreateIn(directoryOf(m_target)) : !createNewFile(m_target, m_file)) {
        m_failure = ReplaceOutcome::CreateFailed;
        return false;
    }
    m_diverged = true;
    if (m_look)
        return true;
    m_out.emplace(m_file.tmp.fd.get(), true);
    return copyPrefix(m_current, m_compare.matched(), *m_out, m_failure);
}

ReplaceOutcome writeNewText(int source, const LockedFile& file, const ReplaceBody& body,
                            NewFile& made, bool look) {
    try {
        FdSource from(source);
        NewTextSink sink(file.target, file.fd.get(), file.st.st_size, made, look);
        TextReader in(from);
        TextWriter out(sink);
        const bool kept = body(in, out);
        const bool written = out.flush();
        if (in.failed())
            return ReplaceOutcome::ReadFailed;
        if (!kept)
            return ReplaceOutcome::Abandoned;
        if (!written)
            return sink.failure();
        if (sink.same())
            return ReplaceOutcome::Unchanged;
        // A new text that is the start of the file's text (a Ctrl-Z cut) still differs.
        if (!sink.diverge())
            return sink.failure();
        if (look)
            return ReplaceOutcome::Replaced;
    } catch (const std::bad_alloc&) {
        return ReplaceOutcome::OutOfMemory;
    }
    if (!finishNewFile(made.tmp.fd.get(), file.fd.get(), file.st) || !seal(made))
        return ReplaceOutcome::WriteFailed;
    return ReplaceOutcome::Replaced;
}

ReplaceOutcome placeNewFile(NewFile& made, const LockedFile& file) {
    const char* const tmp = made.tmp.path.c_str();
    const char* const target = file.target.c_str();
    // The mark comes off once the new file is no longer a temporary one.
    if (sys::calls().exchange(tmp, target) != 0) {
        if (!exchangeUnsupported(errno) || sys::calls().rename(tmp, target) != 0)
            return ReplaceOutcome::WriteFailed;
        unmarkUniqueFile(made.kept.get());
        return ReplaceOutcome::Replaced;
    }
    if (names(made.tmp.path, idOf(file.st))) {
        unmarkUniqueFile(made.kept.get());
        sys::calls().unlink(tmp); // the previous file lives on as the backup, or goes
        return ReplaceOutcome::Replaced;
    }
    sys::calls().exchange(tmp, target);
    return ReplaceOutcome::Changed;
}

void discardNewFile(NewFile& made) {
    made.tmp.fd.reset();
    // Only our own file: after a swap back the name may hold someone else's.
    if (!made.tmp.path.empty() && names(made.tmp.path, made.id))
        sys::calls().unlink(made.tmp.path.c_str());
    made.kept.reset();
}

bool exchangeUnsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
}

namespace {

// A backup that names the live file after a failed swap is no backup: its name goes, so that the
// next pass does not take it for one.
void dropOlderBackup(Job& job);

void undoBackupLink(Job& job) {
    if (!job.backupLinked || !names(job.backupPath, idOf(job.file.st)) ||
        !names(job.file.target, idOf(job.file.st))) {
        dropOlderBackup(job); // the backup holds a text the file no longer has: it stays
        return;
    }
    if (!job.older.empty()) {
        unmarkUniqueFile(job.olderFd.get());
        if (sys::calls().rename(job.older.c_str(), job.backupPath.c_str()) == 0) {
            job.older.clear();
            return;
        }
        markUniqueFile(job.olderFd.get());
    }
    sys::calls().unlink(job.backupPath.c_str());
}

// Once the new file is in place, the older backup goes.
void dropOlderBackup(Job& job) {
    if (!job.older.empty() && job.olderFd) {
        struct stat st {};
        if (sys::calls().fstat(job.olderFd.get(), &st) == 0 && names(job.older, idOf(st)))
            sys::calls().unlink(job.older.c_str());
    }
    job.older.clear();
}

// A look's commit: what the steps below need is there, and the pass's records are kept as if
// they had been taken, so that the next files meet what a pass would have left.
ReplaceOutcome lookAtCommit(Job& job, PassFiles& pass) {
    if (!mayWriteName(job.backupPath))
        return ReplaceOutcome::BackupFailed;
    // The backup would be a link to the file as it is now.
    pass.backups[job.canonicalBackup] = MadeBackup{job.file.target, idOf(job.file.st)};
    // No real file lives on the device (dev_t)-1: this one stands for the new file.
    const FileId standIn{static_cast<dev_t>(-1), static_cast<ino_t>(pass.looked.size() + 1)};
    pass.looked[job.file.target] = standIn;
    pass.converted.insert(standIn);
    pass.sources.erase(idOf(job.file.st));
    return ReplaceOutcome::Replaced;
}

ReplaceOutcome commitNew(Job& job, PassFiles& pass) {
    if (!unchangedAt(job.file.st, job.file.target))
        return ReplaceOutcome::Changed;
    if (job.look)
        return lookAtCommit(job, pass);
    switch (makeBackup(job)) {
    case BackupResult::Failed:
        return ReplaceOutcome::BackupFailed;
    case BackupResult::Changed:
        return ReplaceOutcome::Changed;
    case BackupResult::Made:
        break;
    }
    struct stat made {};
    if (sys::calls().lstat(job.canonicalBackup.c_str(), &made) == 0)
        pass.backups[job.canonicalBackup] = MadeBackup{job.file.target, idOf(made)};
    if (!unchangedAt(job.file.st, job.file.target)) {
        undoBackupLink(job);
        return ReplaceOutcome::Changed;
    }
    // Held before it appears at the path, so that no other pass ever finds it unheld.
    pass.held.hold(job.created.id, job.created.kept.get());
    const ReplaceOutcome placed = placeNewFile(job.created, job.file);
    if (placed != ReplaceOutcome::Replaced) {
        pass.held.release(job.created.id);
        undoBackupLink(job);
        return placed;
    }
    dropOlderBackup(job);
    // Only now a backup of this file alone: it names the file it came from.
    if (job.backupLinked)
        markBackupSource(job.file.fd.get(), job.file.target);
    pass.converted.insert(job.created.id);
    pass.sources.erase(idOf(job.file.st)); // now a backup, which a later backup may replace
    syncDirectory(directoryOf(job.file.target));
    if (directoryOf(job.backupPath) != directoryOf(job.file.target))
        syncDirectory(directoryOf(job.backupPath));
    return ReplaceOutcome::Replaced;
}

void sweepOnce(const std::string& dir, std::set<std::string>& sweptDirs, const LockedFile& file) {
    if (sweptDirs.insert(dir).second)
        removeStaleFiles(dir, isReplaceTempName, idOf(file.st));
}

ReplaceOutcome convertLocked(Job& job, const ReplaceBody& body, PassFiles& pass) {
    if (const ReplaceOutcome checked = checkBackup(job, pass); checked != ReplaceOutcome::Replaced)
        return checked;
    if (!job.look) {
        sweepOnce(directoryOf(job.file.target), pass.sweptDirs, job.file);
        sweepOnce(directoryOf(job.backupPath), pass.sweptDirs, job.file);
    }
    ReplaceOutcome outcome = writeNewText(job.file.fd.get(), job.file, body, job.created, job.look);
    if (outcome == ReplaceOutcome::Replaced)
        outcome = commitNew(job, pass);
    if (outcome == ReplaceOutcome::Replaced)
        job.created.kept.reset();
    else
        discardNewFile(job.created);
    return outcome;
}

} // namespace

bool isReplaceTempName(std::string_view name) {
    return name.size() > kTempTail + 1 && name.front() == '.' &&
           isUniqueName(name.substr(name.size() - kTempTail), kTempTag, kTempSuffix);
}

ReplaceOutcome replaceWithBackup(const std::string& path, const std::string& backupPath,
                                 const ReplaceBody& body, PassFiles& pass, ReplaceMode mode) {
    Job job;
    job.path = path;
    job.backupPath = backupPath;
    job.look = mode == ReplaceMode::Look;
    ReplaceOutcome outcome = openForPass(job, pass);
    if (outcome == ReplaceOutcome::Replaced)
        outcome = convertLocked(job, body, pass);
    return outcome; // the file closes with the job, and with it the conversion lock
}

} // namespace morvex
