// Programs the tests start: the environment of one without a desktop, and the log of the child
// recorder (ChildRecorder.cpp), the stand-in for the programs Morvex starts.
#pragma once

#include <QList>
#include <QProcess>
#include <QSet>
#include <QString>
#include <QStringList>

namespace morvex::test {

/// The environment of a program started where no desktop is: no display of any kind.
QProcessEnvironment withoutDesktop();

/// Whether the program ends within `timeoutMs`; one that does not is killed.
bool endedWithin(QProcess& process, int timeoutMs);

/// The processes this one has started and not reaped yet, running or, with `endedOnly`, ended.
QSet<qint64> childProcesses(bool endedOnly = false);

/// One line of the child recorder's log: one run of it.
struct ChildRun {
    qint64 startMs = 0;
    qint64 endMs = 0;
    bool sessionLeader = false;
    QStringList descriptors;
    QString directory;
    QString probe;
    QStringList arguments;
};

/// The runs the log holds so far.
QList<ChildRun> childRuns(const QString& log);

/// The runs once the log holds `count` of them, or what it holds when the wait ends.
QList<ChildRun> waitForChildRuns(const QString& log, int count);

/// A file's modification time in ms since the epoch, to compare with a run's.
qint64 epochMs(const QString& path);

} // namespace morvex::test
