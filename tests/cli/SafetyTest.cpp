// morvex-convert against what a hostile or unlucky user does: passes at once, files named twice,
// colliding backups, failures that must be reported, odd names and pipes.
#include "tests/cli/CliSupport.h"

#include <climits>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/xattr.h>

namespace {

using namespace clitest;

const std::string kOriginal = "x\r\n)\r\n";
const std::string kConverted = "x\r\nF\r\n";

std::string numbered(int i) {
    return "f" + std::to_string(1000 + i);
}

TEST(CliSafety, TwoPassesAtOnceNeverLoseAnOriginal) {
    constexpr int kFiles = 300;
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round) {
        Scratch s;
        s.write("f.mfl", "F\r\n");
        for (int i = 0; i < kFiles; ++i)
            s.write(numbered(i) + ".up", kOriginal);
        ConvertRun first(s, {"*.up"});
        ConvertRun second(s, {"*.up"});
        const Outcome a = first.finish();
        const Outcome b = second.finish();
        EXPECT_EQ(a.status, 0) << a.err;
        EXPECT_EQ(b.status, 0) << b.err;
        int lost = 0;
        for (int i = 0; i < kFiles; ++i) {
            // Each file converted once by one of the two passes, its original in the backup.
            if (s.read(numbered(i) + ".bak") != kOriginal ||
                s.read(numbered(i) + ".up") != kConverted)
                ++lost;
        }
        EXPECT_EQ(lost, 0) << "round " << round;
        EXPECT_EQ(lines(a.out) + lines(b.out), kFiles) << "every file reported once in all";
    }
}

TEST(CliSafety, AFileNamedTwiceIsConvertedOnce) {
    Scratch s;
    s.write("f.mfl", "F\r\n");
    s.write("y.up", kOriginal);
    s.write("d/z.up", kOriginal);
    const Outcome r = convert(s, {"y.up", "./y.up", "d/*.up", s.file("d") + "/*.up"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "y.up\t1\t0\nd/z.up\t1\t0\n");
    EXPECT_EQ(s.read("y.bak"), kOriginal);
    EXPECT_EQ(s.read("d/z.bak"), kOriginal);
}

TEST(CliSafety, ABackupNeverReplacesASourceOrAnEarlierBackup) {
    Scratch s;
    s.write("f.mfl", "F\r\n");
    s.write("memo.txt", "txt\r\n)\r\n");
    s.write("memo.up", "up\r\n)\r\n");
    const Outcome r = convert(s, {"memo.txt", "memo.up"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "memo.txt\t1\t0\n");
    EXPECT_NE(r.err.find("memo.up"), std::string::npos) << r.err;
    EXPECT_EQ(s.read("memo.bak"), "txt\r\n)\r\n") << "memo.txt's original stays in its backup";
    EXPECT_EQ(s.read("memo.up"), "up\r\n)\r\n");

    Scratch t;
    t.write("f.mfl", "F\r\n");
    t.write("memo.txt", "txt\r\n)\r\n");
    t.write("memo.up", "up\r\n)\r\n");
    const Outcome ext = convert(t, {"--backup-ext", ".up", "memo.txt", "memo.up"});
    EXPECT_EQ(ext.status, 1);
    EXPECT_EQ(ext.out, "");
    EXPECT_EQ(t.read("memo.up"), "up\r\n)\r\n") << "a source is never a backup";
    EXPECT_EQ(t.read("memo.txt"), "txt\r\n)\r\n");
}

TEST(CliSafety, FailuresAreReportedWithStatusOne) {
    Scratch s;
    s.write("f.mfl", "F\r\n");
    s.write("locked.up", kOriginal);
    s.write("ok.up", kOriginal);
    s.write("dir.up", kOriginal);
    fs::create_directory(s.file("dir.bak")); // in the backup's way
    const std::string longName(253, 'n');
    s.write(longName + ".u", kOriginal); // its backup name is over NAME_MAX
    ASSERT_TRUE(giveToNobody(s));
    ::chmod(s.file("locked.up").c_str(), 0);
    std::string deep = "deep";
    while (deep.size() < PATH_MAX + 100)
        deep += "/" + std::string(200, 'd');
    const std::vector<std::string> cases[] = {
        {"locked.up"}, {"missing.up"}, {"dir.up"}, {longName + ".u"}, {deep + "/x.up"}};
    for (const auto& args : cases) {
        const Outcome r = convert(s, args, {}, true);
        EXPECT_EQ(r.status, 1) << args[0].substr(0, 40);
        EXPECT_EQ(lines(r.err), 1) << args[0].substr(0, 40) << ": " << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(s.read("dir.up"), kOriginal);
    EXPECT_EQ(s.read(longName + ".u"), kOriginal);
    const Outcome ok = convert(s, {"ok.up"}, {}, true);
    EXPECT_EQ(ok.status, 0) << ok.err;
}

using morvex::test::FileVersion;
using morvex::test::versionOf;

// No list file (a first start, a mistyped pattern), and the user converts again because nothing
// seemed to happen: every marker survives, no backup is made, and the files after it come out as
// if it were not in the pass.
TEST(CliSafety, AMarkerThatMeetsAnEmptyPoolLeavesTheWholeFile) {
    const std::string footers = "F1 \\R9999\r\nF2 \\R9999\r\nF3\r\n";
    const std::string held = "text\r\n)before\r\n]Subject\r\n)\r\n";
    Scratch without;
    without.write("f.mfl", footers);
    without.write("a.up", ")a\r\n");
    without.write("c.up", ")c\r\n)c\r\n");
    const Outcome expected = convert(without, {"--seed", "5", "a.up", "c.up"});
    ASSERT_EQ(expected.status, 0) << expected.err;

    Scratch s;
    s.write("f.mfl", footers);
    s.write("a.up", ")a\r\n");
    s.write("b.up", held);
    s.write("c.up", ")c\r\n)c\r\n");
    const FileVersion before = versionOf(s.file("b.up"));
    for (int round = 1; round <= 2; ++round) {
        const Outcome r = convert(s, {"--seed", "5", "a.up", "b.up", "c.up"});
        EXPECT_EQ(r.status, 1) << round;
        EXPECT_EQ(r.err,
                  "エラー: ヘッダリスト「*.mhl」が見つからないか空のため、変換しませんでした: "
                  "b.up\n")
            << round;
        EXPECT_EQ(r.out, round == 1 ? expected.out : "") << round;
        EXPECT_EQ(s.read("b.up"), held) << round;
        EXPECT_TRUE(versionOf(s.file("b.up")) == before) << round;
        EXPECT_FALSE(s.exists("b.bak")) << round;
        EXPECT_EQ(s.read("a.up"), without.read("a.up")) << round;
        EXPECT_EQ(s.read("c.up"), without.read("c.up")) << round;
        EXPECT_EQ(s.read("a.bak"), ")a\r\n") << round;
    }

    s.write("plain.up", "no markers\r\n");
    const Outcome quiet = convert(s, {"--footer-list", "none.mfl", "plain.up"});
    EXPECT_EQ(quiet.status, 0) << "no marker, nothing lost, nothing to say";
    EXPECT_EQ(quiet.err, "");
}

// Another pass over a file an earlier one converted (morvex-convert beside a watch, or twice by
// hand) finds nothing to change: the file, its time and its backup stay as they were.
TEST(CliSafety, ASecondPassOverAConvertedFileKeepsTheOriginal) {
    Scratch s;
    s.write("f.mfl", "F\r\n");
    s.write("h.mhl", "H \\H\r\n");
    s.write("memo.up", "]Subject\r\nbody\r\n)\r\n");
    s.write("plain.up", "no markers\r\n");
    const Outcome first = convert(s, {"*.up"});
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "memo.up\t1\t1\n");
    EXPECT_FALSE(s.exists("plain.bak"));
    const std::string converted = s.read("memo.up");
    const FileVersion memo = versionOf(s.file("memo.up")), plain = versionOf(s.file("plain.up"));
    const FileVersion backup = versionOf(s.file("memo.bak"));
    for (int round = 1; round <= 2; ++round) {
        const Outcome again = convert(s, {"*.up", "memo.up"});
        EXPECT_EQ(again.status, 0) << again.err;
        EXPECT_EQ(again.out, "") << "nothing converted, nothing reported";
        EXPECT_EQ(s.read("memo.bak"), "]Subject\r\nbody\r\n)\r\n") << round;
        EXPECT_EQ(s.read("memo.up"), converted);
        EXPECT_TRUE(versionOf(s.file("memo.up")) == memo) << round;
        EXPECT_TRUE(versionOf(s.file("memo.bak")) == backup) << round;
        EXPECT_TRUE(versionOf(s.file("plain.up")) == plain) << round;
    }
    std::string names;
    for (const auto& e : fs::directory_iterator(s.path()))
        names += e.path().filename().string() + " ";
    EXPECT_EQ(names.find(".morvex-"), std::string::npos) << names;
}

std::string aclOf(const std::string& path) {
    char value[512];
    const ssize_t n = ::getxattr(path.c_str(), "system.posix_acl_access", value, sizeof value);
    return n > 0 ? std::string(value, static_cast<std::size_t>(n)) : std::string();
}

TEST(CliSafety, AclAndModeAreKeptExactly) {
    Scratch s;
    s.write("f.mfl", "F\r\n");
    s.write("memo.up", kOriginal);
    ::chmod(s.file("memo.up").c_str(), 0600);
    const std::string setacl = "setfacl -m u:65534:r,g::- '" + s.file("memo.up") + "' 2>/dev/null";
    if (std::system(setacl.c_str()) != 0)
        GTEST_SKIP() << "no ACLs here";
    // New files in the folder would get a wide ACL of their own.
    const std::string setdefault = "setfacl -d -m g::rw,o::rw '" + s.file("") + "'";
    ASSERT_EQ(std::system(setdefault.c_str()), 0);
    struct stat before {};
    ASSERT_EQ(::stat(s.file("memo.up").c_str(), &before), 0);
    const std::string acl = aclOf(s.file("memo.up"));
    ASSERT_FALSE(acl.empty());

    const Outcome r = convert(s, {"memo.up"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(s.read("memo.up"), kConverted);
    struct stat after {};
    ASSERT_EQ(::stat(s.file("memo.up").c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);
    EXPECT_EQ(aclOf(s.file("memo.up")), acl);

    s.write("plain.up", kOriginal); // inherits the folder's default ACL
    ::chmod(s.file("plain.up").c_str(), 0600);
    ::removexattr(s.file("plain.up").c_str(), "system.posix_acl_access");
    ASSERT_EQ(::chmod(s.file("plain.up").c_str(), 0600), 0);
    EXPECT_EQ(convert(s, {"plain.up"}).status, 0);
    ASSERT_EQ(::stat(s.file("plain.up").c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0600u);
    EXPECT_EQ(aclOf(s.file("plain.up")), "") << "no ACL before, none after";
}

TEST(CliSafety, AListPatternNeverReadsThePassesOwnTemporaryFile) {
    Scratch s;
    fs::create_directory(s.file("tmp"));
    std::string list;
    while (list.size() < (3 << 20)) // more than the writer buffers at once
        list += "F\r\n";
    s.write("tmp/a.mfl", list);
    s.write("memo.up", kOriginal);
    // Whatever happens, the run must not fill the disk.
    const Outcome r = convert(s, {"--footer-list", s.file("tmp") + "/*", "memo.up"},
                              {"TMPDIR=" + s.file("tmp")}, false, [] {
                                  const rlimit size{64 << 20, 64 << 20};
                                  ::setrlimit(RLIMIT_FSIZE, &size);
                              });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(s.read("memo.up"), kConverted);
}

TEST(CliSafety, ANewlineInAFileNameIsEscapedInItsResultLine) {
    Scratch s;
    s.write("f.mfl", "F\r\n");
    s.write("a\nb\tc\\d.up", kOriginal);
    const Outcome r = convert(s, {"a*.up"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "a\\nb\\tc\\\\d.up\t1\t0\n");
}

TEST(CliSafety, AClosedOutputPipeLetsThePassFinishQuietly) {
    Scratch s;
    s.write("f.mfl", "F\r\n");
    for (int i = 0; i < 3; ++i)
        s.write(numbered(i) + ".up", kOriginal);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ::close(pipeFds[0]); // the reader is gone, as after "| head -0"
    ConvertRun run(s, {"*.up"}, {}, false, [&] { ::dup2(pipeFds[1], 1); });
    ::close(pipeFds[1]);
    const Outcome r = run.finish();
    EXPECT_EQ(run.signal(), 0);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(s.read(numbered(i) + ".up"), kConverted) << i;
}

TEST(CliSafety, OnlyMarkedTemporaryFilesAreSweptAway) {
    Scratch s;
    s.write("f.mfl", "F\r\n");
    s.write("memo.up", kOriginal);
    s.write(".x.morvex-abcdef.tmp", "the user's own file");
    const Outcome r = convert(s, {"memo.up"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(s.read(".x.morvex-abcdef.tmp"), "the user's own file");
}

TEST(CliSafety, AHugeHeaderExpansionDoesNotStopThePass) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-space limit and the sanitizer do not mix";
#endif
    Scratch s;
    std::string entry;
    for (int i = 0; i < 100; ++i)
        entry += "\\H";
    s.write("h.mhl", entry + "\r\n");
    s.write("big.up", "]" + std::string(2 << 20, 'h') + "\r\n");
    s.write("small.up", "]x\r\n");
    // 200 MB of header, under a limit that a header built whole in memory cannot fit.
    const Outcome r = convert(s, {"big.up", "small.up"}, {}, false, [] {
        const rlimit space{160 << 20, 160 << 20};
        ::setrlimit(RLIMIT_AS, &space);
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "big.up\t0\t1\nsmall.up\t0\t1\n");
    EXPECT_EQ(fs::file_size(s.file("big.up")), 100u * (2 << 20) + 2);
    EXPECT_EQ(s.read("small.up"), std::string(100, 'x') + "\r\n");
}

} // namespace
