#include "engine/detail/FileOps.h"

#include "engine/Paths.h"
#include "engine/detail/Sys.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace morvex::fileops {
namespace {

constexpr int kUniqueLength = 6;
constexpr int kCreateAttempts = 64;
constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string randomPart() {
    static std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string s;
    for (int i = 0; i < kUniqueLength; ++i)
        s += kAlphabet[pick(engine)];
    return s;
}

bool lockWhole(int fd) {
    return sys::calls().lockOpenFile(fd) == 0;
}

// The mark of a temporary file of ours; a file that merely has such a name lacks it.
constexpr const char* kMarkName = "user.morvex";
constexpr std::string_view kMarkValue = "temporary";
// The mark of a backup: the resolved path of the file it was made from.
constexpr const char* kSourceMarkName = "user.morvex.source";

bool hasMark(int fd) {
    char value[16];
    const ssize_t n = sys::calls().getxattr(fd, kMarkName, value, sizeof value);
    return n == static_cast<ssize_t>(kMarkValue.size()) &&
           std::string_view(value, static_cast<std::size_t>(n)) == kMarkValue;
}

constexpr const char* kAclNames[] = {"system.posix_acl_access", "system.posix_acl_default"};

bool isUniqueChar(char c) {
    return kAlphabet.find(c) != std::string_view::npos;
}

} // namespace

namespace {

// Refusals of O_TMPFILE that mean "not here" (the kernel or the file system lacks it).
bool tmpFileUnsupported(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

// The file is created without a name, locked and marked, and only then named: no other process
// ever sees it unmarked, so a kill at any moment leaves a file that the sweep removes. -1 in
// `fd` when this way is not open here (the caller creates the file by name instead).
UniqueFile createUnnamed(const std::string& dir, const std::string& base, const std::string& prefix,
                         const std::string& suffix, bool& failed) {
    UniqueFile f;
    const int fd =
        sys::calls().open(dir.empty() ? "." : dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        failed = !tmpFileUnsupported(errno);
        return f;
    }
    // The lock belongs to the open file, so the sweep leaves it alone for as long as any
    // descriptor of it is open.
    lockWhole(fd);
    sys::calls().setxattr(fd, kMarkName, kMarkValue.data(), kMarkValue.size(), 0);
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        f.path = base + prefix + randomPart() + suffix;
        if (sys::calls().linkFd(fd, f.path.c_str()) == 0) {
            f.fd.reset(fd);
            return f;
        }
        if (errno != EEXIST)
            break;
    }
    sys::calls().close(fd);
    return {};
}

} // namespace

UniqueFile createUniqueFile(const std::string& dir, const std::string& prefix,
                            const std::string& suffix) {
    const std::string base = dir.empty() ? std::string() : (dir.back() == '/' ? dir : dir + '/');
    bool failed = false;
    if (UniqueFile f = createUnnamed(dir, base, prefix, suffix, failed); f.fd || failed)
        return f;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        UniqueFile f;
        f.path = base + prefix + randomPart() + suffix;
        f.fd.reset(sys::calls().open(f.path.c_str(),
                                     O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (f.fd) {
            lockWhole(f.fd.get());
            // Without extended attributes the file has no mark, so it is never swept.
            sys::calls().setxattr(f.fd.get(), kMarkName, kMarkValue.data(), kMarkValue.size(), 0);
            return f;
        }
        if (errno != EEXIST)
            break;
    }
    return {};
}

bool isUniqueName(std::string_view name, std::string_view prefix, std::string_view suffix) {
    if (name.size() != prefix.size() + kUniqueLength + suffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(suffix))
        return false;
    const std::string_view middle = name.substr(prefix.size(), kUniqueLength);
    for (const char c : middle)
        if (!isUniqueChar(c))
            return false;
    return true;
}

void unmarkUniqueFile(int fd) {
    sys::calls().removexattr(fd, kMarkName);
}

bool markUniqueFile(int fd) {
    return sys::calls().setxattr(fd, kMarkName, kMarkValue.data(), kMarkValue.size(), 0) == 0;
}

std::string linkUnique(const std::string& path, const std::string& dir, const std::string& prefix,
                       const std::string& suffix) {
    const std::string base = dir.empty() ? std::string() : (dir.back() == '/' ? dir : dir + '/');
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        std::string name = base + prefix + randomPart() + suffix;
        if (sys::calls().link(path.c_str(), name.c_str()) == 0)
            return name;
        if (errno != EEXIST)
            break;
    }
    return {};
}

void markBackupSource(int fd, const std::string& source) {
    sys::calls().setxattr(fd, kSourceMarkName, source.data(), source.size(), 0);
}

void unmarkBackupSource(int fd) {
    sys::calls().removexattr(fd, kSourceMarkName);
}

bool backupBelongsTo(int fd, const std::string& source) {
    std::vector<char> value(PATH_MAX);
    const ssize_t n = sys::calls().getxattr(fd, kSourceMarkName, value.data(), value.size());
    if (n < 0)
        return true; // no mark (an older backup, a file system without them): as before
    const std::string marked(value.data(), static_cast<std::size_t>(n));
    if (marked == source)
        return true;
    struct stat st {};
    if (sys::calls().stat(marked.c_str(), &st) == 0 || errno != ENOENT)
        return false; // another file, still there
    return baseName(marked) == baseName(source);
}

void removeStaleFiles(const std::string& dir, const std::function<bool(std::string_view)>& isOurs,
                      std::optional<FileId> mine) {
    DIR* d = sys::calls().opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return;
    const std::string base = dir.empty() ? std::string() : (dir.back() == '/' ? dir : dir + '/');
    while (const dirent* e = sys::calls().readdir(d)) {
        if (!isOurs(e->d_name))
            continue;
        const std::string path = base + e->d_name;
        const UniqueFd fd(
            sys::calls().open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0));
        if (!fd)
            continue;
        struct stat st {};
        // Ours: marked, or a second name of a file that lives on under another (the previous
        // file of a killed swap, which is also its backup). Removing either loses nothing. Only
        // files nobody holds are leftovers: a live temporary is locked as an open file, and the
        // previous file of a live swap under its conversion lock.
        if (sys::calls().fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
            (hasMark(fd.get()) || st.st_nlink > 1) && lockWhole(fd.get()) &&
            (idOf(st) == mine || sys::calls().flock(fd.get(), LOCK_EX | LOCK_NB) == 0))
            sys::calls().unlink(path.c_str());
    }
    sys::calls().closedir(d);
}

UniqueFd openForRead(const std::string& path, struct stat& st, bool noFollow) {
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0);
    UniqueFd fd(sys::calls().open(path.c_str(), flags, 0));
    if (!fd)
        return fd;
    if (sys::calls().fstat(fd.get(), &st) != 0) {
        const int error = errno;
        fd.reset();
        errno = error;
        return fd;
    }
    if (!S_ISREG(st.st_mode)) {
        fd.reset();
        errno = EINVAL;
        return fd;
    }
    sys::calls().setBlocking(fd.get());
    return fd;
}

int openRegularForRead(const std::string& path, struct stat& st) {
    return openForRead(path, st).release();
}

bool copyAccessAcl(int from, int to) {
    for (const char* name : kAclNames) {
        std::vector<char> value(256);
        ssize_t n = sys::calls().getxattr(from, name, value.data(), value.size());
        if (n < 0 && errno == ERANGE) {
            n = sys::calls().getxattr(from, name, nullptr, 0);
            if (n > 0) {
                value.resize(static_cast<std::size_t>(n));
                n = sys::calls().getxattr(from, name, value.data(), value.size());
            }
        }
        if (n >= 0) {
            if (sys::calls().setxattr(to, name, value.data(), static_cast<std::size_t>(n), 0) != 0)
                return false;
        } else if (errno == ENODATA) {
            // None before: none after, whatever the folder's default ACL gave the new file.
            if (sys::calls().removexattr(to, name) != 0 && errno != ENODATA && errno != ENOTSUP)
                return false;
        } else if (errno != ENOTSUP) {
            return false;
        }
    }
    return true;
}

bool closeFd(int fd) {
    if (fd < 0)
        return true;
    // After a failed close the descriptor is gone on Linux; never retry it.
    return sys::calls().close(fd) == 0 || errno == EINTR;
}

void UniqueFd::reset(int fd) {
    if (m_fd >= 0)
        closeFd(m_fd);
    m_fd = fd;
}

bool UniqueFd::close() {
    return closeFd(release());
}

int lockFile(int fd, int operation) {
    int r;
    do
        r = sys::calls().flock(fd, operation);
    while (r != 0 && errno == EINTR);
    return r;
}

void syncDirectory(const std::string& dir) {
    const UniqueFd fd(
        sys::calls().open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (fd)
        sys::calls().fsync(fd.get());
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool names(const std::string& path, FileId id) {
    struct stat st {};
    return sys::calls().lstat(path.c_str(), &st) == 0 && idOf(st) == id;
}

bool unchangedAt(const struct stat& before, const std::string& path) {
    struct stat now {};
    return sys::calls().stat(path.c_str(), &now) == 0 && sameFile(before, now) &&
           now.st_size == before.st_size && now.st_mtim.tv_sec == before.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == before.st_mtim.tv_nsec;
}

std::string directoryOf(const std::string& path) {
    const std::string dir = directoryPart(path);
    return dir.empty() ? std::string(".") : dir;
}

std::string baseName(const std::string& path) {
    return path.substr(directoryPart(path).size());
}

} // namespace morvex::fileops
