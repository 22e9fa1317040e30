#pragma once

#include "engine/FileId.h"

#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace morvex::fileops {

struct UniqueFile {
    int fd = -1;
    std::string path;
};

/// Creates `dir` + `prefix` + six random characters + `suffix` exclusively (never following a
/// planted file or link), owner-only, open for reading and writing, marked as Morvex's own (an
/// extended attribute, where the file system has them) and locked against removeStaleFiles;
/// fd -1 on failure.
UniqueFile createUniqueFile(const std::string& dir, const std::string& prefix,
                            const std::string& suffix);

/// Takes Morvex's mark off a file made by createUniqueFile that is to become a user's file.
void unmarkUniqueFile(int fd);

/// Removes the regular files in `dir` whose names satisfy `isOurs`, that carry the mark of
/// createUniqueFile (or have another name too) and that no live process holds locked: the
/// leftovers of a run that was killed. A file that only looks like one is left alone.
void removeStaleFiles(const std::string& dir, const std::function<bool(std::string_view)>& isOurs);

/// True for a name made by createUniqueFile with this prefix and suffix.
bool isUniqueName(std::string_view name, std::string_view prefix, std::string_view suffix);

/// Opens a regular file for reading without blocking on FIFOs or devices; -1 for anything else,
/// with errno EINVAL when the path names something other than a regular file.
int openRegularForRead(const std::string& path, struct stat& st);

/// Gives `to` the POSIX ACL of `from` (or none, when `from` has none); false when an ACL that
/// `from` has cannot be given to `to`.
bool copyAccessAcl(int from, int to);

/// Closes through the system-call table; false when the close reported an error.
bool closeFd(int fd);

/// Makes the directory's entries durable; errors are ignored (not every file system can).
void syncDirectory(const std::string& dir);

/// The directory of a path for system calls: directoryPart, or "." when there is none.
std::string directoryOf(const std::string& path);

/// The last component of a path.
std::string baseName(const std::string& path);

} // namespace morvex::fileops
