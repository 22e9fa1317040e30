#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

namespace morvex {

/// The text of a modification time as the watch modes compare it: local time at the two-second
/// resolution of a packed DOS date and time, "%02u" each of years since 1980, month, day, hour,
/// minute and seconds / 2: 12 digits, 13 from 2080 on. Times outside 1980 to 2107 are held to
/// its ends, as the packed form cannot hold them.
std::string FileStamp(const struct timespec& modified);

/// What tells one version of a file from another beyond its stamp: the full-resolution
/// modification time, the size and the file itself (device and inode).
struct FileIdentity {
    struct timespec modified {};
    off_t size = 0;
    dev_t device = 0;
    ino_t inode = 0;

    static FileIdentity of(const struct stat& st);
    bool operator==(const FileIdentity& other) const;
};

/// The records of the files seen: `OldSrcFileName` and `OldSrcFileTime` in parallel, appended
/// or updated, never removed, with what the file looked like when each was written. Paths are
/// matched exactly (Linux names differ by case) through an index, so that finding a record
/// costs the same however many there are; a path recorded twice is found at its first record.
class WatchRecords {
public:
    std::vector<std::string> OldSrcFileName;
    std::vector<std::string> OldSrcFileTime;
    std::vector<FileIdentity> Identity;

    std::size_t size() const { return OldSrcFileName.size(); }
    /// The first record of `path`.
    std::optional<std::size_t> find(const std::string& path) const;
    /// The same, trying the record at `cursor` first and leaving `cursor` after the one found:
    /// a pass visits files in the order of their records, so most lookups need no hashing.
    std::optional<std::size_t> find(const std::string& path, std::size_t& cursor) const;
    void append(const std::string& path, std::string stamp, const FileIdentity& identity);
    void update(std::size_t record, std::string stamp, const FileIdentity& identity);

private:
    std::unordered_map<std::string, std::size_t> m_first;
    std::vector<bool> m_isFirst; ///< per record: the first record of its path
};

/// The watch pass of the modes /o and /w, one call per tick of ObserveTimer.
class WatchPass {
public:
    struct Hooks {
        /// Builds the footer pool and then the header pool; called once, at the first tick.
        std::function<void()> buildPools;
        /// Converts one file with the pools as they stand; true when the new text is in place.
        /// `quiet`: the same file failed the same way before, so its error is not shown again.
        std::function<bool(const std::string& path, bool quiet)> convertOne;
        /// Reads a file's status (stat(2)); empty: the directory search's status, read again
        /// after a conversion in the same tick. Tests set it to make the read fail.
        std::function<int(const char* path, struct stat* st)> statFile;
    };

    explicit WatchPass(Hooks hooks);

    /// One pass over the files that `sources` (paths or patterns, in list order) name: the
    /// first takes the baseline, every later one converts each new or changed file once. A
    /// call made while a pass is running (from a dialog of a conversion) does nothing and
    /// returns false.
    bool tick(const std::vector<std::string>& sources);

    bool ObserveStarted() const { return m_observeStarted; }
    const WatchRecords& records() const { return m_records; }

private:
    void takeBaseline(const std::vector<std::string>& sources);
    void examine(const std::string& path, const struct stat& found);
    int readStatus(const std::string& path, const struct stat& found, struct stat& st);
    template <typename Visit>
    void forEachFile(const std::vector<std::string>& sources, Visit visit);

    Hooks m_hooks;
    WatchRecords m_records;
    // Files whose conversion failed, with what they looked like then: the error of a retry of
    // the unchanged file is not shown again.
    std::unordered_map<std::string, FileIdentity> m_failed;
    bool m_observeStarted = false;
    bool m_running = false;
    bool m_readAgain = false; ///< a conversion ran since the current search: stat afresh
    std::size_t m_cursor = 0; ///< the record expected next in this pass
};

} // namespace morvex
