#include "engine/detail/FileOps.h"

#include "engine/Paths.h"
#include "engine/detail/Sys.h"

#include <cerrno>
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

// A lock of the open file itself (not of the process), so that closing another descriptor of
// the file never drops it: a live temporary stays locked as long as any descriptor of it is open.
bool lockWhole(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// The mark of a temporary file of ours; a file that merely has such a name lacks it.
constexpr const char* kMarkName = "user.morvex";
constexpr std::string_view kMarkValue = "temporary";

bool hasMark(int fd) {
    char value[16];
    const ssize_t n = ::fgetxattr(fd, kMarkName, value, sizeof value);
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
    lockWhole(fd);
    ::fsetxattr(fd, kMarkName, kMarkValue.data(), kMarkValue.size(), 0);
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        f.path = base + prefix + randomPart() + suffix;
        if (sys::calls().linkFd(fd, f.path.c_str()) == 0) {
            f.fd = fd;
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
    if (UniqueFile f = createUnnamed(dir, base, prefix, suffix, failed); f.fd >= 0 || failed)
        return f;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        UniqueFile f;
        f.path = base + prefix + randomPart() + suffix;
        f.fd = sys::calls().open(f.path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                 0600);
        if (f.fd >= 0) {
            lockWhole(f.fd);
            // Without extended attributes the file has no mark, so it is never swept.
            ::fsetxattr(f.fd, kMarkName, kMarkValue.data(), kMarkValue.size(), 0);
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
    ::fremovexattr(fd, kMarkName);
}

void removeStaleFiles(const std::string& dir, const std::function<bool(std::string_view)>& isOurs) {
    DIR* d = sys::calls().opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return;
    const std::string base = dir.empty() ? std::string() : (dir.back() == '/' ? dir : dir + '/');
    while (const dirent* e = ::readdir(d)) {
        if (!isOurs(e->d_name))
            continue;
        const std::string path = base + e->d_name;
        const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        // A live writer holds its lock; only files nobody holds are leftovers.
        // Ours: marked, or a second name of a file that lives on under another (the previous
        // file of a killed swap, which is also its backup). Removing either loses nothing.
        // The previous file of a live swap is held under its conversion lock instead.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (hasMark(fd) || st.st_nlink > 1) &&
            lockWhole(fd) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            sys::calls().unlink(path.c_str());
        ::close(fd);
    }
    ::closedir(d);
}

int openRegularForRead(const std::string& path, struct stat& st) {
    const int fd = sys::calls().open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        sys::calls().close(fd);
        errno = EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool copyAccessAcl(int from, int to) {
    for (const char* name : kAclNames) {
        std::vector<char> value(256);
        ssize_t n = ::fgetxattr(from, name, value.data(), value.size());
        if (n < 0 && errno == ERANGE) {
            n = ::fgetxattr(from, name, nullptr, 0);
            if (n > 0) {
                value.resize(static_cast<std::size_t>(n));
                n = ::fgetxattr(from, name, value.data(), value.size());
            }
        }
        if (n >= 0) {
            if (::fsetxattr(to, name, value.data(), static_cast<std::size_t>(n), 0) != 0)
                return false;
        } else if (errno == ENODATA) {
            // None before: none after, whatever the folder's default ACL gave the new file.
            if (::fremovexattr(to, name) != 0 && errno != ENODATA && errno != ENOTSUP)
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

void syncDirectory(const std::string& dir) {
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

std::string directoryOf(const std::string& path) {
    const std::string dir = directoryPart(path);
    return dir.empty() ? std::string(".") : dir;
}

std::string baseName(const std::string& path) {
    return path.substr(directoryPart(path).size());
}

} // namespace morvex::fileops
