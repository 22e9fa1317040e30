#include "modes/SaveNotices.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/inotify.h>
#include <unistd.h>
#include <utility>

namespace morvex {
namespace {

constexpr std::uint32_t kFolderEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE |
                                        IN_ATTRIB | IN_DELETE | IN_MOVED_FROM | IN_DELETE_SELF |
                                        IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

extern "C" void onLeaseBreak(int) {}

// A writer opening the file in the instant we hold the lease makes the kernel send SIGIO, whose
// default ends the process. A handler (unlike an ignored signal) is not inherited by programs
// we start.
void catchLeaseBreaks() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = onLeaseBreak;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGIO, &action, nullptr);
    });
}

} // namespace

Writers writersOf(const std::string& path) {
    catchLeaseBreaks();
    // Non-blocking: a FIFO put in the file's place, or another holder's lease, must not hold us.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Writers::Unknown;
    Writers writers = Writers::Unknown;
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        writers = Writers::None;
    } else if (errno == EAGAIN) {
        writers = Writers::Some;
    }
    ::close(fd);
    return writers;
}

SaveNotices::SaveNotices(bool enabled) {
    if (enabled)
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
}

SaveNotices::~SaveNotices() {
    if (m_fd >= 0)
        ::close(m_fd);
}

int SaveNotices::watch(const std::string& dir) {
    const auto known = m_keys.find(dir);
    if (known != m_keys.end() && known->second >= 0)
        return known->second;
    if (m_fd < 0)
        return -1;
    const int key = ::inotify_add_watch(m_fd, dir.empty() ? "." : dir.c_str(), kFolderEvents);
    m_keys[dir] = key;
    if (key >= 0)
        m_folders.try_emplace(key);
    return key;
}

int SaveNotices::folderOf(const std::string& dir) const {
    const auto known = m_keys.find(dir);
    return known == m_keys.end() ? -1 : known->second;
}

bool SaveNotices::read() {
    if (m_fd < 0)
        return false;
    alignas(inotify_event) std::array<char, 64 * 1024> buffer;
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            inotify_event event;
            std::memcpy(&event, buffer.data() + at, sizeof event);
            const char* name = buffer.data() + at + sizeof event;
            apply(event.wd, event.mask, event.len ? std::string(name) : std::string());
            at += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
    return hasFinished();
}

void SaveNotices::apply(int folder, std::uint32_t mask, const std::string& name) {
    ++m_events;
    if (mask & IN_Q_OVERFLOW) {
        // Events were lost: nothing heard before counts, so changed files are judged as if
        // unwatched until they are heard of again.
        for (auto& [key, known] : m_folders)
            known.files.clear();
        return;
    }
    if (mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
        drop(folder);
        return;
    }
    const auto found = m_folders.find(folder);
    if (found == m_folders.end() || name.empty())
        return;
    auto& files = found->second.files;
    if (mask & (IN_DELETE | IN_MOVED_FROM)) {
        files.erase(name);
        return;
    }
    Heard& heard = files[name];
    heard.last = m_events;
    if (mask & IN_MODIFY)
        heard.writing = true;
    if (mask & (IN_CLOSE_WRITE | IN_MOVED_TO))
        heard.writing = false;
    // A time set (touch) on a file nobody writes is a finished change as well.
    if ((mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) || ((mask & IN_ATTRIB) && !heard.writing))
        m_finished[folder].insert(name);
}

void SaveNotices::drop(int folder) {
    // The folder is gone or moved: the next look watches whatever then bears its name.
    if (m_fd >= 0 && m_folders.count(folder))
        ::inotify_rm_watch(m_fd, folder);
    m_folders.erase(folder);
    m_finished.erase(folder);
    for (auto it = m_keys.begin(); it != m_keys.end();)
        it = it->second == folder ? m_keys.erase(it) : std::next(it);
}

SaveNotices::Activity SaveNotices::activity(int folder, std::string_view name) const {
    const auto found = m_folders.find(folder);
    if (found == m_folders.end())
        return Activity::Unknown;
    const auto heard = found->second.files.find(name);
    if (heard == found->second.files.end())
        return Activity::Unknown;
    return heard->second.writing ? Activity::Writing : Activity::Finished;
}

void SaveNotices::settle(int folder, std::string_view name, std::uint64_t mark, bool writerGone) {
    const auto found = m_folders.find(folder);
    if (found == m_folders.end())
        return;
    const auto heard = found->second.files.find(name);
    if (heard != found->second.files.end() && heard->second.last <= mark &&
        (writerGone || !heard->second.writing))
        found->second.files.erase(heard);
}

void SaveNotices::heardWriting(int folder, std::string_view name) {
    const auto found = m_folders.find(folder);
    if (found != m_folders.end())
        found->second.files[std::string(name)].writing = true;
}

std::map<int, std::set<std::string>> SaveNotices::takeFinished() {
    return std::exchange(m_finished, {});
}

void SaveNotices::forgetBefore(std::uint64_t mark) {
    for (auto& [key, folder] : m_folders)
        std::erase_if(folder.files, [mark](const auto& entry) {
            return !entry.second.writing && entry.second.last <= mark;
        });
}

} // namespace morvex
