#include "engine/detail/Sys.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace morvex::sys {
namespace {

int realOpen(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
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

const Calls kReal{realOpen, ::read,   ::write,  ::fsync,      ::close,    ::rename,
                  ::link,   ::unlink, ::fchmod, realExchange, realLinkFd, ::opendir};

} // namespace

Calls& calls() {
    static Calls current = kReal;
    return current;
}

const Calls& realCalls() {
    return kReal;
}

} // namespace morvex::sys
