#include "engine/detail/FileLock.h"

#include "engine/detail/Sys.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>

namespace morvex::fileops {
namespace {

constexpr std::size_t kSpareDescriptors = 128;
constexpr rlim_t kWantedDescriptors = 65536;

// How many descriptors a pass may keep for its holds; the soft limit is raised to what the hard
// limit allows, so that a pass over thousands of files keeps all of them.
std::size_t holdLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    const rlim_t wanted = std::min(limit.rlim_max, kWantedDescriptors);
    if (limit.rlim_cur < wanted) {
        rlimit raised = limit;
        raised.rlim_cur = wanted;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur > kSpareDescriptors * 2 ? limit.rlim_cur - kSpareDescriptors
                                                  : limit.rlim_cur / 2;
}

} // namespace

ConversionLock lockForConversion(int fd) {
    if (lockFile(fd, LOCK_EX | LOCK_NB) == 0)
        return ConversionLock::Taken;
    if (errno != EWOULDBLOCK)
        return ConversionLock::Taken; // no such locks here: as before, without one
    // Someone holds it. A shared lock is a finished conversion of a pass still running; an
    // exclusive one is a conversion under way, to wait for.
    if (lockFile(fd, LOCK_SH | LOCK_NB) == 0) {
        lockFile(fd, LOCK_UN);
        return ConversionLock::ConvertedElsewhere;
    }
    lockFile(fd, LOCK_EX);
    return ConversionLock::Taken;
}

void HeldFiles::hold(FileId id, int fd) {
    if (m_limit == 0)
        m_limit = holdLimit();
    release(id);
    UniqueFd kept(sys::calls().dup(fd));
    if (!kept)
        return;
    // The lock belongs to the open file, which the duplicate keeps alive after `fd` is closed.
    if (lockFile(kept.get(), LOCK_SH) != 0)
        return;
    while (!m_order.empty() && m_fds.size() >= m_limit) {
        release(m_order.front());
    }
    m_fds.emplace(id, std::move(kept));
    m_order.push_back(id);
}

void HeldFiles::release(FileId id) {
    const auto it = m_fds.find(id);
    if (it == m_fds.end())
        return;
    m_fds.erase(it);
    m_order.erase(std::find(m_order.begin(), m_order.end(), id));
}

void HeldFiles::releaseAll() {
    m_fds.clear();
    m_order.clear();
}

} // namespace morvex::fileops
