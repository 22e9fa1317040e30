#pragma once

#include "engine/detail/FileOps.h"

#include <cstddef>
#include <deque>
#include <map>

// Locks that keep passes in several processes from converting the same file at once. A pass holds
// an exclusive lock on the file it converts, and a shared lock on every new file it has put in
// place until the pass ends; another pass that meets such a file leaves it alone, so that no pass
// backs up another one's new text over the original.
namespace morvex::fileops {

enum class ConversionLock {
    Taken,              ///< this pass may convert the file
    ConvertedElsewhere, ///< a pass still running has already put this file in place
};

/// Takes the exclusive lock on an open file, waiting while another pass converts it. Where the
/// file system has no such locks, the file is taken without one.
ConversionLock lockForConversion(int fd);

/// The shared locks of one pass on the files it has put in place.
class HeldFiles {
public:
    HeldFiles() = default;
    HeldFiles(const HeldFiles&) = delete;
    HeldFiles& operator=(const HeldFiles&) = delete;
    ~HeldFiles() { releaseAll(); }

    /// Takes a shared lock on `fd` (of the file `id`) and keeps a descriptor on it. When no more
    /// descriptors can be spared, the oldest hold is given up.
    void hold(FileId id, int fd);
    /// Gives up the hold on `id`, when there is one (this pass meets its own new file again).
    void release(FileId id);
    void releaseAll();

private:
    std::map<FileId, UniqueFd> m_fds;
    std::deque<FileId> m_order;
    std::size_t m_limit = 0;
};

} // namespace morvex::fileops
