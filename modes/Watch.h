#pragma once

#include "modes/SaveNotices.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>
#include <utility>
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

/// The watch pass of the modes /o and /w: one full look per tick of ObserveTimer, and between
/// ticks a look at the files whose writers the kernel says have finished with them.
///
/// A changed file (a new one, or one whose modification time did not go back) is converted once
/// it is finished: nobody holds it open for writing (where the kernel can tell) and either the
/// kernel reported its writer's close or rename into place with no write since, or, where no
/// such report can come (no inotify, an unwatched folder, a network file system), it has looked
/// the same at two looks in a row after the change was seen.
class WatchPass {
public:
    /// What became of a file given to convertOne.
    enum class Outcome {
        Converted, ///< the new text is in place
        LeftAlone, ///< deliberately not rewritten (nothing to change, another pass's work)
        Failed,    ///< an error kept the previous text: tried again at the next look
    };

    struct Hooks {
        /// Builds the footer pool and then the header pool; called once, at the first tick.
        std::function<void()> buildPools;
        /// Converts one file with the pools as they stand.
        /// `quiet`: the same file failed the same way before, so its error is not shown again.
        std::function<Outcome(const std::string& path, bool quiet)> convertOne;
        /// Reads a file's status (stat(2)); empty: the directory search's status, read again
        /// after a conversion in the same tick. Tests set it to make the read fail.
        std::function<int(const char* path, struct stat* st)> statFile;
        /// Called when a look that may convert begins.
        std::function<void()> beginLook;
        /// Called between two files of a look; false ends the look there (a quit request).
        std::function<bool()> betweenFiles;
        /// Who holds a file open for writing; empty: writersOf.
        std::function<Writers(const std::string& path)> writers;
    };

    /// `notify` false: as on a system without inotify.
    explicit WatchPass(Hooks hooks, bool notify = true);

    /// One full look over the files that `sources` (paths or patterns, in list order) name: the
    /// first takes the baseline, every later one converts each new or changed file that is
    /// finished, once. A call made while a look is running (from a dialog of a conversion)
    /// does nothing and returns false.
    bool tick(const std::vector<std::string>& sources);
    /// A look at only the files that the kernel reported finished since the last look; false
    /// when a look is running or the baseline is not taken yet.
    bool lookAtFinished(const std::vector<std::string>& sources);

    bool ObserveStarted() const { return m_observeStarted; }
    const WatchRecords& records() const { return m_records; }
    SaveNotices& notices() { return m_notices; }

private:
    /// A file as one look finds it.
    struct Found {
        const std::string& path;
        int folder; ///< its folder's key in m_notices
        std::string_view name;
        const struct stat& status;
    };
    /// A changed file waiting to look the same at two looks in a row.
    struct Steadying {
        FileIdentity identity;
        int sameLooks = 0;
    };

    bool beginLook();
    void takeBaseline(const std::vector<std::string>& sources);
    void examine(const Found& file, bool fullLook);
    bool finished(const Found& file, const FileIdentity& now, bool fullLook);
    bool steady(const std::string& path, const FileIdentity& now, bool fullLook);
    void convert(const Found& file, const FileIdentity& now, std::optional<std::size_t> record);
    void remember(const Found& file, std::optional<std::size_t> record, const struct stat& st);
    int readStatus(const std::string& path, const struct stat& found, struct stat& st);
    template <typename Visit>
    void forEachFile(const std::vector<std::string>& sources, Visit visit);

    Hooks m_hooks;
    SaveNotices m_notices;
    WatchRecords m_records;
    // Files whose conversion failed, with what they looked like then: the error of a retry of
    // the unchanged file is not shown again, and it needs no new word of being finished.
    std::unordered_map<std::string, FileIdentity> m_failed;
    std::unordered_map<std::string, Steadying> m_steadying;
    // The files (device, inode) converted or left alone in this look: another name of one of
    // them is only recorded.
    std::set<std::pair<dev_t, ino_t>> m_doneInLook;
    bool m_observeStarted = false;
    bool m_running = false;
    bool m_stopped = false;          ///< betweenFiles asked to end the look
    bool m_readAgain = false;        ///< a conversion ran since the current search: stat afresh
    std::uint64_t m_heardBefore = 0; ///< the events read when the look began
    std::size_t m_cursor = 0;        ///< the record expected next in this pass
};

} // namespace morvex
