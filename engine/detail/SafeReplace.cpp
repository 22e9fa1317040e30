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

struct Snapshot {
    struct stat st {};
};

std::string tempPrefixFor(const std::string& path) {
    std::string prefix(".");
    prefix.append(baseName(path), 0, kMaxBaseInTemp);
    prefix.append(kTempTag);
    return prefix;
}

bool realPath(const std::string& path, std::string& out) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                         &std::free);
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

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool names(const std::string& path, FileId id) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && idOf(st) == id;
}

bool unchanged(const Snapshot& before, const std::string& path) {
    struct stat now {};
    return ::stat(path.c_str(), &now) == 0 && sameFile(before.st, now) &&
           now.st_size == before.st.st_size && now.st_mtim.tv_sec == before.st.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == before.st.st_mtim.tv_nsec;
}

// Gives a new file the old one's ACL, owner (where allowed) and permission bits, never more
// access than before, and makes it durable. The descriptor stays open.
bool finishNewFile(int fd, int input, const Snapshot& snap) {
    if (!copyAccessAcl(input, fd))
        return false;
    mode_t mode = snap.st.st_mode & 07777;
    if (::fchown(fd, snap.st.st_uid, snap.st.st_gid) != 0) {
        // Not permitted for another user's file: the new file is ours. Its group may then be
        // another one, which must not get the old group's access.
        struct stat mine {};
        if (::fstat(fd, &mine) != 0 || mine.st_gid != snap.st.st_gid)
            mode &= ~mode_t(070);
    }
    return sys::calls().fchmod(fd, mode) == 0 && sys::calls().fsync(fd) == 0;
}

bool copyBytes(int from, int to) {
    std::unique_ptr<char[]> block(new char[kCopyBlock]);
    FdSink sink(to, true);
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(from, block.get(), kCopyBlock, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!sink.write(block.get(), static_cast<std::size_t>(n)))
            return false;
        offset += n;
    }
}

// Where the file system has no hard links: an exact copy, made durable, renamed into place.
bool copyBackup(int input, const Snapshot& snap, const std::string& backupPath) {
    UniqueFile tmp = createUniqueFile(directoryOf(backupPath), tempPrefixFor(backupPath),
                                      std::string(kTempSuffix));
    if (tmp.fd < 0)
        return false;
    bool ok = copyBytes(input, tmp.fd) && finishNewFile(tmp.fd, input, snap);
    ok = ok && sys::calls().rename(tmp.path.c_str(), backupPath.c_str()) == 0;
    if (ok)
        unmarkUniqueFile(tmp.fd); // only now: until the rename it is a leftover to sweep
    ok = closeFd(tmp.fd) && ok;
    if (!ok)
        sys::calls().unlink(tmp.path.c_str());
    return ok;
}

bool linkUnsupported(int error) {
    return error == EXDEV || error == EPERM || error == ENOTSUP || error == EOPNOTSUPP ||
           error == EMLINK || error == ENOSYS;
}

bool exchangeUnsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
}

// What a look sees of a step that would create a file in `dir`.
bool mayCreateIn(const std::string& dir) {
    return ::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// What a look sees of a step that would replace `name`: no folder in its place, and a folder it
// may write in.
bool mayWriteName(const std::string& name) {
    struct stat st {};
    if (::lstat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return false;
    return mayCreateIn(directoryOf(name));
}

enum class BackupResult { Made, Failed, Changed };

BackupResult makeBackup(const std::string& target, const std::string& backupPath, int input,
                        const Snapshot& snap, bool look) {
    if (look) // the unlink and the link (or copy) below
        return mayWriteName(backupPath) ? BackupResult::Made : BackupResult::Failed;
    if (sys::calls().unlink(backupPath.c_str()) != 0 && errno != ENOENT)
        return BackupResult::Failed;
    if (sys::calls().link(target.c_str(), backupPath.c_str()) != 0) {
        if (!linkUnsupported(errno))
            return BackupResult::Failed;
        return copyBackup(input, snap, backupPath) ? BackupResult::Made : BackupResult::Failed;
    }
    // The link names whatever is at the target now; it must be the file that was read.
    struct stat linked {};
    if (::lstat(backupPath.c_str(), &linked) != 0 || !sameFile(linked, snap.st))
        return BackupResult::Changed;
    return BackupResult::Made;
}

struct Job {
    std::string path;
    std::string target;
    std::string backupPath;
    std::string canonicalBackup;
    int input = -1;
    Snapshot snap;
    NewFile created;
    int kept = -1;     ///< the new file, open after the temporary descriptor is closed
    bool look = false; ///< ReplaceMode::Look
};

// Opens the file and takes its conversion lock; when another pass replaced it meanwhile, the
// file now at the path is taken instead.
ReplaceOutcome openLocked(const std::string& path, Job& job, PassFiles& pass) {
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        if (!realPath(path, job.target))
            return errno == ENOENT ? ReplaceOutcome::Skipped : ReplaceOutcome::OpenFailed;
        job.input = openRegularForRead(job.target, job.snap.st);
        if (job.input < 0) {
            return errno == ENOENT || errno == EINVAL ? ReplaceOutcome::Skipped
                                                      : ReplaceOutcome::OpenFailed;
        }
        pass.held.release(idOf(job.snap.st)); // our own new file, met again
        if (!job.look && lockForConversion(job.input) == ConversionLock::ConvertedElsewhere)
            return ReplaceOutcome::ConvertedElsewhere;
        struct stat now {};
        if (::stat(job.target.c_str(), &now) == 0 && sameFile(now, job.snap.st) &&
            ::fstat(job.input, &job.snap.st) == 0)
            return ReplaceOutcome::Replaced;
        closeFd(job.input);
        job.input = -1;
    }
    return ReplaceOutcome::Skipped;
}

// A backup may replace an older backup, never a file this pass converts, a backup it made, or a
// backup made earlier in the run for another file.
ReplaceOutcome checkBackup(Job& job, const PassFiles& pass) {
    if (!canonicalSibling(job.backupPath, job.canonicalBackup))
        return ReplaceOutcome::BackupFailed;
    if (job.canonicalBackup == job.target)
        return ReplaceOutcome::Skipped; // the backup would be the file itself
    const auto made = pass.backups.find(job.canonicalBackup);
    struct stat existing {};
    FileId backup;
    if (job.look && made != pass.backups.end())
        backup = made->second.file; // a look made none: what a pass would find there
    else if (::lstat(job.canonicalBackup.c_str(), &existing) != 0)
        return ReplaceOutcome::Replaced;
    else
        backup = idOf(existing);
    if (made != pass.backups.end() && made->second.file == backup) {
        if (made->second.source != job.target)
            return ReplaceOutcome::BackupCollision;
        // The same file converted again backs up its newer text, unless it is named as a source.
        if (pass.sources.count(backup) == 0)
            return ReplaceOutcome::Replaced;
    }
    // Another name of this very file, as a swap that failed after the backup leaves it: naming
    // the file anew loses nothing, and refusing would block the file for good.
    if (backup == idOf(job.snap.st))
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

// Copies the first `length` bytes of a file to `to`; false with `failure` set when that fails.
bool copyPrefix(int from, off_t length, ByteSink& to, ReplaceOutcome& failure) {
    std::unique_ptr<char[]> block(new char[kCopyBlock]);
    for (off_t offset = 0; offset < length;) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<off_t>(kCopyBlock, length - offset));
        const ssize_t n = ::pread(from, block.get(), want, offset);
        if (n < 0 && errno == EINTR)
            continue;
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

} // namespace

bool createNewFile(const std::string& target, NewFile& file) {
    file.tmp =
        createUniqueFile(directoryOf(target), tempPrefixFor(target), std::string(kTempSuffix));
    if (file.tmp.fd < 0)
        return false;
    struct stat created {};
    ::fstat(file.tmp.fd, &created);
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
    m_out.emplace(m_file.tmp.fd, true);
    return copyPrefix(m_current, m_compare.matched(), *m_out, m_failure);
}

namespace {

ReplaceOutcome writeNew(Job& job, const ReplaceBody& body) {
    try {
        FdSource source(job.input);
        NewTextSink sink(job.target, job.input, job.snap.st.st_size, job.created, job.look);
        TextReader in(source);
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
        if (job.look)
            return ReplaceOutcome::Replaced;
        if (!finishNewFile(job.created.tmp.fd, job.input, job.snap))
            return ReplaceOutcome::WriteFailed;
    } catch (const std::bad_alloc&) {
        return ReplaceOutcome::OutOfMemory;
    }
    job.kept = ::fcntl(job.created.tmp.fd, F_DUPFD_CLOEXEC, 0);
    const bool closed = closeFd(job.created.tmp.fd);
    job.created.tmp.fd = -1;
    return closed && job.kept >= 0 ? ReplaceOutcome::Replaced : ReplaceOutcome::WriteFailed;
}

// Puts the new file in place in one step that also hands back what was there: an editor's save
// that landed after the last look is put back, so it is never lost.
ReplaceOutcome swapIntoPlace(Job& job) {
    const char* const tmp = job.created.tmp.path.c_str();
    const char* const target = job.target.c_str();
    // The mark comes off once the new file is no longer a temporary one.
    if (sys::calls().exchange(tmp, target) != 0) {
        if (!exchangeUnsupported(errno) || sys::calls().rename(tmp, target) != 0)
            return ReplaceOutcome::WriteFailed;
        unmarkUniqueFile(job.kept);
        return ReplaceOutcome::Replaced;
    }
    if (names(job.created.tmp.path, idOf(job.snap.st))) {
        unmarkUniqueFile(job.kept);
        sys::calls().unlink(tmp); // the previous file lives on as the backup
        return ReplaceOutcome::Replaced;
    }
    sys::calls().exchange(tmp, target);
    return ReplaceOutcome::Changed;
}

ReplaceOutcome commitNew(Job& job, PassFiles& pass) {
    if (!unchanged(job.snap, job.target))
        return ReplaceOutcome::Changed;
    switch (makeBackup(job.target, job.backupPath, job.input, job.snap, job.look)) {
    case BackupResult::Failed:
        return ReplaceOutcome::BackupFailed;
    case BackupResult::Changed:
        return ReplaceOutcome::Changed;
    case BackupResult::Made:
        break;
    }
    struct stat made {};
    if (job.look) // the backup would be a link to the file as it is now
        pass.backups[job.canonicalBackup] = MadeBackup{job.target, idOf(job.snap.st)};
    else if (::lstat(job.canonicalBackup.c_str(), &made) == 0)
        pass.backups[job.canonicalBackup] = MadeBackup{job.target, idOf(made)};
    if (!unchanged(job.snap, job.target))
        return ReplaceOutcome::Changed;
    if (job.look) {
        // No real file lives on the device (dev_t)-1: this one stands for the new file.
        const FileId standIn{static_cast<dev_t>(-1), static_cast<ino_t>(pass.looked.size() + 1)};
        pass.looked[job.target] = standIn;
        pass.converted.insert(standIn);
        pass.sources.erase(idOf(job.snap.st));
        return ReplaceOutcome::Replaced;
    }
    // Held before it appears at the path, so that no other pass ever finds it unheld.
    pass.held.hold(job.created.id, job.kept);
    const ReplaceOutcome placed = swapIntoPlace(job);
    if (placed != ReplaceOutcome::Replaced) {
        pass.held.release(job.created.id);
        return placed;
    }
    pass.converted.insert(job.created.id);
    pass.sources.erase(idOf(job.snap.st)); // now a backup, which a later backup may replace
    syncDirectory(directoryOf(job.target));
    if (directoryOf(job.backupPath) != directoryOf(job.target))
        syncDirectory(directoryOf(job.backupPath));
    return ReplaceOutcome::Replaced;
}

void sweepOnce(const std::string& dir, std::set<std::string>& sweptDirs) {
    if (sweptDirs.insert(dir).second)
        removeStaleFiles(dir, isReplaceTempName);
}

ReplaceOutcome convertLocked(Job& job, const ReplaceBody& body, PassFiles& pass) {
    if (const ReplaceOutcome checked = checkBackup(job, pass); checked != ReplaceOutcome::Replaced)
        return checked;
    if (!job.look) {
        sweepOnce(directoryOf(job.target), pass.sweptDirs);
        sweepOnce(directoryOf(job.backupPath), pass.sweptDirs);
    }
    ReplaceOutcome outcome = writeNew(job, body);
    if (outcome == ReplaceOutcome::Replaced)
        outcome = commitNew(job, pass);
    if (job.created.tmp.fd >= 0)
        closeFd(job.created.tmp.fd);
    if (job.kept >= 0)
        ::close(job.kept);
    // Only our own file: after a swap back the name may hold someone else's.
    if (outcome != ReplaceOutcome::Replaced && names(job.created.tmp.path, job.created.id))
        sys::calls().unlink(job.created.tmp.path.c_str());
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
    ReplaceOutcome outcome = openLocked(path, job, pass);
    if (outcome == ReplaceOutcome::Replaced)
        outcome = convertLocked(job, body, pass);
    closeFd(job.input); // and with it the conversion lock
    return outcome;
}

} // namespace morvex
