#include "engine/Pool.h"

#include "engine/FileOps.h"
#include "engine/Messages.h"
#include "engine/Paths.h"
#include "engine/Sys.h"
#include "engine/TextStream.h"

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

// Appends one list file in text mode; on a read failure the temporary file is cut back to
// where this list began, so a half-read list never reaches the pool.
bool appendList(const std::string& path, int tempFd, TextWriter& out) {
    struct stat st {};
    const int fd = openRegularForRead(path, st);
    if (fd < 0)
        return false;
    out.flush();
    const off_t start = ::lseek(tempFd, 0, SEEK_CUR);
    FdSource source(fd);
    TextReader in(source);
    in.copyAll(out);
    closeFd(fd);
    if (!in.failed())
        return true;
    out.flush();
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

} // namespace

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
                      const std::function<bool(int tempFd)>& readBack) {
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
    FdSink sink(temp.fd);
    TextWriter out(sink);
    const std::string dir = DirectoryPart(pattern);
    for (const std::string& name : FindFiles(pattern)) {
        state.TmpListLbl = dir + name;
        if (!appendList(state.TmpListLbl, temp.fd, out))
            show(showError, openMessage);
    }
    const bool ok = out.flush() && readBack(temp.fd);
    sys::calls().unlink(temp.path.c_str());
    closeFd(temp.fd);
    if (!ok)
        show(showError, kMsgTempWrite);
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
                MergeState& state) {
    Pool lines;
    if (mergeThroughTemp(pattern, tempDir, tempName, openMessage, showError, state,
                         [&](int fd) { return readBack(fd, lines); }))
        destination = std::move(lines);
}

bool MergeListText(const std::string& pattern, const std::string& tempDir,
                   const std::string& tempName, std::string& destination,
                   const std::string& openMessage, const ShowError& showError, MergeState& state) {
    std::string text;
    if (!mergeThroughTemp(pattern, tempDir, tempName, openMessage, showError, state,
                          [&](int fd) { return readBackText(fd, text); }))
        return false;
    destination = std::move(text);
    return true;
}

} // namespace morvex
