#pragma once

#include <QString>
#include <QStringList>
#include <sys/types.h>

namespace morvex {

/// `exeCmd` with each placeholder replaced. The command is split into words first, as
/// startProgram splits it; in each word "%" and the character after it become Morvex's own
/// argument number n, n being that character's code minus '0': 0 is `programPath`, 1 to the
/// number of `arguments` that argument (1 is the mode switch), anything else nothing. Both
/// characters are consumed, so "%%" gives nothing; a "%" that ends a word is dropped. The words
/// are joined again, quoted where needed, so that splitting the result gives each expanded word
/// whole: whatever an argument holds stays in its word. A word that comes out empty is left out,
/// as splitting leaves out an empty one. A command without "%" is returned as it is.
/// Commands and expansions of any length.
QString ExpandExeCmd(const QString& exeCmd, const QString& programPath,
                     const QStringList& arguments);

/// The full path of the running program file.
QString programFilePath();

/// A program started by startProgram, watched through a process descriptor. Destroying it
/// neither stops nor waits for the program; a program left running is reaped later by the next
/// start or wait, so no zombie stays behind while Morvex runs.
class ChildProcess {
public:
    enum class State {
        Running, ///< the wait timed out
        Ended,   ///< the program has ended and has been reaped
        Failed,  ///< nothing to wait for (never started, already reaped) or the wait failed
    };

    ChildProcess() = default;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    /// The wait status once Ended.
    int waitStatus() const { return m_status; }

    /// Waits at most `timeoutMs` for the program's end and reaps it. A signal arriving
    /// meanwhile cuts the wait short as a time-out: the next call tries again.
    State waitFor(int timeoutMs);

private:
    friend ChildProcess startProgram(const QString& command, QString* reason);
    void release();

    pid_t m_pid = -1;
    int m_pidfd = -1;
    int m_status = 0;
    bool m_reaped = false;
};

/// Starts `command` without a shell: split into words as QProcess::splitCommand does (quotes
/// group, nothing is expanded), the first word searched on PATH, in a session of its own. The
/// program inherits the environment, the current directory and the standard streams, no other
/// descriptor, and default signal handling. On failure the result is not started and `reason`
/// (when given) says why; an empty command is such a failure with an empty reason.
ChildProcess startProgram(const QString& command, QString* reason = nullptr);

} // namespace morvex
