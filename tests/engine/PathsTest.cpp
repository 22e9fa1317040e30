#include "engine/Paths.h"

#include "tests/engine/TestUtil.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvex {
namespace {

using test::TempDir;
using test::writeFile;

TEST(Paths, directoryPart) {
    EXPECT_EQ(directoryPart("memo.up"), "");
    EXPECT_EQ(directoryPart("/home/u/memo.up"), "/home/u/");
    EXPECT_EQ(directoryPart("a/b/"), "a/b/");
    EXPECT_EQ(directoryPart("/"), "/");
    EXPECT_EQ(directoryPart("dir\\file"), "") << "a backslash is an ordinary byte here";
}

TEST(Paths, BackupNaming) {
    struct Case {
        const char* path;
        const char* ext;
        const char* expected;
    } const cases[] = {
        {"memo.up", ".bak", "memo.bak"},
        {"memo", ".bak", "memo.bak"},
        {"dir.d/memo", ".bak", "dir.d/memo.bak"},
        {"dir/memo.old.up", ".bak", "dir/memo.old.bak"},
        {"memo.up", "", "memo"},
        {"memo", "", "memo"},
        {"memo.up", ".up", "memo.up"},
        {"memo.", ".bak", "memo.bak"},
        {"/a/.hidden", ".bak", "/a/.bak"},
        {"memo.up", "~", "memo~"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(backupPathFor(c.path, c.ext), c.expected) << c.path << " + " << c.ext;
}

TEST(Paths, WildcardRules) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    } const cases[] = {
        {"*.up", "memo.up", true},
        {"*.up", "MEMO.UP", true},
        {"*.UP", "memo.up", true},
        {"*.up", "memo.upx", false},
        {"*.up", "memo.up.bak", false},
        {"memo.up", "Memo.Up", true},
        {"m?mo.up", "memo.up", true},
        {"m?mo.up", "mmo.up", false},
        {"?", "", false},
        {"*", "", true},
        {"*.*", "noext", true},
        {"*.*", "a.b", true},
        {"memo.*", "memo", true},
        {"memo.*", "memox", false},
        {"*.*", ".", true},
        {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXbY", false},
        {"**x", "x", true},
        {"?.up", "\xE3\x81\x82.up", true}, // one UTF-8 character
        {"??.up", "\xE3\x81\x82.up", false},
        {"\xE3\x81\x82*", "\xE3\x81\x82\xE3\x81\x84", true},
        {"*\xE3\x81\x84", "\xE3\x81\x82\xE3\x81\x84", true},
        {"[a].up", "[a].up", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(wildcardMatch(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
}

TEST(Paths, WildcardIsNotExponential) {
    const std::string name(5000, 'a');
    const std::string pattern = std::string(200, '*') + "b";
    EXPECT_FALSE(wildcardMatch(pattern, name));
}

TEST(Paths, SearchFindsRegularFilesInNameOrder) {
    TempDir dir;
    for (const char* name : {"b.up", "A.up", "c.UP", "a_.up", ".hidden.up", "x.txt"})
        writeFile(dir.file(name), "x");
    ASSERT_EQ(::mkdir(dir.file("sub.up").c_str(), 0700), 0);
    ASSERT_EQ(::mkfifo(dir.file("pipe.up").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("b.up", dir.file("link.up").c_str()), 0);
    ASSERT_EQ(::symlink("missing", dir.file("dangling.up").c_str()), 0);
    ASSERT_EQ(::symlink("sub.up", dir.file("dirlink.up").c_str()), 0);

    // NTFS order: bytes compared with a-z as A-Z, so "_" (0x5F) sorts after "A.UP"'s "."
    const std::vector<std::string> expected{"A.up", "a_.up", "b.up", "c.UP", "link.up"};
    EXPECT_EQ(findFiles(dir.path() + "/*.up"), expected);
    EXPECT_EQ(findFiles(dir.path() + "/B.UP"), std::vector<std::string>{"b.up"});
    EXPECT_TRUE(findFiles(dir.path() + "/nothing.*").empty());
    EXPECT_TRUE(findFiles(dir.path() + "/missing/*.up").empty());
    EXPECT_TRUE(findFiles(dir.path() + "/").empty());
}

TEST(Paths, SearchWithoutDirectoryUsesCurrentDirectory) {
    TempDir dir;
    writeFile(dir.file("one.mfl"), "x");
    char old[4096];
    ASSERT_NE(::getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    const auto found = findFiles("*.mfl");
    ASSERT_EQ(::chdir(old), 0);
    EXPECT_EQ(found, std::vector<std::string>{"one.mfl"});
}

} // namespace
} // namespace morvex
