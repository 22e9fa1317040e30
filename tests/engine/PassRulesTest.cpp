// The rules every pass keeps so that no byte of the user's is lost: a text that would not change is
// not written, a marker without a pool leaves the whole file, a backup made in the run is never
// another file's, a temporary file is never without its mark, and each folder is swept once.
#include "engine/Engine.h"
#include "tests/engine/TestUtil.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace morvex {
namespace {

using test::exists;
using test::listDir;
using test::readFile;
using test::TempDir;
using test::writeFile;

// Enough entries and numbers that a draw too many or too few shows in the text.
struct Pass : test::Pass {
    Pass()
        : test::Pass("F1 \\R9999\r\nF2 \\R9999\r\nF3\r\n", "H:\\H \\R9999\r\n") {}
};

// Files are written with an older time, so that a rewrite within the same clock tick shows.
void writeOld(const std::string& path, std::string_view bytes) {
    writeFile(path, bytes);
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), old, 0);
}

TEST(PassRules, AFileThatWouldNotChangeIsNotWritten) {
    struct Case {
        const char* name;
        std::string text;
        bool rewritten;
    };
    const Case cases[] = {
        {"no markers", "text\r\nmore\r\n", false},
        {"empty", "", false},
        {"no final line end", "text", false},
        {"a lone LF", "a\nb\r\n", true},
        {"a lone CR", "a\rb\r\n", true},
        {"a CR at the end", "abc\r", true},
        {"a Ctrl-Z",
         "a\r\n\x1A"
         "b",
         true},
        {"a marker", ")\r\n", true},
    };
    for (const Case& c : cases) {
        for (const bool one : {false, true}) {
            Pass p;
            writeOld(p.path("memo.up"), c.text);
            const test::FileVersion before = test::versionOf(p.path("memo.up"));
            p.buildPools();
            if (one)
                EXPECT_TRUE(p.engine.ConvertOne(p.path("memo.up"), p.settings)) << c.name;
            else
                p.run({p.path("memo.up")});
            EXPECT_EQ(exists(p.path("memo.bak")), c.rewritten) << c.name << one;
            EXPECT_EQ(test::versionOf(p.path("memo.up")) == before, !c.rewritten) << c.name << one;
            EXPECT_EQ(p.engine.convertedList().size(), c.rewritten ? 1u : 0u) << c.name << one;
            if (!c.rewritten) {
                EXPECT_EQ(readFile(p.path("memo.up")), c.text) << c.name << one;
                EXPECT_TRUE(p.results.empty()) << c.name << one;
            } else {
                EXPECT_EQ(readFile(p.path("memo.bak")), c.text) << c.name << one;
            }
            EXPECT_TRUE(p.messages.empty()) << c.name << one;
            EXPECT_EQ(listDir(p.dir.path()).find(".morvex-"), std::string::npos) << c.name << one;
        }
    }
}

// A converted file converted again (a second pass, a watch beside it, a folder named twice)
// keeps its original in the backup.
TEST(PassRules, ASecondConversionKeepsTheOriginalInTheBackup) {
    const std::string original = "]Subject\r\nbody\r\n)\r\n";
    Pass p;
    writeOld(p.path("memo.up"), original);
    p.settings.skipConverted = false;
    p.run({p.path("*.up"), p.path("./*.up")});
    const std::string converted = readFile(p.path("memo.up"));
    ASSERT_NE(converted, original);
    EXPECT_EQ(readFile(p.path("memo.bak")), original) << "a folder named twice in one pass";
    EXPECT_EQ(p.results.size(), 1u);

    const test::FileVersion after = test::versionOf(p.path("memo.up"));
    for (const char* name : {"memo.up", "./memo.up"})
        EXPECT_TRUE(p.engine.ConvertOne(p.path(name), p.settings)) << name;
    p.run({p.path("memo.up")});
    EXPECT_EQ(readFile(p.path("memo.bak")), original) << "converted again later in the run";
    EXPECT_EQ(readFile(p.path("memo.up")), converted);
    EXPECT_TRUE(test::versionOf(p.path("memo.up")) == after);
    EXPECT_EQ(p.results.size(), 1u) << "nothing changed: nothing reported";
    EXPECT_EQ(p.engine.convertedList().size(), 0u);
}

// A footer pool whose only entry is the marker itself reproduces the text: the draw is made,
// nothing is written, nothing reported, and the preview shows the same.
TEST(PassRules, InsertionsThatReproduceTheTextWriteNothing) {
    Pass p;
    writeFile(p.path("f.mfl"), ")\r\n");
    writeOld(p.path("memo.up"), ")\r\n");
    writeOld(p.path("next.up"), ")x\r\n");
    p.run({p.path("memo.up"), p.path("next.up")});
    EXPECT_FALSE(exists(p.path("memo.bak")));
    EXPECT_FALSE(exists(p.path("next.bak")));
    EXPECT_TRUE(p.results.empty());

    test::ShownLog shown;
    std::vector<FileResult> previewed;
    ConvEngine preview({}, [&](const FileResult& r) { previewed.push_back(r); });
    preview.setMode(PassMode::Preview, &shown);
    preview.ConvertAll(p.settings);
    EXPECT_TRUE(shown.shown.empty());
    EXPECT_TRUE(previewed.empty());
}

// With no list file (a first start, a mistyped pattern) the marker would be dropped: the file is
// left whole instead, told by name, and the files after it come out as if it were not there.
TEST(PassRules, AMarkerThatMeetsAnEmptyPoolLeavesTheWholeFile) {
    const std::string held = "text\r\n)before\r\n]Subject\r\n)\r\n";
    const std::vector<std::string> others = {"a.up", "c.up"};
    std::map<std::string, std::string> expected;
    {
        Pass without;
        ::unlink(without.path("h.mhl").c_str());
        for (const std::string& name : others)
            writeFile(without.path(name), ")" + name + "\r\n)\r\n");
        without.run({without.path("a.up"), without.path("c.up")});
        for (const std::string& name : others)
            expected[name] = readFile(without.path(name));
    }
    Pass p;
    ::unlink(p.path("h.mhl").c_str());
    for (const std::string& name : others)
        writeFile(p.path(name), ")" + name + "\r\n)\r\n");
    writeOld(p.path("b.up"), held);
    const test::FileVersion before = test::versionOf(p.path("b.up"));
    const std::string message = "ヘッダリスト「" + p.path("*.mhl") +
                                "」が見つからないか空のため、変換しませんでした: " + p.path("b.up");
    for (int round = 1; round <= 2; ++round) {
        p.messages.clear();
        p.run({p.path("a.up"), p.path("b.up"), p.path("c.up")});
        EXPECT_EQ(p.messages, std::vector<std::string>{message}) << round;
        EXPECT_EQ(readFile(p.path("b.up")), held) << round;
        EXPECT_TRUE(test::versionOf(p.path("b.up")) == before) << round;
        EXPECT_FALSE(exists(p.path("b.bak"))) << round;
        for (const std::string& name : others)
            EXPECT_EQ(readFile(p.path(name)), expected[name]) << name << " round " << round;
    }
    EXPECT_EQ(p.results.size(), 2u) << "a and c once; b never";
    EXPECT_FALSE(p.engine.ConvertOne(p.path("b.up"), p.settings));
    EXPECT_EQ(readFile(p.path("b.up")), held);

    // The preview tells the same and shows the others exactly as the pass drew them.
    std::vector<std::string> errors;
    test::ShownLog log;
    ConvEngine preview(
        [&](const std::string& text, const std::string&) { errors.push_back(text); });
    preview.setMode(PassMode::Preview, &log);
    preview.setClock([] { return Pass::kSeed; });
    for (const std::string& name : others)
        writeFile(p.path(name), ")" + name + "\r\n)\r\n");
    preview.ConvertAll(p.settings);
    std::map<std::string, std::vector<std::string>> shown;
    for (const test::Shown& i : log.shown)
        shown[i.path].push_back(i.text);
    EXPECT_EQ(errors, std::vector<std::string>{message});
    EXPECT_EQ(shown.count(p.path("b.up")), 0u);
    for (const std::string& name : others) {
        const std::vector<std::string>& texts = shown[p.path(name)];
        ASSERT_EQ(texts.size(), 2u) << name;
        EXPECT_EQ(texts[0] + name + "\r\n" + texts[1] + "\r\n", expected[name]) << name;
    }
}

TEST(PassRules, ABackupMadeInTheRunIsNeverAnotherFilesBackup) {
    Pass p;
    p.settings.skipConverted = false;
    writeFile(p.path("memo.txt"), ")txt\r\n");
    writeFile(p.path("memo.up"), ")up\r\n");
    const std::string refused = std::string(kMsgBackupCollision) + ": " + p.path("memo.up");
    p.buildPools();

    EXPECT_TRUE(p.engine.ConvertOne(p.path("memo.txt"), p.settings));
    EXPECT_FALSE(p.engine.ConvertOne(p.path("memo.up"), p.settings)) << "one watch look";
    p.run({p.path("memo.up")}); // a later pass of the same run
    EXPECT_EQ(p.messages, (std::vector<std::string>{refused, refused}));
    EXPECT_EQ(readFile(p.path("memo.bak")), ")txt\r\n");
    EXPECT_EQ(readFile(p.path("memo.up")), ")up\r\n");

    // The same file converted again may replace its own backup.
    writeFile(p.path("memo.txt"), ")txt edited\r\n");
    EXPECT_TRUE(p.engine.ConvertOne(p.path("memo.txt"), p.settings));
    EXPECT_EQ(readFile(p.path("memo.bak")), ")txt edited\r\n");

    // Once that backup is gone, nothing of it can be lost.
    ASSERT_EQ(::unlink(p.path("memo.bak").c_str()), 0);
    EXPECT_TRUE(p.engine.ConvertOne(p.path("memo.up"), p.settings));
    EXPECT_EQ(readFile(p.path("memo.bak")), ")up\r\n");
    EXPECT_EQ(p.messages.size(), 2u);

    // A new engine is a new run: it knows nothing of these backups.
    ConvEngine next;
    next.setPools({"F"}, next.headerPool());
    writeFile(p.path("memo.txt"), ")txt again\r\n");
    EXPECT_TRUE(next.ConvertOne(p.path("memo.txt"), p.settings));
}

// Every folder the sweep reads, by path.
std::map<std::string, int> g_sweeps;

DIR* countingOpendir(const char* path) {
    ++g_sweeps[path];
    return sys::realCalls().opendir(path);
}

TEST(PassRules, EachFolderIsSweptOncePerPassOrLook) {
    Pass p;
    ASSERT_EQ(::mkdir(p.path("sub").c_str(), 0700), 0);
    for (const char* name : {"a.up", "b.up", "c.up", "sub/d.up", "sub/e.up"})
        writeFile(p.path(name), ")\r\n");
    const std::string top = p.dir.path() + "/", sub = p.path("sub") + "/";
    test::SysGuard guard;
    sys::calls().opendir = countingOpendir;
    const auto sweeps = [&] {
        return std::make_pair(g_sweeps[top], g_sweeps[sub]);
    };
    g_sweeps.clear();
    p.settings.skipConverted = false;
    p.run({p.path("*.up"), p.path("sub/*.up")});
    EXPECT_EQ(sweeps(), std::make_pair(1, 1)) << "ConvertAll";
    p.run({p.path("*.up")});
    EXPECT_EQ(sweeps(), std::make_pair(2, 1)) << "once per call";

    g_sweeps.clear();
    for (int look = 1; look <= 3; ++look) {
        p.engine.beginLook();
        for (const char* name : {"a.up", "b.up", "c.up", "sub/d.up"}) {
            writeFile(p.path(name), ")\r\n");
            EXPECT_TRUE(p.engine.ConvertOne(p.path(name), p.settings));
        }
        EXPECT_EQ(sweeps(), std::make_pair(look, look)) << "look " << look;
    }
    p.run({p.path("a.up")}); // a pass in between keeps its own count
    writeFile(p.path("a.up"), ")\r\n");
    p.engine.ConvertOne(p.path("a.up"), p.settings);
    EXPECT_EQ(sweeps(), std::make_pair(4, 3));
}

TEST(PassRules, TheFirstConvertOneEverSweeps) {
    Pass p;
    writeFile(p.path("memo.up"), ")\r\n");
    writeFile(p.path(".memo.up.morvex-Ab12Cd.tmp"), "left by a killed run");
    test::markAsTemporary(p.path(".memo.up.morvex-Ab12Cd.tmp"));
    p.buildPools();
    EXPECT_TRUE(p.engine.ConvertOne(p.path("memo.up"), p.settings));
    EXPECT_FALSE(exists(p.path(".memo.up.morvex-Ab12Cd.tmp")));
}

// The temporary file's names as they appear, and whether each was marked at that moment; with
// g_killAfterName the process ends right after the name appears, as if killed.
std::vector<std::pair<std::string, bool>> g_named;
bool g_killAfterName = false;
int g_refuseUnnamed = 0;

void sawName(const std::string& path) {
    if (!std::strstr(path.c_str(), ".morvex-"))
        return; // the merges' files in the system's temporary folder
    g_named.emplace_back(path, test::hasTemporaryMark(path));
    if (g_killAfterName)
        ::_exit(9);
}

int watchingOpen(const char* path, int flags, mode_t mode) {
    if ((flags & O_TMPFILE) == O_TMPFILE && g_refuseUnnamed != 0) {
        errno = g_refuseUnnamed;
        return -1;
    }
    const int fd = sys::realCalls().open(path, flags, mode);
    if (fd >= 0 && (flags & O_CREAT))
        sawName(path);
    return fd;
}

int watchingLinkFd(int fd, const char* path) {
    const int r = sys::realCalls().linkFd(fd, path);
    if (r == 0)
        sawName(path);
    return r;
}

void watchNames() {
    sys::calls().open = watchingOpen;
    sys::calls().linkFd = watchingLinkFd;
}

TEST(PassRules, ATemporaryFileIsMarkedBeforeItHasAName) {
    Pass p;
    writeFile(p.path("memo.up"), ")\r\n");
    {
        test::SysGuard guard;
        watchNames();
        g_named.clear();
        g_refuseUnnamed = 0;
        p.run({p.path("memo.up")});
    }
    ASSERT_EQ(g_named.size(), 1u);
    EXPECT_TRUE(g_named[0].second) << g_named[0].first;
    EXPECT_EQ(readFile(p.path("memo.bak")), ")\r\n");

    // Killed the moment the name appears: the next run removes what was left.
    Pass killed;
    writeFile(killed.path("memo.up"), ")\r\n");
    const pid_t child = ::fork();
    if (child == 0) {
        watchNames();
        g_refuseUnnamed = 0;
        g_killAfterName = true;
        killed.run({killed.path("memo.up")});
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 9) << "killed after the name appeared";
    EXPECT_NE(listDir(killed.dir.path()).find(".morvex-"), std::string::npos);
    EXPECT_EQ(readFile(killed.path("memo.up")), ")\r\n");
    killed.run({killed.path("memo.up")});
    EXPECT_EQ(listDir(killed.dir.path()), "f.mfl h.mhl memo.bak memo.up");
}

TEST(PassRules, WhereUnnamedFilesAreRefusedTheFileIsNamedAtOnce) {
    for (const int error : {EOPNOTSUPP, EISDIR, EINVAL}) {
        Pass p;
        writeFile(p.path("memo.up"), ")\r\n");
        {
            test::SysGuard guard;
            watchNames();
            g_named.clear();
            g_refuseUnnamed = error;
            p.run({p.path("memo.up")});
            g_refuseUnnamed = 0;
        }
        EXPECT_EQ(g_named.size(), 1u) << error;
        EXPECT_EQ(readFile(p.path("memo.bak")), ")\r\n") << error;
        EXPECT_NE(readFile(p.path("memo.up")), ")\r\n") << error;
        EXPECT_TRUE(p.messages.empty()) << error;
    }
}

} // namespace
} // namespace morvex
