#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>

// Small files of the program's own (settings, state) read and replaced through the engine's
// system-call table, so that their failures are tested like the upload files'.
namespace morvex {

enum class StateRead {
    Read,
    Missing,    ///< nothing at the path
    NotRegular, ///< a FIFO, a device or a folder: not read, never waited on
    TooLarge,   ///< more than the limit
    Failed,     ///< errno tells why
};

/// Reads the regular file at `path` whole, at most `limit` bytes.
StateRead readStateFile(const std::string& path, std::string& text, std::size_t limit);

/// Replaces the file at `path` with `bytes` in one step: a temporary file beside it with `mode`,
/// written, made durable, renamed over it, the folder made durable. 0, or the errno of the step
/// that failed (the file is then as it was).
int replaceStateFile(const std::string& path, std::string_view bytes, mode_t mode);

} // namespace morvex
