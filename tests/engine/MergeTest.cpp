#include "engine/Engine.h"
#include "tests/engine/TestUtil.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace morvex {
namespace {

using namespace std::string_literals;

using test::readFile;
using test::TempDir;
using test::writeFile;

struct Merge {
    TempDir lists;
    TempDir temp;
    std::vector<std::string> messages;
    MergeState state;

    Pool run(const std::string& pattern, Pool pool = {}) {
        MergeLists(
            lists.file(pattern), temp.path() + "/", "_Morvex_.tmp", pool, kMsgFooterListOpen,
            [this](const std::string& text, const std::string& caption) {
                const bool leftOut = text.find("に変換できない文字を含むため") != std::string::npos;
                EXPECT_EQ(caption, leftOut ? kWarningCaption : kErrorCaption);
                messages.push_back(text);
            },
            state);
        return pool;
    }
};

TEST(MergeLists, JoinsFilesInNameOrder) {
    Merge m;
    writeFile(m.lists.file("b.mfl"), "z\r\n");
    writeFile(m.lists.file("a.mfl"), "x\r\ny\r\n");
    EXPECT_EQ(m.run("*.mfl"), (Pool{"x", "y", "z"}));
    EXPECT_TRUE(m.messages.empty());
    EXPECT_EQ(m.state.TmpListLbl, m.lists.file("b.mfl"));
    EXPECT_EQ(m.state.TmpListFile.rfind(m.temp.path() + "/_Morvex_", 0), 0u);
    EXPECT_TRUE(m.state.TmpListFile.ends_with(".tmp"));
    EXPECT_EQ(test::listDir(m.temp.path()), "") << "the temporary file is deleted";
}

TEST(MergeLists, TextModeAndLineRules) {
    Merge m;
    const std::string longLine(1000, 'L');
    writeFile(m.lists.file("a.mfl"), "x\r\n\r\n;comment\r\n" + longLine + "\r\nlone\rcr\r\ny");
    writeFile(m.lists.file("b.mfl"), "z\nnul\0byte\r\nend\x1Ahidden\r\n"s);
    writeFile(m.lists.file("c.mfl"), "last");
    EXPECT_EQ(m.run("*.mfl"), (Pool{"x", "", ";comment", longLine, "lonecr", "yz",
                                    std::string("nul\0byte", 8), "endlast"}));
}

TEST(MergeLists, NoMatchEmptiesThePool) {
    Merge m;
    EXPECT_TRUE(m.run("*.mfl", Pool{"old"}).empty());
    writeFile(m.lists.file("only.mfl"), "one\r\n");
    writeFile(m.lists.file("other.mfl"), "two\r\n");
    EXPECT_EQ(m.run("only.mfl"), Pool{"one"});
    EXPECT_TRUE(m.messages.empty());
}

TEST(MergeLists, TemporaryFileFailureKeepsThePool) {
    Merge m;
    writeFile(m.lists.file("a.mfl"), "new\r\n");
    Pool pool{"old"};
    MergeLists(
        m.lists.file("*.mfl"), m.temp.file("missing") + "/", "_Morvex_.tmp", pool,
        kMsgFooterListOpen,
        [&](const std::string& text, const std::string&) { m.messages.push_back(text); }, m.state);
    EXPECT_EQ(pool, Pool{"old"});
    EXPECT_EQ(m.messages, std::vector<std::string>{kMsgTempCreate});
}

int g_openFlags = 0;
mode_t g_openMode = 0;
std::string g_failName;

bool g_refuseUnnamed = false;

int recordingOpen(const char* path, int flags, mode_t mode) {
    const bool unnamed = (flags & O_TMPFILE) == O_TMPFILE;
    if (unnamed && g_refuseUnnamed) {
        errno = EOPNOTSUPP;
        return -1;
    }
    if (std::strstr(path, "_Morvex_") || unnamed) {
        g_openFlags = flags;
        g_openMode = mode;
    }
    if (!g_failName.empty() && std::strstr(path, g_failName.c_str())) {
        errno = EACCES;
        return -1;
    }
    return sys::realCalls().open(path, flags, mode);
}

// Created unnamed (nothing planted can be followed), or where the file system refuses that, by
// name and exclusively; owner-only either way.
TEST(MergeLists, TemporaryFileIsExclusiveAndOwnerOnly) {
    for (const bool refuse : {false, true}) {
        Merge m;
        test::SysGuard guard;
        g_failName.clear();
        g_refuseUnnamed = refuse;
        g_openFlags = 0;
        sys::calls().open = recordingOpen;
        writeFile(m.lists.file("a.mfl"), "x\r\n");
        EXPECT_EQ(m.run("*.mfl"), Pool{"x"}) << refuse;
        g_refuseUnnamed = false;
        const int expected = refuse ? O_CREAT | O_EXCL | O_NOFOLLOW : O_TMPFILE;
        EXPECT_EQ(g_openFlags & expected, expected) << refuse;
        EXPECT_EQ(g_openMode, 0600u) << refuse;
    }
}

TEST(MergeLists, UnreadableListShowsOneMessageAndTheRestLoads) {
    Merge m;
    test::SysGuard guard;
    g_failName = "locked";
    sys::calls().open = recordingOpen;
    writeFile(m.lists.file("a.mfl"), "a\r\n");
    writeFile(m.lists.file("locked.mfl"), "secret\r\n");
    writeFile(m.lists.file("z.mfl"), "z\r\n");
    EXPECT_EQ(m.run("*.mfl"), (Pool{"a", "z"}));
    EXPECT_EQ(m.messages, std::vector<std::string>{kMsgFooterListOpen});
    g_failName.clear();
}

int g_reads = 0;

ssize_t failSecondListRead(int fd, void* data, size_t size) {
    // The list "b.mfl": its first read succeeds, the next one fails.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size == 300000 && ++g_reads == 2) {
        errno = EIO;
        return -1;
    }
    return sys::realCalls().read(fd, data, size);
}

TEST(MergeLists, HalfReadListIsLeftOut) {
    Merge m;
    test::SysGuard guard;
    g_reads = 0;
    sys::calls().read = failSecondListRead;
    writeFile(m.lists.file("a.mfl"), "a\r\n");
    writeFile(m.lists.file("b.mfl"), std::string(299998, 'b') + "\r\n");
    writeFile(m.lists.file("c.mfl"), "c\r\n");
    EXPECT_EQ(m.run("*.mfl"), (Pool{"a", "c"}));
    EXPECT_EQ(m.messages, std::vector<std::string>{kMsgFooterListOpen});
}

ssize_t failTempWrite(int fd, const void* data, size_t size) {
    if (test::isMarkedTemporary(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return sys::realCalls().write(fd, data, size);
}

TEST(MergeLists, FullTemporaryDirectoryKeepsThePool) {
    Merge m;
    test::SysGuard guard;
    sys::calls().write = failTempWrite;
    writeFile(m.lists.file("a.mfl"), "new\r\n");
    EXPECT_EQ(m.run("*.mfl", Pool{"old"}), Pool{"old"});
    EXPECT_EQ(m.messages, std::vector<std::string>{kMsgTempWrite});
    EXPECT_EQ(test::listDir(m.temp.path()), "");
}

TEST(MergeLists, LeftoverOfAKilledMergeIsRemoved) {
    Merge m;
    writeFile(m.temp.file("_Morvex_Ab12Cd.tmp"), "stale");
    test::markAsTemporary(m.temp.file("_Morvex_Ab12Cd.tmp"));
    writeFile(m.temp.file("_Morvex_keep.tmp"), "not ours: wrong length");
    writeFile(m.temp.file("_Morvex_Xy12Zw.tmp"), "not ours: no mark");
    writeFile(m.lists.file("a.mfl"), "x\r\n");
    m.run("*.mfl");
    EXPECT_EQ(test::listDir(m.temp.path()), "_Morvex_Xy12Zw.tmp _Morvex_keep.tmp");
}

TEST(MergeLists, EnginePoolsUseTheirOwnMessages) {
    TempDir lists;
    writeFile(lists.file("a.mhl"), "h\r\n");
    writeFile(lists.file("locked.mhl"), "h\r\n");
    writeFile(lists.file("f.mfl"), "f\r\n");
    std::vector<std::string> messages;
    ConvEngine engine(
        [&](const std::string& text, const std::string&) { messages.push_back(text); });
    test::SysGuard guard;
    g_failName = "locked";
    sys::calls().open = recordingOpen;
    engine.MakeFooterPool(lists.file("*.mfl"));
    engine.MakeHeaderPool(lists.file("*.mhl"));
    g_failName.clear();
    EXPECT_EQ(engine.footerPool(), Pool{"f"});
    EXPECT_EQ(engine.headerPool(), Pool{"h"});
    EXPECT_EQ(messages, std::vector<std::string>{kMsgHeaderListOpen});
    EXPECT_TRUE(engine.listMerge().TmpListFile.ends_with(".tmh"));
}

} // namespace
} // namespace morvex
