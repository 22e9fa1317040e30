#include "engine/SafeReplace.h"

#include "engine/FileOps.h"
#include "engine/Sys.h"
#include "engine/TextStream.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace morvex {
namespace {

using namespace fileops;

constexpr std::string_view kTempTag = ".morvex-";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr std::size_t kTempTail = 8 + 6 + 4; // tag, unique part, suffix
constexpr std::size_t kMaxBaseInTemp = 200;  // keeps the temporary name under NAME_MAX
constexpr std::size_t kCopyBlock = 256 * 1024;

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

bool unchanged(const Snapshot& before, const std::string& path) {
    struct stat now {};
    return ::stat(path.c_str(), &now) == 0 && sameFile(before.st, now) &&
           now.st_size == before.st.st_size && now.st_mtim.tv_sec == before.st.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == before.st.st_mtim.tv_nsec;
}

// Gives the new file the old one's owner (where allowed) and permission bits, then makes it
// durable and closes it.
bool finishNewFile(UniqueFile& tmp, const Snapshot& snap) {
    if (::fchown(tmp.fd, snap.st.st_uid, snap.st.st_gid) != 0) {
        // Not permitted for another user's file: the new file is ours, with the same bits.
    }
    const bool ok = sys::calls().fchmod(tmp.fd, snap.st.st_mode & 07777) == 0 &&
                    sys::calls().fsync(tmp.fd) == 0;
    const bool closed = closeFd(tmp.fd);
    tmp.fd = -1;
    return ok && closed;
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
    const bool ok = copyBytes(input, tmp.fd) && finishNewFile(tmp, snap) &&
                    sys::calls().rename(tmp.path.c_str(), backupPath.c_str()) == 0;
    if (tmp.fd >= 0)
        closeFd(tmp.fd);
    if (!ok)
        sys::calls().unlink(tmp.path.c_str());
    return ok;
}

bool linkUnsupported(int error) {
    return error == EXDEV || error == EPERM || error == ENOTSUP || error == EOPNOTSUPP ||
           error == EMLINK || error == ENOSYS;
}

enum class BackupResult { Made, Failed, Changed };

BackupResult makeBackup(const std::string& target, const std::string& backupPath, int input,
                        const Snapshot& snap) {
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
    std::string target;
    std::string backupPath;
    int input = -1;
    Snapshot snap;
    UniqueFile tmp;
};

ReplaceOutcome writeNew(Job& job, const std::function<void(TextReader&, TextWriter&)>& body) {
    FdSource source(job.input);
    FdSink sink(job.tmp.fd, true);
    TextReader in(source);
    TextWriter out(sink);
    body(in, out);
    const bool written = out.flush();
    if (in.failed())
        return ReplaceOutcome::ReadFailed;
    if (!written || !finishNewFile(job.tmp, job.snap))
        return ReplaceOutcome::WriteFailed;
    return ReplaceOutcome::Replaced;
}

ReplaceOutcome commitNew(Job& job) {
    if (!unchanged(job.snap, job.target))
        return ReplaceOutcome::Changed;
    switch (makeBackup(job.target, job.backupPath, job.input, job.snap)) {
    case BackupResult::Failed:
        return ReplaceOutcome::Skipped;
    case BackupResult::Changed:
        return ReplaceOutcome::Changed;
    case BackupResult::Made:
        break;
    }
    if (!unchanged(job.snap, job.target))
        return ReplaceOutcome::Changed;
    if (sys::calls().rename(job.tmp.path.c_str(), job.target.c_str()) != 0)
        return ReplaceOutcome::WriteFailed;
    syncDirectory(directoryOf(job.target));
    if (directoryOf(job.backupPath) != directoryOf(job.target))
        syncDirectory(directoryOf(job.backupPath));
    return ReplaceOutcome::Replaced;
}

void sweepOnce(const std::string& dir, std::set<std::string>& sweptDirs) {
    if (sweptDirs.insert(dir).second)
        removeStaleFiles(dir, isReplaceTempName);
}

} // namespace

bool isReplaceTempName(std::string_view name) {
    return name.size() > kTempTail + 1 && name.front() == '.' &&
           isUniqueName(name.substr(name.size() - kTempTail), kTempTag, kTempSuffix);
}

ReplaceOutcome replaceWithBackup(const std::string& path, const std::string& backupPath,
                                 const std::function<void(TextReader&, TextWriter&)>& body,
                                 std::set<std::string>& sweptDirs) {
    Job job;
    std::string canonicalBackup;
    // A link stays a link: its target is rewritten. A backup naming the file itself is refused.
    if (!realPath(path, job.target) || !canonicalSibling(backupPath, canonicalBackup) ||
        canonicalBackup == job.target)
        return ReplaceOutcome::Skipped;
    job.backupPath = backupPath;
    job.input = openRegularForRead(job.target, job.snap.st);
    if (job.input < 0)
        return ReplaceOutcome::Skipped;
    const std::string dir = directoryOf(job.target);
    sweepOnce(dir, sweptDirs);
    sweepOnce(directoryOf(backupPath), sweptDirs);
    job.tmp = createUniqueFile(dir, tempPrefixFor(job.target), std::string(kTempSuffix));
    ReplaceOutcome outcome = ReplaceOutcome::CreateFailed;
    if (job.tmp.fd >= 0) {
        outcome = writeNew(job, body);
        if (outcome == ReplaceOutcome::Replaced)
            outcome = commitNew(job);
        if (job.tmp.fd >= 0)
            closeFd(job.tmp.fd);
        if (outcome != ReplaceOutcome::Replaced)
            sys::calls().unlink(job.tmp.path.c_str());
    }
    closeFd(job.input);
    return outcome;
}

} // namespace morvex
