// The engine where a user's text is most at risk: another writer at the last moment, another pass
// holding the file, backups that cannot be made, values that would break a pass, memory.
#include "engine/Engine.h"
#include "engine/PassValues.h"
#include "tests/engine/TestUtil.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace morvex {
namespace {

using test::listDir;
using test::Pass;
using test::readFile;
using test::TempDir;
using test::writeFile;

const std::string kOld = ")\r\nbody\r\n";
const std::string kNew = "F\r\nbody\r\n";

// An editor's atomic save just before the new file is put in place, at whichever call does it.
std::string g_savePath;

void editorSaves() {
    if (g_savePath.empty())
        return;
    writeFile(g_savePath + ".new", "edited\r\n");
    ::rename((g_savePath + ".new").c_str(), g_savePath.c_str());
    g_savePath.clear();
}

int saveThenExchange(const char* a, const char* b) {
    editorSaves();
    return sys::realCalls().exchange(a, b);
}

int saveThenRename(const char* a, const char* b) {
    editorSaves();
    return sys::realCalls().rename(a, b);
}

TEST(Safety, AnEditorsSaveAtTheLastMomentIsKept) {
    Pass p;
    writeFile(p.path("memo.up"), kOld);
    test::SysGuard guard;
    g_savePath = p.path("memo.up");
    sys::calls().exchange = saveThenExchange;
    sys::calls().rename = saveThenRename;
    p.run({p.path("memo.up")});
    EXPECT_EQ(readFile(p.path("memo.up")), "edited\r\n") << "the user's newer text wins";
    EXPECT_EQ(readFile(p.path("memo.bak")), kOld);
    EXPECT_EQ(p.messages, std::vector<std::string>{std::string(kMsgChangedMeanwhile) + ": " +
                                                   p.path("memo.up")});
    EXPECT_TRUE(p.results.empty());
    EXPECT_FALSE(p.tempLeft());
}

int g_linkErrno = 0;

int failLink(const char*, const char*) {
    errno = g_linkErrno;
    return -1;
}

TEST(Safety, ABackupThatCannotBeMadeIsReported) {
    for (const int error : {ENOSPC, ENAMETOOLONG, EACCES, EIO}) {
        Pass p;
        writeFile(p.path("memo.up"), kOld);
        writeFile(p.path("next.up"), kOld);
        {
            test::SysGuard guard;
            g_linkErrno = error;
            sys::calls().link = failLink;
            p.run({p.path("memo.up")});
        }
        p.run({p.path("next.up")});
        EXPECT_EQ(readFile(p.path("memo.up")), kOld) << error;
        EXPECT_EQ(p.messages, std::vector<std::string>{std::string(kMsgBackupCreate) + ": " +
                                                       p.path("memo.up")})
            << error;
        ASSERT_EQ(p.results.size(), 1u) << error;
        EXPECT_EQ(p.results[0].path, p.path("next.up"));
        EXPECT_FALSE(p.tempLeft()) << error;
    }
}

ssize_t outOfMemoryOnFirst(int fd, void* data, size_t size) {
    if (test::fdPathContains(fd, "first.up"))
        throw std::bad_alloc();
    return sys::realCalls().read(fd, data, size);
}

TEST(Safety, AFileThatDoesNotFitInMemoryIsReportedAndThePassGoesOn) {
    Pass p;
    writeFile(p.path("first.up"), kOld);
    writeFile(p.path("second.up"), kOld);
    test::SysGuard guard;
    sys::calls().read = outOfMemoryOnFirst;
    p.run({p.path("*.up")});
    EXPECT_EQ(readFile(p.path("first.up")), kOld);
    EXPECT_EQ(readFile(p.path("second.up")), kNew);
    EXPECT_EQ(p.messages,
              std::vector<std::string>{std::string(kMsgOutOfMemory) + ": " + p.path("first.up")});
    EXPECT_FALSE(p.tempLeft());
}

// Another pass, in a child process, holds the file with `operation` until told to let go, or
// for `holdMs` milliseconds when that is not negative.
class OtherPass {
public:
    OtherPass(const std::string& path, int operation, int holdMs = -1) {
        if (::pipe(m_ready) != 0 || ::pipe(m_release) != 0)
            throw std::runtime_error("pipe");
        m_child = ::fork();
        if (m_child == 0) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            ::flock(fd, operation);
            (void)!::write(m_ready[1], "r", 1);
            char c;
            if (holdMs >= 0)
                ::usleep(static_cast<useconds_t>(holdMs) * 1000);
            else
                (void)!::read(m_release[0], &c, 1);
            ::_exit(0);
        }
        char c;
        (void)!::read(m_ready[0], &c, 1);
    }
    void release() {
        if (m_child <= 0)
            return;
        (void)!::write(m_release[1], "x", 1);
        ::waitpid(m_child, nullptr, 0);
        m_child = -1;
    }
    ~OtherPass() {
        release();
        for (int fd : {m_ready[0], m_ready[1], m_release[0], m_release[1]})
            ::close(fd);
    }

private:
    pid_t m_child = -1;
    int m_ready[2]{};
    int m_release[2]{};
};

TEST(Safety, AFileAnotherRunningPassConvertedIsLeftAlone) {
    Pass p;
    writeFile(p.path("memo.up"), kOld);
    writeFile(p.path("memo.bak"), "the original, made by the other pass");
    OtherPass other(p.path("memo.up"), LOCK_SH);
    p.run({p.path("memo.up")});
    EXPECT_EQ(readFile(p.path("memo.up")), kOld);
    EXPECT_EQ(readFile(p.path("memo.bak")), "the original, made by the other pass");
    EXPECT_TRUE(p.messages.empty()) << "that pass reports it";
    EXPECT_TRUE(p.results.empty());
    other.release();
    p.run({p.path("memo.up")});
    EXPECT_EQ(readFile(p.path("memo.up")), kNew) << "once that pass has ended, as ever";
}

TEST(Safety, AFileAnotherPassIsConvertingIsWaitedFor) {
    Pass p;
    writeFile(p.path("memo.up"), kOld);
    // The other conversion fails and lets go after a while; then this pass takes the file.
    OtherPass other(p.path("memo.up"), LOCK_EX, 100);
    p.run({p.path("memo.up")});
    EXPECT_EQ(readFile(p.path("memo.up")), kNew);
    EXPECT_EQ(readFile(p.path("memo.bak")), kOld);
}

TEST(Safety, ValuesThatWouldBreakAPassAreRefusedByName) {
    struct Case {
        const char* footer;
        const char* header;
        const char* ext;
        const char* named; // what the message must name; nullptr: accepted
    };
    const Case cases[] = {
        {"！", ")", ".bak", "\"！\""}, // two bytes in Shift-JIS
        {")", "】", ".bak", "\"】\""},
        {")", "]", ".d/../x", "\".d/../x\""}, // would name another file
        {")", "]", ".back", "\".back\""},
        {")", "]", ".ｂａｋ", "\".ｂａｋ\""}, // seven bytes in Shift-JIS
        {"ｱ", "", ".ｱｲｳ", nullptr},           // half-width katakana: one byte each
        {")", "]", "", nullptr},
    };
    for (const Case& c : cases) {
        Pass p;
        writeFile(p.path("memo.up"), kOld);
        p.settings.footerMarkerField = c.footer;
        p.settings.headerMarkerField = c.header;
        p.settings.footerMarker = static_cast<unsigned char>(c.footer[0]);
        p.settings.backupExt = c.ext;
        p.engine.FList = {"kept"};
        p.run({p.path("memo.up")});
        p.engine.ConvertOne(p.path("memo.up"), p.settings);
        if (!c.named) {
            EXPECT_TRUE(p.messages.empty()) << c.ext;
            continue;
        }
        ASSERT_EQ(p.messages.size(), 2u) << c.named;
        EXPECT_NE(p.messages[0].find(c.named), std::string::npos) << p.messages[0];
        EXPECT_EQ(p.messages[1], p.messages[0]);
        EXPECT_EQ(readFile(p.path("memo.up")), kOld) << c.named;
        EXPECT_EQ(p.engine.FList, Pool{"kept"}) << "a refused pass touches nothing";
        EXPECT_EQ(listDir(p.dir.path()), "f.mfl h.mhl memo.up");
    }
    EXPECT_EQ(shiftJisLength("a\xff"), 2u) << "a stray byte counts as one";
    EXPECT_EQ(shiftJisLength("表ｱ"), 3u);
}

// The expansion in pieces is the expansion; no piece but a long rest of line is large.
TEST(Safety, AStreamedExpansionIsTheWholeExpansion) {
    const std::string rest(300 * 1024, 'r');
    for (const std::string& entry :
         {std::string("Re: \\H \\I\\N\\S05\\R0099 表\\\\"), std::string(70000, 'e') + "\\H\\H",
          std::string("\\H") + "x"}) {
        DrawGenerator whole, pieces;
        whole.seed(9);
        pieces.seed(9);
        const std::string expected = ExpandEntry(entry, EntryKind::Header, rest, whole);
        std::string joined;
        std::size_t largest = 0;
        expandEntryTo(entry, EntryKind::Header, rest, pieces, [&](std::string_view piece) {
            joined.append(piece);
            if (piece.data() < rest.data() || piece.data() >= rest.data() + rest.size())
                largest = std::max(largest, piece.size());
        });
        EXPECT_EQ(joined, expected);
        EXPECT_EQ(pieces.state(), whole.state());
        EXPECT_LE(largest, 128u * 1024) << "only the rest itself goes out whole";
    }
}

} // namespace
} // namespace morvex
