#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

namespace morvex {

/// Whether some process holds a file open for writing.
enum class Writers {
    None,    ///< nobody: whoever wrote it has closed it
    Some,    ///< a writer still has it open
    Unknown, ///< cannot be told here (another user's file, a network file system)
};

/// Asks the kernel through a read lease, which it grants only while nobody has the file open
/// for writing; the lease is given back at once.
Writers writersOf(const std::string& path);

/// What the kernel tells (inotify) about the files of the watched folders: which are being
/// written, which a writer has finished with (closed after writing, renamed into place, given a
/// time) and which changed at all since a look last saw them. Without inotify, or for a folder
/// it cannot watch, nothing is known and the looks decide alone.
class SaveNotices {
public:
    /// What is known of one file name in a watched folder.
    enum class Activity {
        Unknown, ///< nothing heard since the last look settled it, or its folder is not watched
        Writing, ///< written to and not closed since
        Finished ///< changed, and not written to since it was last closed
    };

    /// `enabled` false behaves as a system without inotify.
    explicit SaveNotices(bool enabled = true);
    ~SaveNotices();
    SaveNotices(const SaveNotices&) = delete;
    SaveNotices& operator=(const SaveNotices&) = delete;

    /// The descriptor to wait on for events; -1 without inotify.
    int fd() const { return m_fd; }

    /// Watches the folder of a source entry ("" is the current folder) and returns its key, the
    /// same for every name of one folder; -1 when it cannot be watched (no inotify, no such
    /// folder, the system's watch limit reached). A folder that failed is tried again.
    int watch(const std::string& dir);
    /// The key of a folder watched before, -1 for any other.
    int folderOf(const std::string& dir) const;

    /// Reads every pending event; true when some file was finished with.
    bool read();
    Activity activity(int folder, std::string_view name) const;
    /// A look that began at `mark` has seen the file as it is: what was heard of it until then
    /// is used up; a write heard stays unless `writerGone` (the look found nobody writing).
    void settle(int folder, std::string_view name, std::uint64_t mark, bool writerGone = false);
    /// A look found the file open for writing: it counts as being written until it is closed.
    void heardWriting(int folder, std::string_view name);
    /// The names finished with since the last call, by folder.
    std::map<int, std::set<std::string>> takeFinished();
    bool hasFinished() const { return !m_finished.empty(); }

    /// A point in the stream of events, to forget what was heard before it.
    std::uint64_t mark() const { return m_events; }
    /// Forgets names heard of before `mark` that are not being written, so that names no look
    /// ever asks about (backups, other files) do not pile up.
    void forgetBefore(std::uint64_t mark);

private:
    struct Heard {
        bool writing = false;
        std::uint64_t last = 0; ///< the number of the last event
    };
    // Names looked up by view, without making a string of each.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const {
            return std::hash<std::string_view>{}(name);
        }
    };
    struct Folder {
        std::unordered_map<std::string, Heard, NameHash, std::equal_to<>> files;
    };

    void apply(int folder, std::uint32_t mask, const std::string& name);
    void drop(int folder);

    int m_fd = -1;
    std::unordered_map<std::string, int> m_keys; ///< folder as named -> its watch, -1 if none
    std::unordered_map<int, Folder> m_folders;
    std::map<int, std::set<std::string>> m_finished;
    std::uint64_t m_events = 0;
};

} // namespace morvex
