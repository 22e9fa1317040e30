#pragma once

#include "engine/detail/Sys.h"

#include <string>
#include <string_view>

namespace morvex::test {

/// A fresh directory under the system temporary directory, removed with its content.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    /// The path of a name inside the directory.
    std::string file(std::string_view name) const { return m_path + "/" + std::string(name); }

private:
    std::string m_path;
};

void writeFile(const std::string& path, std::string_view bytes);
std::string readFile(const std::string& path);
bool exists(const std::string& path);
/// Names in a directory, sorted, "." and ".." left out.
std::string listDir(const std::string& dir);

/// Gives a file the mark of a temporary file made by the engine, as a killed run leaves it.
void markAsTemporary(const std::string& path);

/// True when the open descriptor's path holds `part`.
bool fdPathContains(int fd, std::string_view part);

/// True when the open descriptor is a temporary file of the engine that still has its mark (its
/// path does not tell: a file created unnamed keeps its first path in /proc).
bool isMarkedTemporary(int fd);

/// True when the file at the path carries the mark of the engine's temporary files.
bool hasTemporaryMark(const std::string& path);

/// Restores the system-call table when the test scope ends.
class SysGuard {
public:
    SysGuard()
        : m_saved(sys::calls()) {}
    ~SysGuard() { sys::calls() = m_saved; }

private:
    sys::Calls m_saved;
};

} // namespace morvex::test
