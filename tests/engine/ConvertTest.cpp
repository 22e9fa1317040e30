#include "engine/Engine.h"
#include "tests/engine/TestUtil.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace morvex {
namespace {

using test::exists;
using test::listDir;
using test::Pass;
using test::readFile;
using test::TempDir;
using test::writeFile;

const std::string kOld = "]Subject\r\nbody\r\n)\r\n";
const std::string kNew = "H:Subject\r\nbody\r\nF\r\n";

TEST(Convert, RewritesBacksUpAndReports) {
    Pass p;
    writeFile(p.path("memo.up"), kOld);
    writeFile(p.path("memo.bak"), "older backup");
    writeFile(p.path("plain"), "no markers\n");
    p.run({p.path("*.up"), p.path("plain")});
    EXPECT_EQ(readFile(p.path("memo.up")), kNew);
    EXPECT_EQ(readFile(p.path("memo.bak")), kOld);
    EXPECT_EQ(readFile(p.path("plain.bak")), "no markers\n") << "no extension: appended";
    EXPECT_EQ(readFile(p.path("plain")), "no markers\r\n");
    ASSERT_EQ(p.results.size(), 1u) << "a file without insertions reports nothing";
    EXPECT_EQ(p.results[0].path, p.path("memo.up"));
    EXPECT_EQ(p.results[0].footers, 1);
    EXPECT_EQ(p.results[0].headers, 1);
    EXPECT_EQ(p.engine.convertedList(),
              (std::vector<std::string>{p.path("memo.up"), p.path("plain")}));
    EXPECT_TRUE(p.messages.empty());
    EXPECT_FALSE(p.tempLeft());
}

TEST(Convert, EachFileReportsItsOwnCounts) {
    Pass p;
    writeFile(p.path("a.up"), ")\r\n)\r\n");
    writeFile(p.path("b.up"), "text\n");
    writeFile(p.path("c.up"), "]x\r\n");
    p.run({p.path("*.up")});
    ASSERT_EQ(p.results.size(), 2u);
    EXPECT_EQ(p.results[0].path, p.path("a.up"));
    EXPECT_EQ(p.results[0].footers, 2);
    EXPECT_EQ(p.results[0].headers, 0);
    EXPECT_EQ(p.results[1].path, p.path("c.up"));
    EXPECT_EQ(p.results[1].footers, 0);
    EXPECT_EQ(p.results[1].headers, 1);
    EXPECT_TRUE(exists(p.path("b.bak")));
}

TEST(Convert, SkipConvertedConvertsOncePerPass) {
    Pass p;
    writeFile(p.path("memo.up"), kOld);
    p.run({p.path("memo.up"), p.path("memo.up"), p.path("*.up")});
    EXPECT_EQ(p.results.size(), 1u);
    EXPECT_EQ(readFile(p.path("memo.bak")), kOld);

    writeFile(p.path("memo.up"), kOld);
    p.settings.skipConverted = false;
    p.run({p.path("memo.up"), p.path("memo.up")});
    EXPECT_EQ(p.results.size(), 2u);
    EXPECT_EQ(readFile(p.path("memo.bak")), kOld)
        << "the second conversion would change nothing, so the backup keeps the original";
    EXPECT_EQ(p.engine.convertedList().size(), 1u) << "emptied at the start of each pass";
}

TEST(Convert, EmptySourceListStillBuildsPools) {
    Pass p;
    p.engine.setPools({"stale"}, p.engine.headerPool());
    p.run({});
    EXPECT_EQ(p.engine.footerPool(), Pool{"F"});
    EXPECT_EQ(p.engine.headerPool(), Pool{"H:\\H"});
    EXPECT_TRUE(p.results.empty());
}

TEST(Convert, ConvertOneKeepsTheRecordAndThePools) {
    Pass p;
    writeFile(p.path("memo.up"), ")\r\n");
    p.run({});
    p.settings.skipConverted = false;
    p.engine.ConvertOne(p.path("memo.up"), p.settings);
    writeFile(p.path("memo.up"), ")\r\n");
    p.engine.ConvertOne(p.path("memo.up"), p.settings);
    EXPECT_EQ(p.engine.convertedList().size(), 2u);
    EXPECT_EQ(readFile(p.path("memo.up")), "F\r\n");
    p.engine.ConvertOne(p.path("missing.up"), p.settings);
    EXPECT_TRUE(p.messages.empty()) << "a vanished file is passed over";
}

// Each ConvertOne is a pass of its own: the file an earlier one put in place, edited since, is
// an ordinary backup for the next one, however often the file changes.
TEST(Convert, ConvertOneBacksUpEachEditOfAnEarlierConversion) {
    Pass p;
    p.run({});
    p.settings.skipConverted = false;
    for (int edit = 1; edit <= 4; ++edit) {
        const std::string text = ")edit " + std::to_string(edit) + "\r\n";
        writeFile(p.path("memo.up"), text); // in place: the file of the last conversion
        EXPECT_TRUE(p.engine.ConvertOne(p.path("memo.up"), p.settings)) << edit;
        EXPECT_EQ(readFile(p.path("memo.up")), "Fedit " + std::to_string(edit) + "\r\n");
        EXPECT_EQ(readFile(p.path("memo.bak")), text) << edit;
    }
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(p.engine.convertedList().size(), 4u);

    // Skip converted on: the file a ConvertOne put in place is not converted again, by any name.
    p.settings.skipConverted = true;
    const std::string converted = readFile(p.path("memo.up"));
    EXPECT_FALSE(p.engine.ConvertOne(p.path("./memo.up"), p.settings));
    EXPECT_EQ(readFile(p.path("memo.up")), converted);
}

// Named as it is, such a file is refused and told; found by a pattern, it is an earlier backup,
// passed over.
TEST(Convert, BackupThatWouldBeTheFileItselfIsRefused) {
    Pass p;
    writeFile(p.path("memo.up"), kOld);
    writeFile(p.path("memo.bak"), kOld);
    writeFile(p.path("noext"), kOld);
    p.settings.backupExt = ".up";
    p.run({p.path("memo.up")});
    p.settings.backupExt = ".bak";
    p.run({p.path("*.bak")});
    p.run({p.path("memo.bak")});
    p.settings.backupExt = "";
    p.run({p.path("noext")});
    EXPECT_EQ(readFile(p.path("memo.up")), kOld);
    EXPECT_EQ(readFile(p.path("memo.bak")), kOld);
    EXPECT_EQ(readFile(p.path("noext")), kOld);
    EXPECT_TRUE(p.results.empty());
    const std::string itself = std::string(kMsgBackupIsFile) + ": ";
    EXPECT_EQ(p.messages,
              (std::vector<std::string>{itself + p.path("memo.up"), itself + p.path("memo.bak"),
                                        itself + p.path("noext")}));
    EXPECT_TRUE(p.engine.convertedList().empty());
    EXPECT_FALSE(p.tempLeft());
}

TEST(Convert, PermissionsAreKept) {
    Pass p;
    for (const mode_t mode : {mode_t(0600), mode_t(0644), mode_t(0640), mode_t(0755)}) {
        const std::string file = p.path("m" + std::to_string(mode) + ".up");
        writeFile(file, kOld);
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
    }
    p.run({p.path("*.up")});
    for (const mode_t mode : {mode_t(0600), mode_t(0644), mode_t(0640), mode_t(0755)}) {
        struct stat st {};
        ASSERT_EQ(::stat(p.path("m" + std::to_string(mode) + ".up").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        ASSERT_EQ(::stat(p.path("m" + std::to_string(mode) + ".bak").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode) << "the backup is the previous file itself";
    }
}

TEST(Convert, SymbolicLinkStaysALink) {
    Pass p;
    ASSERT_EQ(::mkdir(p.path("real").c_str(), 0700), 0);
    writeFile(p.path("real/target.txt"), kOld);
    ASSERT_EQ(::symlink("real/target.txt", p.path("link.up").c_str()), 0);
    p.run({p.path("link.up")});
    struct stat st {};
    ASSERT_EQ(::lstat(p.path("link.up").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readFile(p.path("real/target.txt")), kNew);
    EXPECT_EQ(readFile(p.path("link.bak")), kOld);
    EXPECT_EQ(p.results.size(), 1u);
    EXPECT_EQ(listDir(p.path("real")), "target.txt");
}

TEST(Convert, LinkToItsOwnBackupNameIsRefused) {
    Pass p;
    writeFile(p.path("memo.bak"), kOld);
    ASSERT_EQ(::symlink("memo.bak", p.path("memo.up").c_str()), 0);
    p.run({p.path("memo.up")});
    EXPECT_EQ(readFile(p.path("memo.bak")), kOld);
    EXPECT_TRUE(p.results.empty());
}

TEST(Convert, OddInputNeverCrashes) {
    Pass p;
    std::string binary;
    for (int i = 0; i < 70000; ++i)
        binary += static_cast<char>((i * 7919) & 0xFF);
    writeFile(p.path("binary.up"), binary);
    writeFile(p.path("empty.up"), "");
    writeFile(p.path("huge.up"), ")" + std::string(6 * 1024 * 1024, 'x') + "\r\n");
    ASSERT_EQ(::mkfifo(p.path("fifo.up").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(p.path("dir.up").c_str(), 0700), 0);
    p.run({p.path("*.up")});
    p.engine.ConvertOne(p.path("fifo.up"), p.settings); // named directly: skipped, no hang
    p.engine.ConvertOne(p.path("dir.up"), p.settings);
    EXPECT_EQ(readFile(p.path("empty.up")), "");
    EXPECT_FALSE(exists(p.path("empty.bak"))) << "nothing to change";
    EXPECT_EQ(readFile(p.path("huge.up")), "F" + std::string(6 * 1024 * 1024, 'x') + "\r\n");
    EXPECT_EQ(readFile(p.path("binary.bak")), binary);
    EXPECT_FALSE(exists(p.path("fifo.bak")));
    EXPECT_TRUE(p.messages.empty());
}

// Failing system calls, for the upload's temporary file only: marked, in the test's folder (the
// merge files live in the system's temporary folder).

int g_failErrno = ENOSPC;
std::string g_failDir;

bool isUploadTemp(int fd) {
    return test::isMarkedTemporary(fd) && test::fdPathContains(fd, g_failDir);
}

ssize_t failTempWrite(int fd, const void* data, size_t size) {
    if (isUploadTemp(fd)) {
        errno = g_failErrno;
        return -1;
    }
    return sys::realCalls().write(fd, data, size);
}

int failTempFsync(int fd) {
    if (isUploadTemp(fd)) {
        errno = EIO;
        return -1;
    }
    return sys::realCalls().fsync(fd);
}

int failTempClose(int fd) {
    const bool temp = isUploadTemp(fd);
    const int r = sys::realCalls().close(fd);
    if (temp) {
        errno = EDQUOT;
        return -1;
    }
    return r;
}

int failTempFchmod(int, mode_t) {
    errno = EPERM;
    return -1;
}

int failRename(const char*, const char*) {
    errno = EIO;
    return -1;
}

int failTempOpen(const char* path, int flags, mode_t mode) {
    if (std::strstr(path, ".morvex-") || ((flags & O_TMPFILE) == O_TMPFILE && path == g_failDir)) {
        errno = EACCES;
        return -1;
    }
    return sys::realCalls().open(path, flags, mode);
}

ssize_t failUploadRead(int fd, void* data, size_t size) {
    if (test::fdPathContains(fd, "first.up")) {
        errno = EIO;
        return -1;
    }
    return sys::realCalls().read(fd, data, size);
}

struct FailureCase {
    const char* name;
    void (*install)();
    const char* message;
};

TEST(Convert, FailuresLeaveTheFileAndTheBackupAsTheyWere) {
    const FailureCase cases[] = {
        {"write ENOSPC", [] { sys::calls().write = failTempWrite; }, kMsgOutputWrite},
        {"fsync EIO", [] { sys::calls().fsync = failTempFsync; }, kMsgOutputWrite},
        {"close EDQUOT", [] { sys::calls().close = failTempClose; }, kMsgOutputWrite},
        {"permissions", [] { sys::calls().fchmod = failTempFchmod; }, kMsgOutputWrite},
        {"create", [] { sys::calls().open = failTempOpen; }, kMsgOutputCreate},
        {"read", [] { sys::calls().read = failUploadRead; }, kMsgInputRead},
    };
    for (const FailureCase& c : cases) {
        Pass p;
        g_failDir = p.dir.path() + "/";
        writeFile(p.path("first.up"), kOld);
        writeFile(p.path("first.bak"), "older");
        writeFile(p.path("second.txt"), ")\r\n");
        {
            test::SysGuard guard;
            c.install();
            p.run({p.path("first.up")});
        }
        p.run({p.path("second.txt")}); // the next pass works again
        EXPECT_EQ(readFile(p.path("first.up")), kOld) << c.name;
        EXPECT_EQ(readFile(p.path("first.bak")), "older") << c.name;
        EXPECT_EQ(p.messages,
                  std::vector<std::string>{std::string(c.message) + ": " + p.path("first.up")})
            << c.name << ": a line on standard error names its file";
        ASSERT_EQ(p.results.size(), 1u) << c.name;
        EXPECT_EQ(p.results[0].path, p.path("second.txt")) << c.name;
        EXPECT_FALSE(p.tempLeft()) << c.name;
    }
}

TEST(Convert, AMessageBoxSaysTheDesignedTextOfAFileThatCannotBeCreated) {
    Pass p;
    g_failDir = p.dir.path() + "/";
    writeFile(p.path("first.up"), kOld);
    p.engine.setDesignedTexts(true);
    test::SysGuard guard;
    sys::calls().open = failTempOpen;
    p.run({p.path("first.up")});
    EXPECT_EQ(p.messages, std::vector<std::string>{kMsgOutputCreate});
}

TEST(Convert, FailedFileDoesNotStopThePass) {
    Pass p;
    writeFile(p.path("a.up"), ")\r\n");
    writeFile(p.path("first.up"), kOld);
    writeFile(p.path("z.up"), ")\r\n");
    test::SysGuard guard;
    sys::calls().read = failUploadRead;
    p.run({p.path("*.up")});
    EXPECT_EQ(p.results.size(), 2u);
    EXPECT_EQ(p.engine.convertedList(), (std::vector<std::string>{p.path("a.up"), p.path("z.up")}));
    EXPECT_EQ(readFile(p.path("first.up")), kOld);
}

TEST(Convert, FailedRenameKeepsTheFile) {
    Pass p;
    writeFile(p.path("memo.up"), kOld);
    {
        test::SysGuard guard;
        sys::calls().rename = failRename;
        sys::calls().exchange = failRename;
        p.run({p.path("memo.up")});
    }
    EXPECT_EQ(readFile(p.path("memo.up")), kOld);
    EXPECT_FALSE(exists(p.path("memo.bak"))) << "the new backup takes its name in one step";
    EXPECT_EQ(p.messages,
              std::vector<std::string>{std::string(kMsgBackupCreate) + ": " + p.path("memo.up")});
    EXPECT_TRUE(p.results.empty());
    EXPECT_FALSE(p.tempLeft());

    // A backup that is another name of the file itself (left by a killed swap) does not block
    // the file.
    for (const bool one : {true, false}) {
        p.messages.clear();
        writeFile(p.path("memo.up"), kOld);
        ::unlink(p.path("memo.bak").c_str());
        ASSERT_EQ(::link(p.path("memo.up").c_str(), p.path("memo.bak").c_str()), 0);
        if (one)
            EXPECT_TRUE(p.engine.ConvertOne(p.path("memo.up"), p.settings));
        else
            p.run({p.path("memo.up")});
        EXPECT_EQ(readFile(p.path("memo.up")), kNew) << one;
        EXPECT_EQ(readFile(p.path("memo.bak")), kOld) << one;
        EXPECT_TRUE(p.messages.empty()) << one;
    }
}

int g_linkErrno = EPERM;

int refuseLink(const char*, const char*) {
    errno = g_linkErrno;
    return -1;
}

TEST(Convert, WithoutHardLinksTheBackupIsACopy) {
    for (const int error : {EPERM, EXDEV, ENOTSUP}) {
        Pass p;
        writeFile(p.path("memo.up"), kOld);
        ASSERT_EQ(::chmod(p.path("memo.up").c_str(), 0604), 0);
        test::SysGuard guard;
        g_linkErrno = error;
        sys::calls().link = refuseLink;
        p.run({p.path("memo.up")});
        EXPECT_EQ(readFile(p.path("memo.up")), kNew);
        EXPECT_EQ(readFile(p.path("memo.bak")), kOld);
        struct stat st {};
        ASSERT_EQ(::stat(p.path("memo.bak").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0604u);
        EXPECT_EQ(st.st_nlink, 1u);
        EXPECT_FALSE(p.tempLeft());
    }
}

TEST(Convert, NoBackupMeansNoRewrite) {
    Pass p;
    writeFile(p.path("memo.up"), kOld);
    {
        test::SysGuard guard;
        g_linkErrno = EACCES;
        sys::calls().link = refuseLink;
        p.run({p.path("memo.up")});
    }
    ASSERT_EQ(::mkdir(p.path("dir.bak").c_str(), 0700), 0); // an older "backup" that is a folder
    writeFile(p.path("dir.up"), kOld);
    p.run({p.path("dir.up")});
    EXPECT_EQ(readFile(p.path("memo.up")), kOld);
    EXPECT_FALSE(exists(p.path("memo.bak")));
    EXPECT_EQ(readFile(p.path("dir.up")), kOld);
    EXPECT_TRUE(p.results.empty());
    EXPECT_EQ(p.messages,
              (std::vector<std::string>{std::string(kMsgBackupCreate) + ": " + p.path("memo.up"),
                                        std::string(kMsgBackupCreate) + ": " + p.path("dir.up")}))
        << "a file that cannot be backed up is left as it is, and the user is told";
    EXPECT_FALSE(p.tempLeft());
}

// An editor saving the file while it is being converted: in place, or by renaming a new file
// over it.
std::string g_editPath;
bool g_editByRename = false;

ssize_t editDuringRead(int fd, void* data, size_t size) {
    if (!g_editPath.empty() && test::fdPathContains(fd, "memo.up")) {
        if (g_editByRename) {
            writeFile(g_editPath + ".new", "edited\r\n");
            ::rename((g_editPath + ".new").c_str(), g_editPath.c_str());
        } else {
            const int out = ::open(g_editPath.c_str(), O_WRONLY | O_APPEND);
            (void)!::write(out, "edited\r\n", 8);
            ::close(out);
        }
        g_editPath.clear();
    }
    return sys::realCalls().read(fd, data, size);
}

TEST(Convert, FileChangedMeanwhileIsNotReplaced) {
    for (const bool byRename : {false, true}) {
        Pass p;
        writeFile(p.path("memo.up"), kOld);
        test::SysGuard guard;
        g_editPath = p.path("memo.up");
        g_editByRename = byRename;
        sys::calls().read = editDuringRead;
        p.run({p.path("memo.up")});
        const std::string expected = byRename ? "edited\r\n" : kOld + "edited\r\n";
        EXPECT_EQ(readFile(p.path("memo.up")), expected) << "the user's text wins";
        EXPECT_EQ(p.messages, std::vector<std::string>{std::string(kMsgChangedMeanwhile) + ": " +
                                                       p.path("memo.up")});
        EXPECT_TRUE(p.results.empty());
        EXPECT_TRUE(p.engine.convertedList().empty());
        EXPECT_FALSE(p.tempLeft());
    }
}

TEST(Convert, LeftoverTemporaryFilesAreRemoved) {
    Pass p;
    writeFile(p.path("memo.up"), kOld);
    writeFile(p.path(".memo.up.morvex-Ab12Cd.tmp"), "half written");
    writeFile(p.path(".other.up.morvex-Zz99Yy.tmp"), "half written too");
    test::markAsTemporary(p.path(".memo.up.morvex-Ab12Cd.tmp"));
    test::markAsTemporary(p.path(".other.up.morvex-Zz99Yy.tmp"));
    writeFile(p.path(".memo.up.morvex-short.tmp"), "not ours");
    writeFile(p.path(".mine.up.morvex-Ab12Cd.tmp"), "not ours either: no mark");
    // The previous file of a swap killed before it was unlinked: also the backup.
    writeFile(p.path("old.bak"), "previous");
    ASSERT_EQ(::link(p.path("old.bak").c_str(), p.path(".old.up.morvex-Qq11Ww.tmp").c_str()), 0);
    // A live conversion in another process holds its lock: its file must stay.
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const std::string live = p.path(".live.up.morvex-Live00.tmp");
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open(live.c_str(), O_RDWR | O_CREAT, 0600);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        ::fcntl(fd, F_SETLK, &lock);
        (void)!::write(ready[1], "r", 1);
        char c;
        (void)!::read(release[0], &c, 1);
        ::_exit(0);
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    p.run({p.path("memo.up")});
    const std::string names = listDir(p.dir.path());
    (void)!::write(release[1], "x", 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        ::close(fd);
    EXPECT_EQ(names, ".live.up.morvex-Live00.tmp .memo.up.morvex-short.tmp "
                     ".mine.up.morvex-Ab12Cd.tmp f.mfl h.mhl memo.bak memo.up old.bak");
    EXPECT_EQ(readFile(p.path("old.bak")), "previous");
}

} // namespace
} // namespace morvex
