#include "engine/Engine.h"
#include "tests/engine/TestUtil.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace morvex {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

// Every system call of the engine counts; at call number g_killAt the process ends at once,
// as if killed, leaving whatever it had written.
int g_calls = 0;
int g_killAt = 0;

void tick() {
    if (++g_calls == g_killAt)
        ::_exit(77);
}

const sys::Calls& real() {
    return sys::realCalls();
}

void installKiller() {
    sys::Calls& c = sys::calls();
    c.open = [](const char* p, int f, mode_t m) {
        return tick(), real().open(p, f, m);
    };
    c.read = [](int fd, void* d, size_t n) {
        return tick(), real().read(fd, d, n);
    };
    c.write = [](int fd, const void* d, size_t n) {
        return tick(), real().write(fd, d, n);
    };
    c.fsync = [](int fd) {
        return tick(), real().fsync(fd);
    };
    c.close = [](int fd) {
        return tick(), real().close(fd);
    };
    c.rename = [](const char* a, const char* b) {
        return tick(), real().rename(a, b);
    };
    c.link = [](const char* a, const char* b) {
        return tick(), real().link(a, b);
    };
    c.unlink = [](const char* p) {
        return tick(), real().unlink(p);
    };
    c.fchmod = [](int fd, mode_t m) {
        return tick(), real().fchmod(fd, m);
    };
}

std::string bigUpload() {
    std::string text;
    for (int i = 0; i < 25000; ++i)
        text += (i % 50 == 0 ? ")" : i % 70 == 0 ? "]re " : "line ") + std::to_string(i) + "\r\n";
    return text;
}

void prepare(const TempDir& dir, const std::string& upload) {
    writeFile(dir.file("f.mfl"), "footer\r\n");
    writeFile(dir.file("h.mhl"), "header \\H\r\n");
    writeFile(dir.file("memo.up"), upload);
    writeFile(dir.file("memo.bak"), "older");
}

void convert(const TempDir& dir) {
    ::setenv("TMPDIR", dir.path().c_str(), 1); // merge files land here too
    ConvEngine engine;
    engine.setClock([] { return 7u; });
    ConvSettings s;
    s.footerListPattern = dir.file("*.mfl");
    s.headerListPattern = dir.file("*.mhl");
    s.sources = {dir.file("memo.up")};
    engine.ConvertAll(s);
}

TEST(Crash, KilledAtAnySystemCallTheTextSurvives) {
    const std::string upload = bigUpload();
    std::string expected;
    {
        TempDir dir;
        prepare(dir, upload);
        convert(dir);
        expected = readFile(dir.file("memo.up"));
        ASSERT_NE(expected, upload);
    }
    const char* savedTmp = std::getenv("TMPDIR");
    const std::string oldTmp = savedTmp ? savedTmp : "";
    int killPoints = 0;
    for (g_killAt = 1; g_killAt < 1000; ++g_killAt) {
        TempDir dir;
        prepare(dir, upload);
        const pid_t child = ::fork();
        if (child == 0) {
            g_calls = 0;
            installKiller();
            convert(dir);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        const std::string now = readFile(dir.file("memo.up"));
        ASSERT_TRUE(now == upload || now == expected) << "killed at call " << g_killAt;
        if (now == expected) {
            ASSERT_EQ(readFile(dir.file("memo.bak")), upload) << "killed at call " << g_killAt;
        }
        // The next run cleans up what the killed one left and converts.
        convert(dir);
        EXPECT_EQ(test::listDir(dir.path()), "f.mfl h.mhl memo.bak memo.up")
            << "killed at call " << g_killAt;
        if (WEXITSTATUS(status) == 0)
            break;
        ++killPoints;
    }
    if (savedTmp)
        ::setenv("TMPDIR", oldTmp.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    EXPECT_GT(killPoints, 20) << "the conversion makes many system calls";
    EXPECT_LT(g_killAt, 1000) << "the unkilled run ended";
}

} // namespace
} // namespace morvex
