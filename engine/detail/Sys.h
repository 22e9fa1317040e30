#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace morvex::sys {

/// Every system call the engine makes on the user's files, its state files and its temporary
/// files; nothing outside Sys.cpp calls them directly (scripts/check-syscalls.sh). Tests replace
/// single entries to make them fail (a full disk, a refused link, a kill) and restore them.
struct Calls {
    int (*open)(const char* path, int flags, mode_t mode);
    ssize_t (*read)(int fd, void* data, size_t size);
    ssize_t (*pread)(int fd, void* data, size_t size, off_t offset);
    ssize_t (*write)(int fd, const void* data, size_t size);
    int (*fsync)(int fd);
    int (*close)(int fd);
    int (*fstat)(int fd, struct stat* st);
    int (*stat)(const char* path, struct stat* st);
    int (*lstat)(const char* path, struct stat* st);
    int (*fstatat)(int dir, const char* name, struct stat* st, int flags);
    int (*rename)(const char* from, const char* to);
    int (*link)(const char* from, const char* to);
    int (*unlink)(const char* path);
    int (*mkdir)(const char* path, mode_t mode);
    int (*fchmod)(int fd, mode_t mode);
    int (*fchown)(int fd, uid_t owner, gid_t group);
    /// flock, as it is.
    int (*flock)(int fd, int operation);
    /// An exclusive lock of the whole file that belongs to this open file (F_OFD_SETLK): no
    /// close of another descriptor drops it. Does not wait.
    int (*lockOpenFile)(int fd);
    /// A second descriptor of the same open file, closed on exec (F_DUPFD_CLOEXEC).
    int (*dup)(int fd);
    /// Makes reads of a descriptor opened with O_NONBLOCK wait again (F_SETFL).
    int (*setBlocking)(int fd);
    ssize_t (*getxattr)(int fd, const char* name, void* value, size_t size);
    int (*setxattr)(int fd, const char* name, const void* value, size_t size, int flags);
    int (*removexattr)(int fd, const char* name);
    /// Swaps the two names in one step (renameat2 with RENAME_EXCHANGE).
    int (*exchange)(const char* a, const char* b);
    /// Gives a file opened with O_TMPFILE, which has no name yet, the name `path` (linkat).
    int (*linkFd)(int fd, const char* path);
    /// Opens a folder to list it (a search, a sweep of leftover temporary files).
    DIR* (*opendir)(const char* path);
    /// Opens a folder to list it from a descriptor of it (fdopendir); the listing owns it.
    DIR* (*fdopendir)(int fd);
    dirent* (*readdir)(DIR* dir);
    int (*closedir)(DIR* dir);
    /// The path with every link and "." or ".." resolved, allocated with malloc (realpath).
    char* (*realpath)(const char* path, char* resolved);
    off_t (*lseek)(int fd, off_t offset, int whence);
    /// Whether this process may use `path` as `mode` asks (faccessat with AT_EACCESS).
    int (*access)(const char* path, int mode);
    /// Tells the kernel a written range need not stay cached (posix_fadvise DONTNEED).
    int (*dropCache)(int fd, off_t offset, off_t length);
};

/// The table in use; starts with the real calls.
Calls& calls();
/// The real calls.
const Calls& realCalls();

} // namespace morvex::sys
