#include "tests/engine/TestUtil.h"

#include "engine/Paths.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace morvex::test {

TempDir::TempDir() {
    std::string pattern = systemTempDir() + "morvex-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string listDir(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& n : names)
        out += (out.empty() ? "" : " ") + n;
    return out;
}

void markAsTemporary(const std::string& path) {
    if (::setxattr(path.c_str(), "user.morvex", "temporary", 9, 0) != 0)
        throw std::runtime_error("no extended attributes for " + path);
}

bool fdPathContains(int fd, std::string_view part) {
    char link[64];
    char target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target);
    return n > 0 && std::string_view(target, static_cast<std::size_t>(n)).find(part) !=
                        std::string_view::npos;
}

bool isMarkedTemporary(int fd) {
    char value[16];
    const ssize_t n = ::fgetxattr(fd, "user.morvex", value, sizeof value);
    return n == 9 && std::string_view(value, 9) == "temporary";
}

bool hasTemporaryMark(const std::string& path) {
    char value[16];
    const ssize_t n = ::lgetxattr(path.c_str(), "user.morvex", value, sizeof value);
    return n == 9 && std::string_view(value, 9) == "temporary";
}

} // namespace morvex::test
