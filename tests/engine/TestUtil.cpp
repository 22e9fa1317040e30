#include "tests/engine/TestUtil.h"

#include "engine/Messages.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/xattr.h>
#include <unistd.h>

namespace morvex::test {

Pass::Pass(std::string_view footers, std::string_view headers) {
    engine.setShowError([this](const std::string& text, const std::string& caption) {
        // Entries left out of a pool are a warning: the pass goes on; everything else an error.
        const bool leftOut = text.find("に変換できない文字を含むため") != std::string::npos;
        EXPECT_EQ(caption, leftOut ? kWarningCaption : kErrorCaption);
        messages.push_back(text);
    });
    engine.setResultCallback([this](const FileResult& r) { results.push_back(r); });
    engine.setClock([] { return kSeed; });
    settings.footerListPattern = dir.file("*.mfl");
    settings.headerListPattern = dir.file("*.mhl");
    if (!footers.empty())
        writeFile(dir.file("f.mfl"), footers);
    if (!headers.empty())
        writeFile(dir.file("h.mhl"), headers);
}

void Pass::keepRounds() {
    engine.setStateDirectory(state());
    settings.noRepeat = true;
}

void Pass::buildPools() {
    engine.MakeFooterPool(settings.footerListPattern);
    engine.MakeHeaderPool(settings.headerListPattern);
}

void Pass::run(std::vector<std::string> sources) {
    settings.sources = std::move(sources);
    engine.ConvertAll(settings);
}

bool Pass::tempLeft() const {
    return listDir(dir.path()).find(".morvex-") != std::string::npos;
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
