// Every system call of an operation failing in turn, and a kill after every call of a pass.
// Each operation runs once to count its calls; then once per call with that call failing (once,
// from then on, interrupted once, written one byte short), and the files are checked after every
// run: old text with its backup as it was, or the whole new text with the old text in the backup;
// no temporary file left once the next run has swept; a message naming every file left undone.
#include "engine/Engine.h"
#include "engine/Messages.h"
#include "engine/StateFile.h"
#include "engine/TakeBack.h"
#include "tests/engine/TestUtil.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace morvex {
namespace {

using test::exists;
using test::readFile;
using test::writeFile;

enum Kind {
    Open,
    Read,
    Pread,
    Write,
    Fsync,
    Close,
    Fstat,
    Stat,
    Lstat,
    Fstatat,
    Rename,
    Link,
    Unlink,
    Mkdir,
    Fchmod,
    Fchown,
    Flock,
    LockOpen,
    Dup,
    SetBlocking,
    GetX,
    SetX,
    RemoveX,
    Exchange,
    LinkFd,
    Opendir,
    Fdopendir,
    Realpath,
    Lseek,
    KindCount
};

// The error a real system gives for each call where it fails.
constexpr int kError[KindCount] = {EACCES, EIO,    EIO,    ENOSPC, EIO,     EIO,    EIO,     EACCES,
                                   EACCES, EACCES, EBUSY,  EXDEV,  EBUSY,   ENOSPC, EPERM,   EPERM,
                                   ENOLCK, ENOLCK, EMFILE, EIO,    ENOTSUP, ENOSPC, ENOTSUP, EXDEV,
                                   ENOSPC, EACCES, EMFILE, EACCES, EIO};

enum class Mode { Once, FromThenOn, InterruptedOnce, ShortOnce };

int g_calls = 0;
int g_failAt = 0; // 0: no failure
int g_killAt = 0;
Mode g_mode = Mode::Once;
std::vector<Kind> g_kinds;

const sys::Calls& real() {
    return sys::realCalls();
}

// True when this call is to fail; errno is set.
bool g_injecting = false; // off: the calls pass through, uncounted

bool failNow(Kind kind) {
    if (!g_injecting)
        return false;
    ++g_calls;
    if (g_failAt == 0) {
        g_kinds.push_back(kind);
        return false;
    }
    const bool hit = g_mode == Mode::FromThenOn ? g_calls >= g_failAt : g_calls == g_failAt;
    if (!hit || g_mode == Mode::ShortOnce)
        return false;
    errno = g_mode == Mode::InterruptedOnce ? EINTR : kError[kind];
    return true;
}

template <typename R> R after(R result) {
    if (g_injecting && g_killAt != 0 && g_calls >= g_killAt)
        ::raise(SIGKILL);
    return result;
}

#define WRAP(entry, kind, params, args)                                                            \
    c.entry = [] params {                                                                          \
        if (failNow(kind))                                                                         \
            return decltype(real().entry args)(-1);                                                \
        return after(real().entry args);                                                           \
    }

void install() {
    sys::Calls& c = sys::calls();
    WRAP(open, Open, (const char* p, int f, mode_t m), (p, f, m));
    WRAP(read, Read, (int fd, void* d, size_t n), (fd, d, n));
    WRAP(pread, Pread, (int fd, void* d, size_t n, off_t o), (fd, d, n, o));
    c.write = [](int fd, const void* d, size_t n) -> ssize_t {
        if (failNow(Write))
            return -1;
        if (g_mode == Mode::ShortOnce && g_calls == g_failAt && n > 1)
            return after(real().write(fd, d, n - 1));
        return after(real().write(fd, d, n));
    };
    // Durability is not what these runs check; a real sync would make them slow.
    c.fsync = [](int) {
        if (failNow(Fsync))
            return -1;
        return after(0);
    };
    // A close that fails has still closed the descriptor (Linux).
    c.close = [](int fd) {
        const int error = errno;
        if (failNow(Close)) {
            const int failed = errno;
            real().close(fd);
            errno = failed;
            return -1;
        }
        errno = error;
        return after(real().close(fd));
    };
    WRAP(fstat, Fstat, (int fd, struct stat* st), (fd, st));
    WRAP(stat, Stat, (const char* p, struct stat* st), (p, st));
    WRAP(lstat, Lstat, (const char* p, struct stat* st), (p, st));
    WRAP(fstatat, Fstatat, (int d, const char* p, struct stat* st, int f), (d, p, st, f));
    WRAP(rename, Rename, (const char* a, const char* b), (a, b));
    WRAP(link, Link, (const char* a, const char* b), (a, b));
    WRAP(unlink, Unlink, (const char* p), (p));
    WRAP(mkdir, Mkdir, (const char* p, mode_t m), (p, m));
    WRAP(fchmod, Fchmod, (int fd, mode_t m), (fd, m));
    WRAP(fchown, Fchown, (int fd, uid_t u, gid_t g), (fd, u, g));
    WRAP(flock, Flock, (int fd, int op), (fd, op));
    WRAP(lockOpenFile, LockOpen, (int fd), (fd));
    WRAP(dup, Dup, (int fd), (fd));
    WRAP(setBlocking, SetBlocking, (int fd), (fd));
    WRAP(getxattr, GetX, (int fd, const char* n, void* v, size_t s), (fd, n, v, s));
    WRAP(setxattr, SetX, (int fd, const char* n, const void* v, size_t s, int f), (fd, n, v, s, f));
    WRAP(removexattr, RemoveX, (int fd, const char* n), (fd, n));
    WRAP(exchange, Exchange, (const char* a, const char* b), (a, b));
    WRAP(linkFd, LinkFd, (int fd, const char* p), (fd, p));
    c.opendir = [](const char* p) -> DIR* {
        if (failNow(Opendir))
            return nullptr;
        return after(real().opendir(p));
    };
    c.fdopendir = [](int fd) -> DIR* {
        if (failNow(Fdopendir))
            return nullptr;
        return after(real().fdopendir(fd));
    };
    c.realpath = [](const char* p, char* r) -> char* {
        if (failNow(Realpath))
            return nullptr;
        return after(real().realpath(p, r));
    };
    WRAP(lseek, Lseek, (int fd, off_t o, int w), (fd, o, w));
}

#undef WRAP

bool interruptible(Kind kind) {
    return kind == Read || kind == Pread || kind == Write || kind == Flock;
}

// Upload files with a footer and a header marker, and what a conversion makes of them: the pools
// hold one entry each, so a file's new text never depends on the draws before it.
struct Upload {
    std::string name, old, converted;
};

const std::vector<Upload>& uploads(bool utf8) {
    static const std::vector<Upload> sjis = {
        {"a.up", "\x82\xa0 a\r\n)\r\n]re\r\nend\r\n", "\x82\xa0 a\r\nFOOT\r\nHEAD re\r\nend\r\n"},
        {"b.up", ")\r\n", "FOOT\r\n"},
        {"c.up", "]x\r\n\x83\x41\r\n", "HEAD x\r\n\x83\x41\r\n"}};
    static const std::vector<Upload> utf = {
        {"a.up", "\xe3\x81\x82 a\n)\n]re\n", "\xe3\x81\x82 a\nFOOT\nHEAD re\n"},
        {"b.up", ")\r\n", "FOOT\r\n"},
        {"c.up", "]x\n\xe3\x82\xa2\n", "HEAD x\n\xe3\x82\xa2\n"}};
    return utf8 ? utf : sjis;
}

// One scratch folder per run, with the pass's merge files in it too.
struct Scene {
    Scene() { ::setenv("TMPDIR", pass.dir.path().c_str(), 1); }
    ~Scene() { ::unsetenv("TMPDIR"); }
    test::Pass pass{"FOOT\r\n", "HEAD \\H\r\n"};
    std::vector<Upload> files;
    bool backups = false;
    std::string path(const std::string& name) const { return pass.path(name); }
    std::string backup(const Upload& u) const {
        return path(u.name.substr(0, u.name.size() - 3) + ".bak");
    }
    bool named(const std::string& file) const {
        for (const std::string& m : pass.messages)
            if (m.find(file) != std::string::npos)
                return true;
        return false;
    }
};

struct Operation {
    const char* name;
    std::function<void(Scene&)> prepare; // with the real calls
    std::function<void(Scene&)> run;     // with the injected ones
    // The files as the run left them; false with `why` on a broken invariant. `clean`: no call
    // failed, so everything must be done.
    std::function<bool(Scene&, bool clean, std::string& why)> check;
    // What runs next and must sweep what a failed run left; `run` when empty.
    std::function<void(Scene&)> next = {};
};

void writeUploads(Scene& s, bool utf8, bool backups) {
    s.files = uploads(utf8);
    s.backups = backups;
    if (utf8) {
        s.pass.settings.encoding = TextEncoding::Utf8;
        s.pass.settings.noRepeat = true;
        s.pass.engine.setStateDirectory(s.pass.state());
    }
    for (const Upload& u : s.files) {
        writeFile(s.path(u.name), u.old);
        if (backups)
            writeFile(s.backup(u), "older " + u.name);
    }
}

std::vector<std::string> sourcesOf(const Scene& s) {
    std::vector<std::string> sources;
    for (const Upload& u : s.files)
        sources.push_back(s.path(u.name));
    return sources;
}

// Each file: old text and its backup as it was (and a message naming it), or new text with the
// old text in the backup.
bool checkPass(Scene& s, bool clean, std::string& why) {
    for (const Upload& u : s.files) {
        const std::string now = readFile(s.path(u.name));
        const bool hasBackup = exists(s.backup(u));
        const std::string backup = hasBackup ? readFile(s.backup(u)) : "";
        if (now == u.converted) {
            if (backup != u.old)
                return why = u.name + " converted without its old text in the backup", false;
            continue;
        }
        if (now != u.old)
            return why = u.name + " holds neither its old nor its new text", false;
        if (clean)
            return why = u.name + " not converted although no call failed", false;
        // When every call fails from some point on, nothing can be undone: as after a kill, the
        // backup may also be a second name of the file.
        const bool untouched = (s.backups ? backup == "older " + u.name : !hasBackup) ||
                               (g_mode == Mode::FromThenOn && backup == u.old);
        if (!untouched)
            return why = u.name + "'s backup changed although the file was not converted", false;
        if (!s.named(u.name))
            return why = u.name + " left as it was without a message naming it", false;
    }
    // The rounds' state: old or new, never torn.
    const std::string state = exists(s.pass.state()) ? test::listDir(s.pass.state()) : "";
    for (std::size_t at = 0; at < state.size();) {
        const std::size_t end = std::min(state.find(' ', at), state.size());
        const std::string file = state.substr(at, end - at);
        at = end + 1;
        if (file.ends_with(".round")) {
            const std::string text = readFile(s.pass.state() + "/" + file);
            if (!text.starts_with("morvex-round 1\n") ||
                std::count(text.begin(), text.end(), '\n') != 4)
                return why = "a torn round file: " + text, false;
        }
    }
    return true;
}

const Operation kOperations[] = {
    {"pass, Shift-JIS, no backups", [](Scene& s) { writeUploads(s, false, false); },
     [](Scene& s) { s.pass.run(sourcesOf(s)); }, checkPass},
    {"pass, Shift-JIS, older backups", [](Scene& s) { writeUploads(s, false, true); },
     [](Scene& s) { s.pass.run(sourcesOf(s)); }, checkPass},
    {"pass, UTF-8, no-repeat, older backups", [](Scene& s) { writeUploads(s, true, true); },
     [](Scene& s) { s.pass.run(sourcesOf(s)); }, checkPass},
    {"watch look",
     [](Scene& s) {
         writeUploads(s, false, true);
         s.pass.buildPools();
     },
     [](Scene& s) {
         s.pass.engine.beginLook();
         for (const std::string& path : sourcesOf(s))
             s.pass.engine.ConvertOne(path, s.pass.settings);
     },
     checkPass,
     [](Scene& s) {
         s.pass.run(sourcesOf(s));
     }},
    {"undo",
     [](Scene& s) {
         writeUploads(s, false, false);
         s.pass.run({s.path("a.up")});
         s.files.resize(1);
     },
     [](Scene& s) {
         undoConversion(s.path("a.up"), ".bak", [&](const std::string& text, const std::string&) {
             s.pass.messages.push_back(text);
         });
     },
     [](Scene& s, bool clean, std::string& why) {
         const Upload& u = s.files[0];
         const std::string now = readFile(s.path("a.up")), backup = readFile(s.backup(u));
         if (now == u.old && backup == u.converted)
             return true;
         if (now != u.converted || backup != u.old)
             return why = "the file and its backup are neither exchanged nor as they were", false;
         if (clean || !s.named("a.up"))
             return why = "not taken back, and no message names the file", false;
         return true;
     }},
    {"redraw",
     [](Scene& s) {
         writeUploads(s, false, false);
         s.pass.run({s.path("a.up")});
         s.files.resize(1);
         writeFile(s.path("a.up"), "edited\r\n");
     },
     [](Scene& s) {
         s.pass.settings.sources = {s.path("a.up")};
         s.pass.engine.redrawAll(s.pass.settings);
     },
     [](Scene& s, bool clean, std::string& why) {
         const Upload& u = s.files[0];
         const std::string now = readFile(s.path("a.up"));
         if (readFile(s.backup(u)) != u.old)
             return why = "the backup changed", false;
         if (now == u.converted)
             return true;
         if (now != "edited\r\n")
             return why = "the file holds neither its text nor the redrawn one", false;
         if (clean || !s.named("a.up"))
             return why = "not redrawn, and no message names the file", false;
         return true;
     }},
    {"settings save", [](Scene& s) { writeFile(s.path("settings.reg"), "old settings\n"); },
     [](Scene& s) {
         if (const int error = replaceStateFile(s.path("settings.reg"), "new settings\n", 0600))
             s.pass.messages.push_back(s.path("settings.reg") + ": " + std::strerror(error));
     },
     [](Scene& s, bool clean, std::string& why) {
         const std::string now = readFile(s.path("settings.reg"));
         if (now == "new settings\n")
             return true;
         if (now != "old settings\n")
             return why = "the settings file is torn: " + now, false;
         if (clean || !s.named("settings.reg"))
             return why = "the save failed without an error", false;
         return true;
     }},
};

// Hidden names left in the folder: temporary files.
bool temporaryLeft(const Scene& s) {
    return test::listDir(s.pass.dir.path()).find(" .") != std::string::npos ||
           test::listDir(s.pass.dir.path()).starts_with(".");
}

std::string modeName(Mode mode) {
    switch (mode) {
    case Mode::Once:
        return "fails once";
    case Mode::FromThenOn:
        return "fails from then on";
    case Mode::InterruptedOnce:
        return "interrupted once";
    case Mode::ShortOnce:
        return "written one byte short";
    }
    return "";
}

// Runs `op` with the calls counted and failing as the globals say.
void inject(const Operation& op, Scene& s) {
    g_calls = 0;
    g_injecting = true;
    op.run(s);
    g_injecting = false;
}

TEST(Inject, EveryCallOfEveryOperationFailingInTurn) {
    test::SysGuard guard;
    install();
    int total = 0;
    for (const Operation& op : kOperations) {
        g_kinds.clear();
        {
            Scene s;
            op.prepare(s);
            g_failAt = 0;
            inject(op, s);
            std::string why;
            ASSERT_TRUE(op.check(s, true, why)) << op.name << ": " << why;
        }
        const std::vector<Kind> kinds = g_kinds;
        int runs = 0;
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            for (const Mode mode :
                 {Mode::Once, Mode::FromThenOn, Mode::InterruptedOnce, Mode::ShortOnce}) {
                if ((mode == Mode::InterruptedOnce && !interruptible(kinds[i])) ||
                    (mode == Mode::ShortOnce && kinds[i] != Write))
                    continue;
                Scene s;
                op.prepare(s);
                g_failAt = static_cast<int>(i) + 1;
                g_mode = mode;
                inject(op, s);
                ++runs;
                const bool retried = mode == Mode::InterruptedOnce || mode == Mode::ShortOnce;
                std::string why;
                EXPECT_TRUE(op.check(s, retried, why))
                    << op.name << ", call " << i + 1 << " (kind " << kinds[i] << ") "
                    << modeName(mode) << ": " << why;
                // The next run sweeps whatever this one left.
                s.pass.messages.clear();
                (op.next ? op.next : op.run)(s);
                EXPECT_FALSE(temporaryLeft(s))
                    << op.name << ", call " << i + 1 << " " << modeName(mode) << ": "
                    << test::listDir(s.pass.dir.path());
            }
        }
        g_failAt = 0;
        std::printf("%s: %zu calls, %d injected runs\n", op.name, kinds.size(), runs);
        total += runs;
        EXPECT_GT(runs, 10) << op.name;
    }
    std::printf("injected runs in all: %d\n", total);
}

TEST(Inject, KilledAfterEveryCallOfAPass) {
    const Operation& op = kOperations[1];
    test::SysGuard guard;
    install();
    int points = 0;
    for (g_killAt = 1;; ++g_killAt) {
        Scene s;
        op.prepare(s);
        const pid_t child = ::fork();
        if (child == 0) {
            g_failAt = 0;
            inject(op, s);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        ASSERT_TRUE(killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
        // Killed: old text (its backup the older one, or a second name of the file), or the new
        // text with the old in the backup.
        for (const Upload& u : s.files) {
            const std::string now = readFile(s.path(u.name));
            const std::string backup = readFile(s.backup(u));
            if (now == u.converted)
                EXPECT_EQ(backup, u.old) << "killed after call " << g_killAt;
            else
                EXPECT_TRUE(now == u.old && (backup == "older " + u.name || backup == u.old))
                    << "killed after call " << g_killAt << ": " << u.name;
        }
        // The next pass cleans up and converts what is left.
        const std::string killedLeft = test::listDir(s.pass.dir.path());
        s.pass.messages.clear();
        op.run(s);
        for (const Upload& u : s.files) {
            EXPECT_EQ(readFile(s.path(u.name)), u.converted) << "after call " << g_killAt;
            EXPECT_EQ(readFile(s.backup(u)), u.old) << "after call " << g_killAt;
        }
        EXPECT_FALSE(temporaryLeft(s)) << "killed after call " << g_killAt << ": " << killedLeft
                                       << " -> " << test::listDir(s.pass.dir.path());
        EXPECT_TRUE(s.pass.messages.empty()) << "killed after call " << g_killAt;
        if (!killed)
            break;
        ++points;
    }
    g_killAt = 0;
    std::printf("kill points: %d\n", points);
    EXPECT_GT(points, 50);
}

} // namespace
} // namespace morvex
