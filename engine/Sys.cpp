#include "engine/Sys.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace morvex::sys {
namespace {

int realOpen(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

const Calls kReal{realOpen, ::read, ::write,  ::fsync, ::close,
                  ::rename, ::link, ::unlink, ::fchmod};

} // namespace

Calls& calls() {
    static Calls current = kReal;
    return current;
}

const Calls& realCalls() {
    return kReal;
}

} // namespace morvex::sys
