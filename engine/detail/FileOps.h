#pragma once

#include "engine/FileId.h"
#include "engine/UniqueFd.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace morvex::fileops {

struct UniqueFile {
    UniqueFd fd;
    std::string path;
};

/// flock, tried again while a signal interrupts it.
int lockFile(int fd, int operation);

/// Gives `path` another name in `dir`: `prefix` + six random characters + `suffix`; the new
/// name, or empty with errno set.
std::string linkUnique(const std::string& path, const std::string& dir, const std::string& prefix,
                       const std::string& suffix);

/// Marks a backup with the resolved path of the file it was made from; errors are ignored (a
/// file system without extended attributes keeps no mark).
void markBackupSource(int fd, const std::string& source);
/// Takes the mark off a file that is no longer a backup.
void unmarkBackupSource(int fd);
/// Whether a backup may be given back to `source` (a resolved path): it carries no mark, or its
/// mark names that file; a mark naming a path that no longer exists counts when the file name
/// is the same (the folder was moved or renamed since).
bool backupBelongsTo(int fd, const std::string& source);

/// Creates `dir` + `prefix` + six random characters + `suffix` exclusively (never following a
/// planted file or link), owner-only, open for reading and writing, marked as Morvex's own (an
/// extended attribute, where the file system has them) and locked against removeStaleFiles;
/// fd -1 on failure.
UniqueFile createUniqueFile(const std::string& dir, const std::string& prefix,
                            const std::string& suffix);

/// Takes Morvex's mark off a file made by createUniqueFile that is to become a user's file.
void unmarkUniqueFile(int fd);
/// Gives a file the mark of createUniqueFile, so that the sweep removes it should it be left
/// under a temporary name; false where the file system keeps no marks.
bool markUniqueFile(int fd);

/// Removes the regular files in `dir` whose names satisfy `isOurs`, that carry the mark of
/// createUniqueFile (or have another name too) and that no live process holds locked: the
/// leftovers of a run that was killed. A file that only looks like one is left alone.
/// `mine` is a file whose conversion lock the caller holds: no other process can be swapping it.
void removeStaleFiles(const std::string& dir, const std::function<bool(std::string_view)>& isOurs,
                      std::optional<FileId> mine = std::nullopt);

/// True for a name made by createUniqueFile with this prefix and suffix.
bool isUniqueName(std::string_view name, std::string_view prefix, std::string_view suffix);

/// Opens a regular file for reading without blocking on FIFOs or devices (a link at the path is
/// followed unless `noFollow`); -1 for anything else, with errno EINVAL when the path names
/// something other than a regular file.
UniqueFd openForRead(const std::string& path, struct stat& st, bool noFollow = false);
/// openForRead with a descriptor the caller closes.
int openRegularForRead(const std::string& path, struct stat& st);

/// Gives `to` the POSIX ACL of `from` (or none, when `from` has none); false when an ACL that
/// `from` has cannot be given to `to`.
bool copyAccessAcl(int from, int to);

/// Closes through the system-call table; false when the close reported an error.
bool closeFd(int fd);

/// The calls of the table that say whether two names, or a file and a name, are the same file.
bool sameFile(const struct stat& a, const struct stat& b);
/// True when `path` (not followed) names the file `id`.
bool names(const std::string& path, FileId id);
/// True when `path` still names the file `before` describes, with its size and time: it has
/// not been replaced or written since.
bool unchangedAt(const struct stat& before, const std::string& path);

/// Makes the directory's entries durable; errors are ignored (not every file system can).
void syncDirectory(const std::string& dir);

/// The directory of a path for system calls: directoryPart, or "." when there is none.
std::string directoryOf(const std::string& path);

/// The last component of a path.
std::string baseName(const std::string& path);

} // namespace morvex::fileops
