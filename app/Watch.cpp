#include "Watch.h"

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

WatchPass::WatchPass(Hooks hooks)
    : m_hooks(std::move(hooks)) {}

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
        const std::string dir = DirectoryPart(entry);
        for (const FoundFile& file : FindFilesWithStatus(entry)) {
            path.assign(dir).append(file.name);
            visit(path, file.status);
        }
        m_readAgain = false; // the next entry's search is new
    }
}

bool WatchPass::tick(const std::vector<std::string>& sources) {
    if (m_running)
        return false;
    m_running = true;
    struct Done {
        bool& running;
        ~Done() { running = false; }
    } done{m_running};
    m_readAgain = false;
    m_cursor = 0;
    if (!m_observeStarted)
        takeBaseline(sources);
    else
        forEachFile(sources, [this](const std::string& path, const struct stat& found) {
            examine(path, found);
        });
    return true;
}

void WatchPass::takeBaseline(const std::vector<std::string>& sources) {
    if (m_hooks.buildPools)
        m_hooks.buildPools();
    m_observeStarted = true;
    forEachFile(sources, [this](const std::string& path, const struct stat& found) {
        struct stat st {};
        // A file whose time cannot be read gets no record; it counts as new once it can.
        if (readStatus(path, found, st) == 0)
            m_records.append(path, FileStamp(st.st_mtim), FileIdentity::of(st));
    });
}

void WatchPass::examine(const std::string& path, const struct stat& found) {
    struct stat st {};
    if (readStatus(path, found, st) != 0)
        return; // skipped for this tick: no record, no conversion
    const FileIdentity now = FileIdentity::of(st);
    const std::optional<std::size_t> record = m_records.find(path, m_cursor);
    // Unchanged since it was recorded: also true when only the local time zone moved.
    if (record && m_records.Identity[*record] == now)
        return;
    std::string stamp = FileStamp(st.st_mtim);
    // An earlier stamp (a restored older copy) is left alone. An equal stamp with another
    // identity is an edit made in the same two-second step as the last rewrite.
    if (record && stamp < m_records.OldSrcFileTime[*record])
        return;
    const auto failed = m_failed.find(path);
    const bool quiet = failed != m_failed.end() && failed->second == now;
    m_readAgain = true;
    if (!m_hooks.convertOne(path, quiet)) {
        m_failed.insert_or_assign(path, now);
        return; // the record stays, so the next tick tries again
    }
    m_failed.erase(path);
    // Read again after the rewrite, so that Morvex's own rewrite never counts as a change.
    if ((m_hooks.statFile ? m_hooks.statFile(path.c_str(), &st) : ::stat(path.c_str(), &st)) != 0)
        return;
    if (record)
        m_records.update(*record, FileStamp(st.st_mtim), FileIdentity::of(st));
    else
        m_records.append(path, FileStamp(st.st_mtim), FileIdentity::of(st));
}

} // namespace morvex
