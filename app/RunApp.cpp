#include "RunApp.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

// Programs that were let go while still running; each start and wait reaps those that ended.
std::vector<pid_t>& abandoned() {
    static std::vector<pid_t> pids;
    return pids;
}

void reapAbandoned() {
    auto& pids = abandoned();
    std::erase_if(pids, [](pid_t pid) {
        const pid_t done = ::waitpid(pid, nullptr, WNOHANG);
        return done == pid || (done < 0 && errno == ECHILD);
    });
}

int openPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

// Without a process descriptor (kernels before 5.3) the wait polls waitpid in short steps.
bool waitWithoutPidfd(pid_t pid, int timeoutMs, int& status) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
    for (;;) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return true;
        if (steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(milliseconds(5));
    }
}

} // namespace

namespace {

// The placeholders of one word replaced: "%" and the character after it become argument number
// n, n being that character's code minus '0'.
QString expandWord(const QString& word, const QString& programPath, const QStringList& arguments) {
    QString result;
    result.reserve(word.size());
    for (qsizetype i = 0; i < word.size(); ++i) {
        const QChar c = word[i];
        if (c != u'%') {
            result += c;
            continue;
        }
        if (++i >= word.size())
            break; // a final "%" has no number: dropped
        const int n = word[i].unicode() - u'0';
        // A character outside the basic plane is one placeholder character, not two.
        if (word[i].isHighSurrogate() && i + 1 < word.size() && word[i + 1].isLowSurrogate())
            ++i;
        if (n == 0)
            result += programPath;
        else if (n >= 1 && n <= arguments.size())
            result += arguments[n - 1];
    }
    return result;
}

// `word` as a command line writes it so that splitting gives it back whole: as it is when it
// holds no blank and no quote, otherwise quoted, each quote in it tripled; an empty word as "".
QString commandWord(const QString& word) {
    if (!word.isEmpty() &&
        std::none_of(word.begin(), word.end(), [](QChar c) { return c.isSpace() || c == u'"'; }))
        return word;
    QString quoted = word;
    quoted.replace(u'"', u"\"\"\""_s);
    return u'"' + quoted + u'"';
}

} // namespace

QString ExpandExeCmd(const QString& exeCmd, const QString& programPath,
                     const QStringList& arguments) {
    if (!exeCmd.contains(u'%'))
        return exeCmd;
    // Split first, so that what an argument holds (blanks, quotes) cannot make or merge words.
    QStringList words;
    for (const QString& word : QProcess::splitCommand(exeCmd)) {
        const QString expanded = expandWord(word, programPath, arguments);
        // A placeholder that stands for nothing leaves no word; an empty word written as "" stays.
        if (!expanded.isEmpty() || !word.contains(u'%'))
            words << commandWord(expanded);
    }
    return words.join(u' ');
}

QString programFilePath() {
    const QString exe = QFileInfo(u"/proc/self/exe"_s).canonicalFilePath();
    return exe.isEmpty() ? QCoreApplication::applicationFilePath() : exe;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1))
    , m_pidfd(std::exchange(other.m_pidfd, -1))
    , m_status(other.m_status)
    , m_reaped(other.m_reaped) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        release();
        m_pid = std::exchange(other.m_pid, -1);
        m_pidfd = std::exchange(other.m_pidfd, -1);
        m_status = other.m_status;
        m_reaped = other.m_reaped;
    }
    return *this;
}

ChildProcess::~ChildProcess() {
    release();
}

void ChildProcess::release() {
    if (m_pidfd >= 0)
        ::close(m_pidfd);
    if (m_pid > 0 && !m_reaped)
        abandoned().push_back(m_pid);
    m_pidfd = -1;
    m_pid = -1;
    m_reaped = false;
}

ChildProcess::State ChildProcess::waitFor(int timeoutMs) {
    reapAbandoned();
    if (m_pid <= 0 || m_reaped)
        return State::Failed;
    if (m_pidfd < 0) {
        if (!waitWithoutPidfd(m_pid, timeoutMs, m_status))
            return State::Running;
    } else {
        pollfd entry{m_pidfd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, timeoutMs);
        if (ready == 0 || (ready < 0 && errno == EINTR))
            return State::Running;
        if (ready < 0)
            return State::Failed;
        const pid_t done = ::waitpid(m_pid, &m_status, WNOHANG);
        if (done == 0)
            return State::Running;
        if (done < 0) {
            m_reaped = true; // nobody can reap it any more
            return State::Failed;
        }
    }
    m_reaped = true;
    return State::Ended;
}

ChildProcess startProgram(const QString& command, QString* reason) {
    reapAbandoned();
    ChildProcess child;
    const QStringList words = QProcess::splitCommand(command);
    if (words.isEmpty()) {
        if (reason)
            reason->clear();
        return child;
    }
    std::vector<QByteArray> encoded;
    encoded.reserve(static_cast<std::size_t>(words.size()));
    for (const QString& word : words)
        encoded.push_back(QFile::encodeName(word));
    std::vector<char*> argv;
    for (QByteArray& word : encoded)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    // A session of its own: the program outlives Morvex and its terminal's hang-up. It starts
    // with no signal blocked or ignored, whatever Morvex itself does with them.
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Only the standard streams: no lock, socket or bus connection of Morvex's reaches it.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    pid_t pid = -1;
    const int error =
        ::posix_spawnp(&pid, argv.front(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        if (reason)
            *reason = QString::fromLocal8Bit(std::strerror(error));
        return child;
    }
    child.m_pid = pid;
    child.m_pidfd = openPidfd(pid); // close-on-exec by its nature
    return child;
}

} // namespace morvex
