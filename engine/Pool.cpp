#include "engine/Pool.h"

#include "engine/FileOps.h"
#include "engine/Messages.h"
#include "engine/Paths.h"
#include "engine/Sys.h"
#include "engine/TextStream.h"

#include <algorithm>
#include <unistd.h>

namespace morvex {
namespace {

using namespace fileops;

void show(const ShowError& showError, const std::string& text) {
    if (showError)
        showError(text, kErrorCaption);
}

// "_Morvex_.tmp" becomes the prefix "_Morvex_" and the suffix ".tmp" around the unique part.
std::pair<std::string, std::string> splitTempName(const std::string& tempName) {
    const std::size_t dot = tempName.rfind('.');
    if (dot == std::string::npos)
        return {tempName, std::string()};
    return {tempName.substr(0, dot), tempName.substr(dot)};
}

// Appends one list file in text mode, counting its line ends for the pool's sources; on a read
// failure the temporary file is cut back to where this list began, so a half-read list never
// reaches the pool. The temporary file itself, matched by a pattern for the temporary folder, is
// left out: it would grow while it is read.
bool appendList(const std::string& path, int tempFd, const struct stat& tempSt, TextWriter& out,
                PoolSources& sources) {
    struct stat st {};
    const int fd = openRegularForRead(path, st);
    if (fd < 0)
        return false;
    if (st.st_dev == tempSt.st_dev && st.st_ino == tempSt.st_ino) {
        closeFd(fd);
        return true;
    }
    out.flush();
    const off_t start = ::lseek(tempFd, 0, SEEK_CUR);
    FdSource source(fd);
    TextReader in(source);
    std::size_t lineEnds = 0;
    while (in.copyLine(out) && !out.failed())
        ++lineEnds;
    closeFd(fd);
    out.flush();
    if (!in.failed()) {
        // Whether text follows the last line end shows in the last byte written.
        const off_t end = ::lseek(tempFd, 0, SEEK_CUR);
        char last = '\n';
        if (start >= 0 && end > start && ::pread(tempFd, &last, 1, end - 1) != 1)
            last = '\n';
        sources.addFile(path, lineEnds, end > start && last != '\n');
        return true;
    }
    if (start >= 0 && ::ftruncate(tempFd, start) == 0)
        ::lseek(tempFd, start, SEEK_SET);
    return false;
}

bool readBack(int tempFd, Pool& lines) {
    if (::lseek(tempFd, 0, SEEK_SET) != 0)
        return false;
    FdSource source(tempFd);
    TextReader in(source);
    LoadPoolLines(in, lines);
    return !in.failed();
}

// Reads one list file whole into its lines.
ListText readList(const std::string& path) {
    ListText list;
    list.path = path;
    struct stat st {};
    const int fd = openRegularForRead(path, st);
    if (fd < 0)
        return list;
    FdSource source(fd);
    TextReader in(source);
    std::string line;
    while (in.readLine(line))
        list.lines.push_back(line);
    if (!line.empty()) {
        list.lines.push_back(std::move(line));
        list.openLine = true;
    }
    closeFd(fd);
    list.opened = !in.failed();
    if (!list.opened) {
        list.lines.clear();
        list.openLine = false;
    }
    return list;
}

} // namespace

void PoolSources::clear() {
    m_files.clear();
    m_runs.clear();
    m_next = 0;
    m_open = false;
}

void PoolSources::addFile(const std::string& path, std::size_t lineEnds, bool openLine) {
    const std::size_t file = m_files.size();
    m_files.push_back(path);
    if (lineEnds == 0 && !openLine)
        return; // an empty file adds no line and leaves an open line open
    std::size_t ends = lineEnds;
    std::size_t firstLine = 1;
    if (m_open) {
        if (ends == 0)
            return; // all of it continues the open line
        // The file's first line completes the open line, which stays with the earlier file.
        ++m_next;
        --ends;
        firstLine = 2;
    }
    m_runs.push_back(Run{file, m_next, firstLine});
    m_next += ends;
    m_open = openLine;
}

PoolSources::Origin PoolSources::find(std::size_t index) const {
    // The last run that begins at or before the line; runs of files that added no line of
    // their own begin where the next one does and lose to it.
    const auto after =
        std::upper_bound(m_runs.begin(), m_runs.end(), index,
                         [](std::size_t i, const Run& r) { return i < r.firstIndex; });
    if (after == m_runs.begin())
        return {};
    const Run& run = *(after - 1);
    return {&m_files[run.file], run.firstLine + (index - run.firstIndex)};
}

void LoadPoolLines(TextReader& in, Pool& pool) {
    std::string line;
    while (in.readLine(line))
        pool.push_back(std::move(line));
    if (!line.empty())
        pool.push_back(std::move(line));
}

namespace {

// The steps every merge shares; `readBack` turns the finished temporary file into the result,
// which the caller takes only when this returns true.
bool mergeThroughTemp(const std::string& pattern, const std::string& tempDir,
                      const std::string& tempName, const std::string& openMessage,
                      const ShowError& showError, MergeState& state,
                      const std::function<bool(int tempFd)>& readBack, PoolSources* sources) {
    const auto parts = splitTempName(tempName);
    const std::string& prefix = parts.first;
    const std::string& suffix = parts.second;
    removeStaleFiles(tempDir,
                     [&](std::string_view name) { return isUniqueName(name, prefix, suffix); });
    UniqueFile temp = createUniqueFile(tempDir, prefix, suffix);
    state.TmpListFile = temp.fd >= 0 ? temp.path : tempDir + tempName;
    if (temp.fd < 0) {
        show(showError, kMsgTempCreate);
        return false;
    }
    struct stat tempSt {};
    ::fstat(temp.fd, &tempSt);
    FdSink sink(temp.fd);
    TextWriter out(sink);
    const std::string dir = DirectoryPart(pattern);
    PoolSources origins;
    for (const std::string& name : FindFiles(pattern)) {
        state.TmpListLbl = dir + name;
        if (!appendList(state.TmpListLbl, temp.fd, tempSt, out, origins))
            show(showError, openMessage);
    }
    const bool ok = out.flush() && readBack(temp.fd);
    sys::calls().unlink(temp.path.c_str());
    closeFd(temp.fd);
    if (!ok)
        show(showError, kMsgTempWrite);
    else if (sources)
        *sources = std::move(origins);
    return ok;
}

// The temporary file as the text-mode reader gives it, in one string sized to the file first
// (no doubling growth: the viewer holds lists of tens of megabytes).
bool readBackText(int tempFd, std::string& text) {
    struct stat st {};
    if (::fstat(tempFd, &st) != 0 || ::lseek(tempFd, 0, SEEK_SET) != 0)
        return false;
    text.reserve(static_cast<std::size_t>(st.st_size));
    FdSource source(tempFd);
    TextReader in(source);
    std::string line;
    while (in.readLine(line)) {
        text += line;
        text += '\n';
    }
    text += line;
    return !in.failed();
}

} // namespace

void MergeLists(const std::string& pattern, const std::string& tempDir, const std::string& tempName,
                Pool& destination, const std::string& openMessage, const ShowError& showError,
                MergeState& state, PoolSources* sources) {
    Pool lines;
    if (mergeThroughTemp(
            pattern, tempDir, tempName, openMessage, showError, state,
            [&](int fd) { return readBack(fd, lines); }, sources))
        destination = std::move(lines);
}

bool MergeListText(const std::string& pattern, const std::string& tempDir,
                   const std::string& tempName, std::string& destination,
                   const std::string& openMessage, const ShowError& showError, MergeState& state) {
    std::string text;
    if (!mergeThroughTemp(
            pattern, tempDir, tempName, openMessage, showError, state,
            [&](int fd) { return readBackText(fd, text); }, nullptr))
        return false;
    destination = std::move(text);
    return true;
}

std::vector<ListText> ReadLists(const std::string& pattern, const std::string& openMessage,
                                const ShowError& showError) {
    std::vector<ListText> lists;
    const std::string dir = DirectoryPart(pattern);
    for (const std::string& name : FindFiles(pattern)) {
        lists.push_back(readList(dir + name));
        if (!lists.back().opened)
            show(showError, openMessage);
    }
    return lists;
}

void JoinLists(const std::vector<ListText>& lists, Pool& pool, PoolSources& sources) {
    pool.clear();
    sources.clear();
    bool open = false; // the pool's last line waits for the rest of its text
    for (const ListText& list : lists) {
        if (!list.opened)
            continue;
        auto line = list.lines.begin();
        if (open && line != list.lines.end()) {
            pool.back() += *line;
            ++line;
            open = list.lines.size() == 1 && list.openLine;
        }
        pool.insert(pool.end(), line, list.lines.end());
        if (line != list.lines.end())
            open = list.openLine;
        sources.addFile(list.path, list.lines.size() - (list.openLine ? 1 : 0), list.openLine);
    }
}

void LoadLists(const std::string& pattern, Pool& pool, PoolSources& sources,
               const std::string& openMessage, const ShowError& showError) {
    JoinLists(ReadLists(pattern, openMessage, showError), pool, sources);
}

} // namespace morvex
