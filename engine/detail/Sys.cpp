#include "engine/detail/Sys.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace morvex::sys {
namespace {

int realOpen(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

int realLockOpenFile(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_SETLK, &lock);
}

int realDup(int fd) {
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

int realSetBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags < 0 ? -1 : ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

int realExchange(const char* a, const char* b) {
    return ::renameat2(AT_FDCWD, a, AT_FDCWD, b, RENAME_EXCHANGE);
}

int realLinkFd(int fd, const char* path) {
    // Through /proc needs no privilege; AT_EMPTY_PATH serves where /proc is not mounted.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path, AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT)
        return -1;
    return ::linkat(fd, "", AT_FDCWD, path, AT_EMPTY_PATH);
}

int realAccess(const char* path, int mode) {
    return ::faccessat(AT_FDCWD, path, mode, AT_EACCESS);
}

int realDropCache(int fd, off_t offset, off_t length) {
    return ::posix_fadvise(fd, offset, length, POSIX_FADV_DONTNEED);
}

const Calls kReal{realOpen,    ::read,      ::pread,          ::write,      ::fsync,
                  ::close,     ::fstat,     ::stat,           ::lstat,      ::fstatat,
                  ::rename,    ::link,      ::unlink,         ::mkdir,      ::fchmod,
                  ::fchown,    ::flock,     realLockOpenFile, realDup,      realSetBlocking,
                  ::fgetxattr, ::fsetxattr, ::fremovexattr,   realExchange, realLinkFd,
                  ::opendir,   ::fdopendir, ::readdir,        ::closedir,   ::realpath,
                  ::lseek,     realAccess,  realDropCache};

} // namespace

Calls& calls() {
    static Calls current = kReal;
    return current;
}

const Calls& realCalls() {
    return kReal;
}

} // namespace morvex::sys
