// End-to-end tests of morvex-convert, run as a child process in temporary directories.
#include "tests/cli/CliSupport.h"
#include "tests/support/GoldenCase.h"

#include <gtest/gtest.h>

namespace {

using namespace clitest;

TEST(CliUsage, BadArgumentsExitWithStatusTwoAndOneLine) {
    Scratch s;
    s.write("memo.up", ")\r\n");
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--seed", "1"},
        {"--bogus", "memo.up"},
        {"-x", "memo.up"},
        {"--footer-marker", "ab", "memo.up"},
        {"--header-marker=))", "memo.up"},
        {"--backup-ext", ".back", "memo.up"},
        {"--backup-ext", "./x", "memo.up"},
        {"--align", "81", "memo.up"},
        {"--align", "-1", "memo.up"},
        {"--align", "7x", "memo.up"},
        {"--align", "", "memo.up"},
        {"--seed", "4294967296", "memo.up"},
        {"--seed", "-5", "memo.up"},
        {"memo.up", "--seed"},
    };
    for (const auto& args : bad) {
        const Outcome r = convert(s, args);
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        EXPECT_EQ(r.status, 2) << joined;
        EXPECT_EQ(lines(r.err), 1) << joined << ": " << r.err;
        EXPECT_EQ(r.err.rfind("morvex-convert: ", 0), 0u) << joined;
        EXPECT_EQ(r.out, "") << joined;
    }
    EXPECT_EQ(s.read("memo.up"), ")\r\n") << "nothing was converted";
    EXPECT_FALSE(s.exists("memo.bak"));
}

TEST(CliUsage, HelpAndVersion) {
    Scratch s;
    const Outcome help = convert(s, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: morvex-convert [OPTIONS] SOURCE...\n", 0), 0u);
    for (const char* option :
         {"--footer-list PATTERN", "--header-list PATTERN", "--footer-marker CHAR",
          "--header-marker CHAR", "--backup-ext EXT", "--align COLUMN", "--seed N"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    const Outcome version = convert(s, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("morvex-convert ", 0), 0u);
}

// The hand-worked golden case of the engine tests, through the command line.
TEST(CliConvert, GoldenTextCountsAndBackup) {
    using namespace morvex::test::golden;
    Scratch s;
    s.write("sig.mfl", kFooters);
    s.write("hdr.mhl", kHeaders);
    s.write("golden.up", kInput);
    const Outcome r = convert(s, {"--seed", "20240101", "golden.up"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "golden.up\t2\t2\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(s.read("golden.up"), kOutput);
    EXPECT_EQ(s.read("golden.bak"), kInput);

    s.write("golden.up", kInput);
    const Outcome aligned = convert(s, {"--align=12", "--seed=20240101", "golden.up"});
    EXPECT_EQ(aligned.status, 0);
    EXPECT_EQ(s.read("golden.up"), kAligned);
}

TEST(CliConvert, PatternsPathsAndSkipConverted) {
    Scratch s;
    s.write("lists/sig.txt", "F\r\n");
    s.write("lists/head.txt", "H\r\n");
    s.write("box/b.up", ")\r\n)\r\n");
    s.write("box/A.UP", "]x\r\n");
    s.write("box/c.up", "no markers\r\n");
    s.write("other.up", ")\r\n");
    const Outcome r = convert(s, {"--footer-list", "lists/sig.*", "--header-list", "lists/head.txt",
                                  "box/*.up", "box/b.up", "other.up", "nothing/*.up"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "box/A.UP\t0\t1\nbox/b.up\t2\t0\nother.up\t1\t0\n");
    EXPECT_EQ(s.read("box/b.up"), "F\r\nF\r\n");
    EXPECT_EQ(s.read("box/b.bak"), ")\r\n)\r\n");
    EXPECT_FALSE(s.exists("box/c.bak")) << "its text would not change: left alone";
}

TEST(CliConvert, MarkersAndBackupExtension) {
    Scratch s;
    s.write("f.mfl", "F\r\n");
    s.write("h.mhl", "H\r\n");
    s.write("memo.up", std::string("\0a\r\n)b\r\n#c\r\n", 12));
    const Outcome r =
        convert(s, {"--footer-marker=", "--header-marker", "#", "--backup-ext", "", "memo.up"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "memo.up\t1\t1\n");
    EXPECT_EQ(s.read("memo.up"), "Fa\r\n)b\r\nH\r\n");
    EXPECT_EQ(s.read("memo"), std::string("\0a\r\n)b\r\n#c\r\n", 12));

    s.write("keep", ")\r\n");
    const Outcome same = convert(s, {"--backup-ext=", "keep"});
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.out, "") << "a backup that would be the file itself: not converted";
    EXPECT_EQ(s.read("keep"), ")\r\n");
}

TEST(CliConvert, ErrorsGoToStandardErrorAndThePassGoesOn) {
    Scratch s;
    s.write("f.mfl", "F\r\n");
    s.write("memo.up", ")a\r\n");
    // A temporary directory where nobody, not even root, can create a file.
    const Outcome r = convert(s, {"memo.up"}, {"TMPDIR=/proc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "エラー: テンポラリファイルの作成に失敗しました\n"
                     "エラー: テンポラリファイルの作成に失敗しました\n"
                     "エラー: フッタリスト「*.mfl」が見つからないか空のため、変換しませんでした"
                     ": memo.up\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(s.read("memo.up"), ")a\r\n") << "the marker meets an empty pool: left as it was";
    EXPECT_FALSE(s.exists("memo.bak"));
}

TEST(CliConvert, PermissionFailures) {
    Scratch s;
    s.write("f.mfl", "F\r\n");
    s.write("locked.mfl", "secret\r\n");
    s.write("ro/memo.up", ")\r\n");
    s.write("memo.up", ")\r\n");
    ASSERT_TRUE(giveToNobody(s));
    ::chmod(s.file("locked.mfl").c_str(), 0);
    ::chmod(s.file("ro").c_str(), 0555);
    const Outcome r = convert(s, {"ro/memo.up", "memo.up"}, {}, true);
    ::chmod(s.file("ro").c_str(), 0755);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "エラー: フッタリストが開けませんでした\n"
                     "エラー: 変換先ファイルの作成に失敗しました: ro/memo.up\n");
    EXPECT_EQ(r.out, "memo.up\t1\t0\n");
    EXPECT_EQ(s.read("ro/memo.up"), ")\r\n");
}

} // namespace
