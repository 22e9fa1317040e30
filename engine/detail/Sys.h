#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace morvex::sys {

/// The system calls the engine's file work goes through; tests replace single entries to make
/// them fail (a full disk, a refused link) and restore them afterwards.
struct Calls {
    int (*open)(const char* path, int flags, mode_t mode);
    ssize_t (*read)(int fd, void* data, size_t size);
    ssize_t (*write)(int fd, const void* data, size_t size);
    int (*fsync)(int fd);
    int (*close)(int fd);
    int (*rename)(const char* from, const char* to);
    int (*link)(const char* from, const char* to);
    int (*unlink)(const char* path);
    int (*fchmod)(int fd, mode_t mode);
    /// Swaps the two names in one step (renameat2 with RENAME_EXCHANGE).
    int (*exchange)(const char* a, const char* b);
    /// Gives a file opened with O_TMPFILE, which has no name yet, the name `path` (linkat).
    int (*linkFd)(int fd, const char* path);
    /// Opens a folder to sweep it of leftover temporary files.
    DIR* (*opendir)(const char* path);
};

/// The table in use; starts with the real calls.
Calls& calls();
/// The real calls.
const Calls& realCalls();

} // namespace morvex::sys
