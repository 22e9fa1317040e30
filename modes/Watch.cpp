#include "modes/Watch.h"

#include "engine/Paths.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace morvex {

std::string FileStamp(const struct timespec& modified) {
    struct tm local {};
    const time_t seconds = modified.tv_sec;
    if (!::localtime_r(&seconds, &local))
        local.tm_year = 80;
    unsigned numbers[6] = {unsigned(local.tm_year - 80), unsigned(local.tm_mon + 1),
                           unsigned(local.tm_mday),      unsigned(local.tm_hour),
                           unsigned(local.tm_min),       unsigned(std::min(local.tm_sec, 59) / 2)};
    if (local.tm_year < 80) {
        const unsigned first[6] = {0, 1, 1, 0, 0, 0};
        std::copy(std::begin(first), std::end(first), numbers);
    } else if (local.tm_year > 207) {
        const unsigned last[6] = {127, 12, 31, 23, 59, 29};
        std::copy(std::begin(last), std::end(last), numbers);
    }
    char text[16];
    std::snprintf(text, sizeof text, "%02u%02u%02u%02u%02u%02u", numbers[0], numbers[1], numbers[2],
                  numbers[3], numbers[4], numbers[5]);
    return text;
}

FileIdentity FileIdentity::of(const struct stat& st) {
    return {st.st_mtim, st.st_size, st.st_dev, st.st_ino};
}

bool FileIdentity::operator==(const FileIdentity& other) const {
    return modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
           size == other.size && device == other.device && inode == other.inode;
}

std::optional<std::size_t> WatchRecords::find(const std::string& path) const {
    const auto found = m_first.find(path);
    if (found == m_first.end())
        return std::nullopt;
    return found->second;
}

std::optional<std::size_t> WatchRecords::find(const std::string& path, std::size_t& cursor) const {
    if (cursor < size() && m_isFirst[cursor] && OldSrcFileName[cursor] == path)
        return cursor++;
    const std::optional<std::size_t> found = find(path);
    if (found)
        cursor = *found + 1;
    return found;
}

void WatchRecords::append(const std::string& path, std::string stamp,
                          const FileIdentity& identity) {
    m_isFirst.push_back(m_first.try_emplace(path, OldSrcFileName.size()).second);
    OldSrcFileName.push_back(path);
    OldSrcFileTime.push_back(std::move(stamp));
    Identity.push_back(identity);
}

void WatchRecords::update(std::size_t record, std::string stamp, const FileIdentity& identity) {
    OldSrcFileTime[record] = std::move(stamp);
    Identity[record] = identity;
}

namespace {

bool earlier(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec < b.tv_sec : a.tv_nsec < b.tv_nsec;
}

// Lowers a flag when a look returns, however it returns.
struct LookGuard {
    bool& running;
    ~LookGuard() { running = false; }
};

} // namespace

WatchPass::WatchPass(Hooks hooks, bool notify)
    : m_hooks(std::move(hooks))
    , m_notices(notify) {}

int WatchPass::readStatus(const std::string& path, const struct stat& found, struct stat& st) {
    if (m_hooks.statFile)
        return m_hooks.statFile(path.c_str(), &st);
    // The search's status is current until a conversion (and its result dialog) has taken time.
    if (!m_readAgain) {
        st = found;
        return 0;
    }
    return ::stat(path.c_str(), &st);
}

template <typename Visit>
void WatchPass::forEachFile(const std::vector<std::string>& sources, Visit visit) {
    std::string path;
    for (const std::string& entry : sources) {
        const std::string dir = directoryPart(entry);
        // Watched before it is searched, so that no write after the search goes unheard.
        const int folder = m_notices.watch(dir);
        for (const FoundFile& file : findFilesWithStatus(entry)) {
            path.assign(dir).append(file.name);
            visit(Found{path, folder, file.name, file.status});
            if (m_stopped)
                return;
        }
        m_readAgain = false; // the next entry's search is new
    }
}

bool WatchPass::beginLook() {
    if (m_running)
        return false;
    m_running = true;
    m_readAgain = false;
    m_stopped = false;
    m_cursor = 0;
    m_doneInLook.clear();
    m_notices.read();
    m_heardBefore = m_notices.mark();
    return true;
}

bool WatchPass::tick(const std::vector<std::string>& sources) {
    if (!beginLook())
        return false;
    const LookGuard guard{m_running};
    if (!m_observeStarted) {
        takeBaseline(sources);
        return true;
    }
    if (m_hooks.beginLook)
        m_hooks.beginLook();
    forEachFile(sources, [this](const Found& file) {
        if (m_hooks.betweenFiles && !m_hooks.betweenFiles()) {
            m_stopped = true;
            return;
        }
        examine(file, true);
    });
    // Every file was seen as it is: what was heard before the look is used up.
    if (!m_stopped)
        m_notices.forgetBefore(m_heardBefore);
    return true;
}

bool WatchPass::lookAtFinished(const std::vector<std::string>& sources) {
    if (!m_observeStarted || !beginLook())
        return false;
    const LookGuard guard{m_running};
    const std::map<int, std::set<std::string>> finished = m_notices.takeFinished();
    if (finished.empty())
        return true;
    if (m_hooks.beginLook)
        m_hooks.beginLook();
    std::string path;
    for (const std::string& entry : sources) {
        const std::string dir = directoryPart(entry);
        const std::string_view pattern = std::string_view(entry).substr(dir.size());
        const int folder = m_notices.folderOf(dir);
        const auto names = finished.find(folder);
        if (pattern.empty() || names == finished.end())
            continue;
        for (const std::string& name : names->second) {
            if (name.front() == '.' || !wildcardMatch(pattern, name))
                continue;
            path.assign(dir).append(name);
            struct stat st {};
            if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                continue;
            if (m_hooks.betweenFiles && !m_hooks.betweenFiles())
                return true;
            m_readAgain = false; // just read
            examine(Found{path, folder, name, st}, false);
        }
    }
    return true;
}

void WatchPass::takeBaseline(const std::vector<std::string>& sources) {
    if (m_hooks.buildPools)
        m_hooks.buildPools();
    m_observeStarted = true;
    forEachFile(sources, [this](const Found& file) {
        struct stat st {};
        // A file whose time cannot be read gets no record; it counts as new once it can.
        if (readStatus(file.path, file.status, st) == 0)
            m_records.append(file.path, FileStamp(st.st_mtim), FileIdentity::of(st));
    });
    m_notices.takeFinished(); // saves before the baseline are not converted
}

void WatchPass::examine(const Found& file, bool fullLook) {
    struct stat st {};
    if (readStatus(file.path, file.status, st) != 0)
        return; // skipped for this tick: no record, no conversion
    const FileIdentity now = FileIdentity::of(st);
    const std::optional<std::size_t> record = m_records.find(file.path, m_cursor);
    // Unchanged since it was recorded: also true when only the local time zone moved.
    if (record && m_records.Identity[*record] == now) {
        m_notices.settle(file.folder, file.name, m_heardBefore);
        m_steadying.erase(file.path);
        return;
    }
    // Set back (a restored older copy): left alone. "Back" is told by the full-resolution
    // time, which no time zone change moves; an equal time with another identity is a change.
    if (record && earlier(now.modified, m_records.Identity[*record].modified))
        return;
    // Another name of a file this look has already dealt with.
    if (m_doneInLook.contains({now.device, now.inode})) {
        remember(file, record, st);
        return;
    }
    if (finished(file, now, fullLook))
        convert(file, now, record);
}

bool WatchPass::finished(const Found& file, const FileIdentity& now, bool fullLook) {
    const Writers writers = m_hooks.writers ? m_hooks.writers(file.path) : writersOf(file.path);
    if (writers == Writers::Some) {
        m_notices.heardWriting(file.folder, file.name);
        m_steadying.erase(file.path);
        return false;
    }
    const auto failed = m_failed.find(file.path);
    if (failed != m_failed.end() && failed->second == now)
        return true; // judged finished before; a retry needs no new word
    SaveNotices::Activity activity = m_notices.activity(file.folder, file.name);
    if (activity == SaveNotices::Activity::Unknown) {
        m_notices.read(); // the change may be newer than the events read so far
        activity = m_notices.activity(file.folder, file.name);
    }
    switch (activity) {
    case SaveNotices::Activity::Finished:
        return true;
    case SaveNotices::Activity::Writing:
        // Its close went unheard (a truncate by name, a lost event): the kernel's word counts.
        return writers == Writers::None;
    case SaveNotices::Activity::Unknown:
        break;
    }
    return steady(file.path, now, fullLook);
}

bool WatchPass::steady(const std::string& path, const FileIdentity& now, bool fullLook) {
    constexpr int kSameLooks = 2;
    const auto [seen, first] = m_steadying.try_emplace(path, Steadying{now, 0});
    if (first)
        return false;
    if (!(seen->second.identity == now)) {
        seen->second = {now, 0};
        return false;
    }
    if (fullLook)
        ++seen->second.sameLooks;
    return seen->second.sameLooks >= kSameLooks;
}

void WatchPass::convert(const Found& file, const FileIdentity& now,
                        std::optional<std::size_t> record) {
    const auto failed = m_failed.find(file.path);
    const bool quiet = failed != m_failed.end() && failed->second == now;
    m_readAgain = true;
    m_steadying.erase(file.path);
    if (m_hooks.convertOne(file.path, quiet) == Outcome::Failed) {
        m_failed.insert_or_assign(file.path, now);
        return; // the record stays, so the next tick tries again
    }
    m_failed.erase(file.path);
    // Read again after the rewrite, so that Morvex's own rewrite never counts as a change.
    struct stat st {};
    if ((m_hooks.statFile ? m_hooks.statFile(file.path.c_str(), &st)
                          : ::stat(file.path.c_str(), &st)) != 0)
        return;
    m_doneInLook.insert({st.st_dev, st.st_ino});
    remember(file, record, st);
    m_notices.settle(file.folder, file.name, m_heardBefore, true);
}

void WatchPass::remember(const Found& file, std::optional<std::size_t> record,
                         const struct stat& st) {
    m_notices.settle(file.folder, file.name, m_heardBefore);
    m_steadying.erase(file.path);
    if (record)
        m_records.update(*record, FileStamp(st.st_mtim), FileIdentity::of(st));
    else
        m_records.append(file.path, FileStamp(st.st_mtim), FileIdentity::of(st));
}

} // namespace morvex
