#pragma once

#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace morvex {

/// Everything up to and including the last "/"; empty when the path has none.
std::string directoryPart(std::string_view path);

/// The path with its extension (from the last "." after the last "/") replaced by `backupExt`,
/// or `backupExt` appended when there is none; an empty `backupExt` removes the extension.
std::string backupPathFor(std::string_view path, std::string_view backupExt);

/// Wildcard match of one file name: "*" any run, "?" one character (one UTF-8 sequence), ASCII
/// letters without regard to case; a pattern ending in ".*" also matches a name without a dot.
bool wildcardMatch(std::string_view pattern, std::string_view name);

/// Names in the pattern's directory that match its last component: regular files (or links to
/// them), names starting with "." skipped, in name order (bytes compared with a-z as A-Z).
/// A missing or unreadable directory gives no names.
std::vector<std::string> findFiles(const std::string& pattern);

/// A file findFilesWithStatus found, with its status as the search read it.
struct FoundFile {
    std::string name;
    struct stat status {};
};

/// findFiles with each file's status, for callers that look at every file at every tick.
std::vector<FoundFile> findFilesWithStatus(const std::string& pattern);

/// The system's temporary directory (TMPDIR or /tmp), ending in "/".
std::string systemTempDir();

} // namespace morvex
