#pragma once

#include <compare>
#include <sys/stat.h>

namespace morvex::fileops {

/// A file itself, whatever path names it.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    auto operator<=>(const FileId&) const = default;
};

inline FileId idOf(const struct stat& st) {
    return {st.st_dev, st.st_ino};
}

} // namespace morvex::fileops
