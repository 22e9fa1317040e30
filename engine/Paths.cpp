#include "engine/Paths.h"

#include "engine/detail/Sys.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace morvex {
namespace {

unsigned char foldCase(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}

// Length of the UTF-8 character starting at `pos` (1 for a byte that begins none).
std::size_t characterLength(std::string_view s, std::size_t pos) {
    const unsigned char c = static_cast<unsigned char>(s[pos]);
    const std::size_t want = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    std::size_t n = 1;
    while (n < want && pos + n < s.size() &&
           (static_cast<unsigned char>(s[pos + n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

// Iterative match with one back-tracking point per "*": linear in practice, never exponential.
bool matchPlain(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += characterLength(name, n);
        } else if (p < pattern.size() && foldCase(static_cast<unsigned char>(pattern[p])) ==
                                             foldCase(static_cast<unsigned char>(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            starN += characterLength(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

std::string directoryPart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string backupPathFor(std::string_view path, std::string_view backupExt) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const bool hasExt =
        dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
    std::string out(hasExt ? path.substr(0, dot) : path);
    out += backupExt;
    return out;
}

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    if (matchPlain(pattern, name))
        return true;
    return pattern.ends_with(".*") && name.find('.') == std::string_view::npos &&
           matchPlain(pattern.substr(0, pattern.size() - 2), name);
}

std::vector<FoundFile> findFilesWithStatus(const std::string& pattern) {
    std::vector<FoundFile> found;
    const std::string dir = directoryPart(pattern);
    const std::string_view namePattern = std::string_view(pattern).substr(dir.size());
    if (namePattern.empty())
        return found;
    const int opened =
        sys::calls().open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    DIR* d = opened < 0 ? nullptr : sys::calls().fdopendir(opened);
    if (!d) {
        if (opened >= 0)
            sys::calls().close(opened);
        return found;
    }
    const int dfd = ::dirfd(d);
    while (const dirent* e = sys::calls().readdir(d)) {
        const std::string_view name = e->d_name;
        if (name.empty() || name.front() == '.' || !wildcardMatch(namePattern, name))
            continue;
        struct stat st {};
        if (sys::calls().fstatat(dfd, e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
            found.push_back({std::string(name), st});
    }
    sys::calls().closedir(d);
    // Name order with a-z as A-Z (the order NTFS gives), on keys folded once, through indices.
    std::vector<std::string> folded;
    folded.reserve(found.size());
    for (const FoundFile& file : found) {
        std::string key = file.name;
        for (char& c : key)
            c = static_cast<char>(foldCase(static_cast<unsigned char>(c)));
        folded.push_back(std::move(key));
    }
    std::vector<std::size_t> order(found.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        // Names differing only in case: a stable, deterministic order.
        const int byFolded = folded[a].compare(folded[b]);
        return byFolded != 0 ? byFolded < 0 : found[a].name < found[b].name;
    });
    std::vector<FoundFile> sorted;
    sorted.reserve(found.size());
    for (std::size_t i : order)
        sorted.push_back(std::move(found[i]));
    return sorted;
}

std::vector<std::string> findFiles(const std::string& pattern) {
    std::vector<std::string> names;
    for (FoundFile& file : findFilesWithStatus(pattern))
        names.push_back(std::move(file.name));
    return names;
}

std::string systemTempDir() {
    std::error_code ec;
    std::string dir = std::filesystem::temp_directory_path(ec).string();
    if (ec || dir.empty())
        dir = "/tmp";
    if (dir.back() != '/')
        dir += '/';
    return dir;
}

} // namespace morvex
