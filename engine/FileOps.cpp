#include "engine/FileOps.h"

#include "engine/Paths.h"
#include "engine/Sys.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <unistd.h>

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
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_SETLK, &lock) == 0;
}

bool isUniqueChar(char c) {
    return kAlphabet.find(c) != std::string_view::npos;
}

} // namespace

UniqueFile createUniqueFile(const std::string& dir, const std::string& prefix,
                            const std::string& suffix) {
    const std::string base = dir.empty() ? std::string() : (dir.back() == '/' ? dir : dir + '/');
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        UniqueFile f;
        f.path = base + prefix + randomPart() + suffix;
        f.fd = sys::calls().open(f.path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                 0600);
        if (f.fd >= 0) {
            lockWhole(f.fd);
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

void removeStaleFiles(const std::string& dir, const std::function<bool(std::string_view)>& isOurs) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
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
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && lockWhole(fd))
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
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
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
    const std::string dir = DirectoryPart(path);
    return dir.empty() ? std::string(".") : dir;
}

std::string baseName(const std::string& path) {
    return path.substr(DirectoryPart(path).size());
}

} // namespace morvex::fileops
