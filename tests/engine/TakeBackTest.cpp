#include "engine/TakeBack.h"

#include "engine/Engine.h"
#include "engine/Messages.h"
#include "engine/TextStream.h"
#include "tests/engine/TestUtil.h"

#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace morvex {
namespace {

using test::exists;
using test::listDir;
using test::readFile;
using test::TempDir;
using test::writeFile;

// Bytes a text-mode rewrite would change: exchanging must keep every one of them.
const std::string kOriginal = std::string("]head\r\n)\r\nNUL \0 CR\r lone LF\n", 28) + "\x1a tail";
const std::string kConverted = "Re: head\r\nsig\r\n";

struct Files {
    TempDir dir;
    std::string file = dir.file("memo.up");
    std::string backup = dir.file("memo.bak");
};

TEST(Undo, AFileReachedThroughALinkIsExchangedWhereItLives) {
    Files f;
    writeFile(f.file, kConverted);
    writeFile(f.backup, kOriginal);
    ASSERT_EQ(::symlink("memo.up", f.dir.file("link.up").c_str()), 0);
    ASSERT_EQ(::symlink("memo.bak", f.dir.file("link.bak").c_str()), 0);
    // The link's own backup name holds a link: that is not a backup to put in place.
    EXPECT_EQ(exchangeWithBackup(f.dir.file("link.up"), f.dir.file("link.bak")),
              TakeBackOutcome::BackupNotRegular);
    ::unlink(f.dir.file("link.bak").c_str());
    ::rename(f.backup.c_str(), f.dir.file("link.bak").c_str());
    EXPECT_EQ(exchangeWithBackup(f.dir.file("link.up"), f.dir.file("link.bak")),
              TakeBackOutcome::Done);
    EXPECT_EQ(readFile(f.file), kOriginal);
    struct stat st {};
    ASSERT_EQ(::lstat(f.dir.file("link.up").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
}

TEST(TakeBack, RefusesWithoutAUsableBackupAndTouchesNothing) {
    const struct Case {
        const char* name;
        std::function<void(const Files&)> prepare;
        TakeBackOutcome outcome;
    } cases[] = {
        {"no backup", [](const Files&) {}, TakeBackOutcome::NoBackup},
        {"a folder", [](const Files& f) { ::mkdir(f.backup.c_str(), 0700); },
         TakeBackOutcome::BackupNotRegular},
        {"a link to a file",
         [](const Files& f) {
             writeFile(f.dir.file("other"), kOriginal);
             ASSERT_EQ(::symlink("other", f.backup.c_str()), 0);
         },
         TakeBackOutcome::BackupNotRegular},
        {"a FIFO", [](const Files& f) { ::mkfifo(f.backup.c_str(), 0600); },
         TakeBackOutcome::BackupNotRegular},
        {"another name of the file",
         [](const Files& f) { ASSERT_EQ(::link(f.file.c_str(), f.backup.c_str()), 0); },
         TakeBackOutcome::BackupIsFile},
        {"no file",
         [](const Files& f) {
             writeFile(f.backup, kOriginal);
             ::unlink(f.file.c_str());
         },
         TakeBackOutcome::FileMissing},
    };
    for (const Case& c : cases) {
        for (const bool redraw : {false, true}) {
            Files f;
            writeFile(f.file, kConverted);
            c.prepare(f);
            const std::string listed = listDir(f.dir.path());
            std::set<std::string> swept;
            const TakeBackOutcome outcome = redraw ? rewriteFromBackup(
                                                         f.file, f.backup,
                                                         [](TextReader&, TextWriter& out) {
                                                             out.write("new");
                                                             return true;
                                                         },
                                                         swept)
                                                   : exchangeWithBackup(f.file, f.backup);
            EXPECT_EQ(outcome, c.outcome) << c.name << (redraw ? " (redraw)" : " (undo)");
            EXPECT_NE(takeBackMessage(outcome), nullptr);
            EXPECT_EQ(listDir(f.dir.path()), listed) << c.name;
            if (exists(f.file)) {
                EXPECT_EQ(readFile(f.file), kConverted) << c.name;
            }
        }
    }
}

// A footer list whose entries show which pass drew them.
std::string signatures() {
    std::string list;
    for (int i = 0; i < 100; ++i)
        list += "sig" + std::to_string(i) + "\r\n";
    return list;
}

TEST(UndoLastPass, TakesBackEveryFileOfThePassUnlessItsBackupWasReplacedSince) {
    test::Pass p(signatures(), {});
    const std::string names[] = {"a.up", "b.up", "c.up"};
    for (const std::string& name : names)
        writeFile(p.path(name), "text of " + name + "\r\n)\r\n");
    p.settings.sources = {p.path("*.up")};
    p.engine.ConvertAll(p.settings);
    ASSERT_EQ(p.engine.lastPass().size(), 3u);
    for (const std::string& name : names)
        ASSERT_NE(readFile(p.path(name)), "text of " + name + "\r\n)\r\n");
    EXPECT_EQ(p.engine.undoLastPass(), 3);
    for (const std::string& name : names)
        EXPECT_EQ(readFile(p.path(name)), "text of " + name + "\r\n)\r\n");
    EXPECT_TRUE(p.engine.lastPass().empty());
    EXPECT_EQ(p.engine.undoLastPass(), 0) << "nothing left to take back";

    // b.up is edited and another pass converts it: its backup is then that pass's, not ours.
    p.engine.ConvertAll(p.settings);
    const std::string edited = readFile(p.path("b.up")) + ")\r\n";
    writeFile(p.path("b.up"), edited);
    ConvEngine other;
    ConvSettings again = p.settings;
    again.sources = {p.path("b.up")};
    other.ConvertAll(again);
    const std::string theirs = readFile(p.path("b.up"));
    ASSERT_NE(theirs, edited);
    EXPECT_EQ(p.engine.undoLastPass(), 2);
    EXPECT_EQ(readFile(p.path("b.up")), theirs);
    EXPECT_EQ(readFile(p.path("b.bak")), edited);
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0], std::string(kMsgBackupReplaced) + ": " + p.path("b.up"));
}

} // namespace
} // namespace morvex
