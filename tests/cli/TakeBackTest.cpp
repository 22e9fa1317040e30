// morvex-convert --undo, --redraw and --no-repeat, run as a child process.
#include "tests/cli/CliSupport.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

using clitest::convert;
using clitest::Scratch;

const std::string kOriginal = std::string("]Subject\r\n)\r\n\0\x1a rest", 20);

// Lists of distinct entries: footers "f0".."f9", headers "h0".."h9".
void writeLists(const Scratch& s) {
    std::string footers, headers;
    for (int i = 0; i < 10; ++i) {
        footers += "f" + std::to_string(i) + "\r\n";
        headers += "h" + std::to_string(i) + "\\H\r\n";
    }
    s.write("f.mfl", footers);
    s.write("h.mhl", headers);
}

std::vector<std::string> stateEnv(const Scratch& s, const std::string& name = "state") {
    return {"XDG_STATE_HOME=" + s.file(name)};
}

TEST(CliTakeBack, UndoTwiceGivesBackTheExactBytes) {
    Scratch s;
    writeLists(s);
    s.write("memo.up", kOriginal);
    ASSERT_EQ(convert(s, {"--seed", "1", "memo.up"}).status, 0);
    const std::string converted = s.read("memo.up");
    ASSERT_NE(converted, kOriginal);
    const clitest::Outcome undone = convert(s, {"--undo", "memo.up"});
    EXPECT_EQ(undone.status, 0) << undone.err;
    EXPECT_EQ(undone.out + undone.err, "");
    EXPECT_EQ(s.read("memo.up"), kOriginal);
    EXPECT_EQ(s.read("memo.bak"), converted);
    EXPECT_EQ(convert(s, {"--undo", "memo.up"}).status, 0);
    EXPECT_EQ(s.read("memo.up"), converted);
    EXPECT_EQ(s.read("memo.bak"), kOriginal);
    // The backup extension of the conversion names the backup.
    ASSERT_EQ(convert(s, {"--undo", "memo.up"}).status, 0);
    ASSERT_EQ(convert(s, {"--backup-ext", ".old", "--seed", "2", "memo.up"}).status, 0);
    EXPECT_EQ(convert(s, {"--undo", "--backup-ext=.old", "memo.up"}).status, 0);
    EXPECT_EQ(s.read("memo.up"), kOriginal);
}

TEST(CliTakeBack, RefusalsNameTheFileAndGoOnWithTheNext) {
    Scratch s;
    s.write("a.up", "a");
    s.write("a.bak", "A");
    s.write("b.up", "b");
    s.write("c.up", "c");
    std::filesystem::create_directory(s.file("c.bak"));
    for (const char* mode : {"--undo", "--redraw"}) {
        const clitest::Outcome r = convert(s, {mode, "b.up", "c.up", "gone.up"});
        EXPECT_EQ(r.status, 1) << mode;
        EXPECT_EQ(r.err, "エラー: バックアップファイルがありません: b.up\n"
                         "エラー: バックアップが通常のファイルではありません: c.up\n"
                         "エラー: 変換元ファイルが見つかりませんでした: gone.up\n")
            << mode;
        EXPECT_EQ(s.read("b.up"), "b");
        EXPECT_EQ(s.read("c.up"), "c");
    }
    EXPECT_EQ(convert(s, {"--undo", "b.up", "a.up"}).status, 1);
    EXPECT_EQ(s.read("a.up"), "A") << "the pass goes on after a refusal";
}

// Two files sharing one backup name: the backup is the one converted last, and the other file's
// take-back and redraw refuse it; a backup without the mark (an older version's) is taken back.
// A file on another file system than its backup says so.
TEST(CliTakeBack, ABackupIsGivenBackOnlyToTheFileItCameFrom) {
    Scratch s;
    writeLists(s);
    s.write("memo.txt", "txt\r\n)\r\n");
    s.write("memo.up", "up\r\n)\r\n");
    ASSERT_EQ(convert(s, {"memo.txt"}).status, 0);
    ASSERT_EQ(convert(s, {"memo.up"}).status, 0);
    const std::string txt = s.read("memo.txt");
    for (const char* mode : {"--undo", "--redraw"}) {
        const clitest::Outcome r = convert(s, {mode, "memo.txt"});
        EXPECT_EQ(r.status, 1) << mode;
        EXPECT_EQ(r.err,
                  "エラー: 変換の後でバックアップが別のファイルに置き換えられたため、元に戻し"
                  "ませんでした: memo.txt\n")
            << mode;
        EXPECT_EQ(s.read("memo.txt"), txt) << mode;
        EXPECT_EQ(s.read("memo.bak"), "up\r\n)\r\n") << mode;
    }
    EXPECT_EQ(convert(s, {"--undo", "memo.up"}).status, 0);
    EXPECT_EQ(s.read("memo.up"), "up\r\n)\r\n");
    EXPECT_EQ(convert(s, {"--undo", "memo.up"}).status, 0) << "the converted text is its backup";

    if (::removexattr(s.file("memo.bak").c_str(), "user.morvex.source") != 0)
        GTEST_SKIP() << "no extended attributes here";
    EXPECT_EQ(convert(s, {"--undo", "memo.txt"}).status, 0) << "no mark: as before";
    EXPECT_EQ(s.read("memo.txt"), "up\r\n)\r\n");

    // A link into another file system: the backup stays beside the link.
    const std::string other = "/dev/shm/morvex-takeback-" + std::to_string(::getpid());
    std::filesystem::create_directory(other);
    struct stat here {
    }, there{};
    if (::stat(s.file(".").c_str(), &here) == 0 && ::stat(other.c_str(), &there) == 0 &&
        here.st_dev != there.st_dev) {
        morvex::test::writeFile(other + "/far.up", ")\r\n");
        std::filesystem::create_symlink(other + "/far.up", s.file("far.up"));
        ASSERT_EQ(convert(s, {"far.up"}).status, 0);
        const clitest::Outcome r = convert(s, {"--undo", "far.up"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "エラー: ファイルとバックアップが別のファイルシステムにあるため、元に戻せ"
                         "ませんでした: far.up\n");
    }
    std::filesystem::remove_all(other);
}

TEST(CliTakeBack, RedrawDrawsAgainAndKeepsTheBackup) {
    Scratch s;
    writeLists(s);
    s.write("memo.up", kOriginal);
    s.write("copy.up", kOriginal);
    ASSERT_EQ(convert(s, {"--seed", "1", "memo.up"}).status, 0);
    ::chmod(s.file("memo.up").c_str(), 0640);
    const clitest::Outcome r = convert(s, {"--redraw", "--seed", "9", "memo.up"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "memo.up\t1\t1\n");
    EXPECT_EQ(s.read("memo.bak"), kOriginal);
    struct stat st {};
    ASSERT_EQ(::stat(s.file("memo.up").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the file keeps its permissions";
    // Byte for byte what converting the original with that seed gives.
    ASSERT_EQ(convert(s, {"--seed", "9", "copy.up"}).status, 0);
    EXPECT_EQ(s.read("memo.up"), s.read("copy.up"));
    // Redrawing a conversion taken back would draw from its output: refused, nothing lost.
    ASSERT_EQ(convert(s, {"--undo", "memo.up"}).status, 0);
    const clitest::Outcome again = convert(s, {"--redraw", "memo.up"});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err,
              "エラー: バックアップに挿入するものがないため、引き直しませんでした: memo.up\n");
    EXPECT_EQ(s.read("memo.up"), kOriginal);
}

TEST(CliNoRepeat, NoEntryComesTwiceBeforeAllHaveAndTheSeedReproducesWithTheSameState) {
    Scratch s;
    writeLists(s);
    // Ten footers in two files: one round of the ten entries.
    s.write("a.up", ")\r\n)\r\n)\r\n)\r\n)\r\n");
    s.write("b.up", ")\r\n)\r\n)\r\n)\r\n)\r\n");
    const clitest::Outcome r =
        convert(s, {"--no-repeat", "--seed", "3", "a.up", "b.up"}, stateEnv(s));
    ASSERT_EQ(r.status, 0) << r.err;
    std::multiset<std::string> drawn;
    for (const char* name : {"a.up", "b.up"}) {
        const std::string text = s.read(name);
        for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos;
             at = end + 2)
            drawn.insert(text.substr(at, end - at));
    }
    EXPECT_EQ(std::set<std::string>(drawn.begin(), drawn.end()).size(), 10u);
    EXPECT_EQ(drawn.size(), 10u);

    // The same seed with a copy of the same state gives the same text; the dry run shows it
    // and writes no state.
    std::filesystem::copy(s.file("state"), s.file("copy"),
                          std::filesystem::copy_options::recursive);
    s.write("c.up", ")\r\n)\r\n)\r\n");
    s.write("d.up", ")\r\n)\r\n)\r\n");
    const clitest::Outcome look =
        convert(s, {"-n", "--no-repeat", "--seed", "5", "c.up"}, stateEnv(s));
    ASSERT_EQ(look.status, 0) << look.err;
    ASSERT_EQ(convert(s, {"--no-repeat", "--seed", "5", "c.up"}, stateEnv(s)).status, 0);
    ASSERT_EQ(convert(s, {"--no-repeat", "--seed", "5", "d.up"}, stateEnv(s, "copy")).status, 0);
    EXPECT_EQ(s.read("c.up"), s.read("d.up"));
    std::string shown;
    for (std::size_t at = 0; (at = look.out.find("\n    ", at)) != std::string::npos; at += 5)
        shown += look.out.substr(at + 5, 2) + "\r\n";
    EXPECT_EQ(shown, s.read("c.up"));
}

// The names of the kept rounds in the state folder.
std::string roundFiles(const Scratch& s) {
    std::string names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(s.file("state/morvex"), error))
        if (entry.path().extension() == ".round")
            names += entry.path().filename().string().substr(0, 6) + " ";
    return names;
}

// A text left as it was for a marker without a pool moves no round, from a file as through the
// filter; once the list is there the same run keeps its draws.
TEST(CliNoRepeat, ATextLeftAsItWasMovesNoRound) {
    Scratch s;
    writeLists(s);
    std::filesystem::remove(s.file("h.mhl"));
    const std::string text = ")\r\n]Subject\r\n";
    s.write("a.up", text);
    s.write("in.txt", text);
    const clitest::Outcome file = convert(s, {"--no-repeat", "--seed", "1", "a.up"}, stateEnv(s));
    EXPECT_EQ(file.status, 1);
    EXPECT_EQ(s.read("a.up"), text);
    const std::string input = s.file("in.txt");
    const clitest::Outcome filter =
        convert(s, {"--no-repeat", "--seed", "1", "-"}, stateEnv(s), false, [&input] {
            const int fd = ::open(input.c_str(), O_RDONLY);
            ::dup2(fd, 0);
        });
    EXPECT_EQ(filter.status, 1);
    EXPECT_EQ(filter.out, text);
    EXPECT_EQ(roundFiles(s), "");

    s.write("h.mhl", "h0\\H\r\n");
    EXPECT_EQ(convert(s, {"--no-repeat", "--seed", "1", "a.up"}, stateEnv(s)).status, 0);
    EXPECT_NE(s.read("a.up"), text);
    const std::string kept = roundFiles(s);
    EXPECT_NE(kept.find("footer"), std::string::npos) << kept;
    EXPECT_NE(kept.find("header"), std::string::npos) << kept;
}

} // namespace
