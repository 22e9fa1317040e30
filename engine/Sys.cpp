#include "engine/Sys.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace morvex::sys {
namespace {

int realOpen(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

int realExchange(const char* a, const char* b) {
    return ::renameat2(AT_FDCWD, a, AT_FDCWD, b, RENAME_EXCHANGE);
}

const Calls kReal{realOpen, ::read, ::write,  ::fsync,  ::close,
                  ::rename, ::link, ::unlink, ::fchmod, realExchange};

} // namespace

Calls& calls() {
    static Calls current = kReal;
    return current;
}

const Calls& realCalls() {
    return kReal;
}

} // namespace morvex::sys
