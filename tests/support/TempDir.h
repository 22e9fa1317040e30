// Scratch folders and whole-file reads and writes, for every test that touches the file system.
#pragma once

#include <string>
#include <string_view>

namespace morvex::test {

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    /// The path of `name` inside the folder.
    std::string file(std::string_view name) const { return m_path + "/" + std::string(name); }
    /// Writes `bytes` to `name`, making the folders on the way.
    void write(std::string_view name, std::string_view bytes) const;
    std::string read(std::string_view name) const;
    /// True when `name` is there, also as a dangling link.
    bool exists(std::string_view name) const;

private:
    std::string m_path;
};

/// Replaces the file's content with `bytes`; the folder must exist.
void writeFile(const std::string& path, std::string_view bytes);
/// The file's bytes; empty when it cannot be read.
std::string readFile(const std::string& path);
bool exists(const std::string& path);
/// Names in a folder, sorted and separated by spaces, "." and ".." left out.
std::string listDir(const std::string& dir);

/// What tells a rewritten file from one left alone: its inode and its time to the nanosecond.
struct FileVersion {
    unsigned long long inode = 0;
    long long seconds = 0;
    long nanoseconds = 0;
    bool operator==(const FileVersion&) const = default;
};
/// The file's version; all zero when it cannot be read.
FileVersion versionOf(const std::string& path);

} // namespace morvex::test
