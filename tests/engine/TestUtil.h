// What the engine's tests share: a pass over a scratch folder, the marks of temporary files, and
// the system-call seam put back after a test.
#pragma once

#include "engine/Engine.h"
#include "engine/detail/Sys.h"
#include "tests/support/TempDir.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvex::test {

/// A scratch folder with a footer list "f.mfl" and a header list "h.mhl", and an engine with a
/// fixed seed whose sinks collect what it reports (every message under the engine's caption).
struct Pass {
    static constexpr std::uint32_t kSeed = 42;

    /// The lists' text; an empty one is not written.
    explicit Pass(std::string_view footers = "F\r\n", std::string_view headers = "H:\\H\r\n");

    std::string path(std::string_view name) const { return dir.file(name); }
    /// The no-repeat rounds kept in the folder's "state".
    std::string state() const { return dir.file("state"); }
    void keepRounds();
    /// What a watch does before its first ConvertOne.
    void buildPools();
    void run(std::vector<std::string> sources);
    /// True when a temporary file of the engine is left in the folder.
    bool tempLeft() const;

    TempDir dir;
    std::vector<std::string> messages;
    std::vector<FileResult> results;
    ConvEngine engine;
    ConvSettings settings;
};

/// One insertion a preview showed, with its whole text.
struct Shown {
    std::string path;
    std::size_t line = 0;
    EntryKind kind = EntryKind::Footer;
    std::string listFile; ///< empty when unknown
    std::size_t listLine = 0;
    std::string text;
};

/// Collects what a preview shows.
class ShownLog : public InsertionObserver {
public:
    std::vector<Shown> shown;

    void begin(const Insertion& i) override {
        shown.push_back({std::string(i.path),
                         i.line,
                         i.kind,
                         i.origin.file ? *i.origin.file : std::string(),
                         i.origin.line,
                         {}});
    }
    void text(std::string_view piece) override { shown.back().text += piece; }
    void end() override {}
};

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
