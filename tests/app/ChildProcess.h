#pragma once

#include "tests/support/Wait.h"

#include <QByteArrayList>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <csignal>
#include <memory>

namespace morvex::test {

/// A helper program of the desktop tests: its output read line by line, every wait bounded,
/// and killed when the test lets go of it.
class ChildProcess {
public:
    ChildProcess(
        const QString& program, const QStringList& arguments,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
        m_process.setProgram(program);
        m_process.setArguments(arguments);
        m_process.setProcessEnvironment(environment);
        m_process.start();
        m_process.waitForStarted(kWaitMs);
    }
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    qint64 pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() == QProcess::Running; }
    /// Every line written to stdout so far.
    const QByteArrayList& lines() {
        readLines();
        return m_lines;
    }
    /// Waits until a line starting with `prefix` is among lines() at index `from` or later;
    /// its index, or -1 when none came in time.
    int waitForLine(const QByteArray& prefix, int from = 0, int timeoutMs = kWaitMs) {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            readLines();
            for (int i = from; i < m_lines.size(); ++i) {
                if (m_lines.at(i).startsWith(prefix))
                    return i;
            }
            if (deadline.hasExpired() || m_process.state() != QProcess::Running)
                return -1;
            m_process.waitForReadyRead(
                static_cast<int>(qMin<qint64>(deadline.remainingTime(), 100)));
        }
    }
    /// The exit status, or -1 when it did not end in time (it is killed then).
    int waitForExit(int timeoutMs = kWaitMs) {
        if (!m_process.waitForFinished(timeoutMs)) {
            stop();
            return -1;
        }
        readLines();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    QByteArray errors() { return m_process.readAllStandardError(); }
    void kill(int signalNumber) { ::kill(static_cast<pid_t>(pid()), signalNumber); }
    void stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(kWaitMs);
    }

private:
    void readLines() {
        m_pending += m_process.readAllStandardOutput();
        qsizetype end = 0;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            m_lines << m_pending.left(end);
            m_pending.remove(0, end + 1);
        }
    }

    QProcess m_process;
    QByteArray m_pending;
    QByteArrayList m_lines;
};

} // namespace morvex::test
