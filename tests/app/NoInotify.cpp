// Loaded into the program under test with LD_PRELOAD, it gives the system that a network file
// system or a full watch table gives: MORVEX_NO_INOTIFY=init, no inotify at all; =watch, inotify
// that can watch no folder. Any other value changes nothing.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace {

bool failing(const char* what) {
    const char* mode = std::getenv("MORVEX_NO_INOTIFY");
    return mode && std::strcmp(mode, what) == 0;
}

template <typename Function> Function real(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int inotify_init1(int flags) {
    if (failing("init")) {
        errno = EMFILE;
        return -1;
    }
    static const auto next = real<int (*)(int)>("inotify_init1");
    return next(flags);
}

extern "C" int inotify_add_watch(int fd, const char* path, std::uint32_t mask) {
    if (failing("watch")) {
        errno = ENOSPC;
        return -1;
    }
    static const auto next = real<int (*)(int, const char*, std::uint32_t)>("inotify_add_watch");
    return next(fd, path, mask);
}
