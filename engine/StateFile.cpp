#include "engine/StateFile.h"

#include "engine/TextStream.h"
#include "engine/detail/FileOps.h"
#include "engine/detail/Sys.h"

#include <cerrno>

namespace morvex {
namespace {

constexpr std::string_view kTempTag = ".morvex-";
constexpr std::string_view kTempSuffix = ".tmp";

std::string tempPrefix(const std::string& path) {
    return "." + fileops::baseName(path) + std::string(kTempTag);
}

} // namespace

StateRead readStateFile(const std::string& path, std::string& text, std::size_t limit) {
    struct stat st {};
    const fileops::UniqueFd fd = fileops::openForRead(path, st);
    if (!fd)
        return errno == ENOENT   ? StateRead::Missing
               : errno == EINVAL ? StateRead::NotRegular
                                 : StateRead::Failed;
    text.clear();
    char block[64 * 1024];
    for (;;) {
        const ssize_t n = sys::calls().read(fd.get(), block, sizeof block);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return StateRead::Failed;
        if (n == 0)
            return StateRead::Read;
        text.append(block, static_cast<std::size_t>(n));
        if (text.size() > limit)
            return StateRead::TooLarge;
    }
}

int replaceStateFile(const std::string& path, std::string_view bytes, mode_t mode) {
    const std::string dir = fileops::directoryOf(path);
    const std::string prefix = tempPrefix(path);
    const std::string suffix(kTempSuffix);
    fileops::removeStaleFiles(
        dir, [&](std::string_view name) { return fileops::isUniqueName(name, prefix, suffix); });
    fileops::UniqueFile tmp = fileops::createUniqueFile(dir, prefix, suffix);
    if (!tmp.fd)
        return errno;
    int error = 0;
    FdSink sink(tmp.fd.get());
    if (sys::calls().fchmod(tmp.fd.get(), mode) != 0 || !sink.write(bytes.data(), bytes.size()) ||
        sys::calls().fsync(tmp.fd.get()) != 0 ||
        sys::calls().rename(tmp.path.c_str(), path.c_str()) != 0)
        error = errno;
    if (error == 0)
        fileops::unmarkUniqueFile(tmp.fd.get());
    tmp.fd.reset(); // durable already: a close error changes nothing now
    if (error != 0) {
        sys::calls().unlink(tmp.path.c_str());
        return error;
    }
    fileops::syncDirectory(dir);
    return 0;
}

} // namespace morvex
