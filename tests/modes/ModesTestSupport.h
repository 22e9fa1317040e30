#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>
#include <QThread>
#include <chrono>

namespace morvex::test {

/// One line of the child recorder's log (tests/modes/ChildRecorder.cpp).
struct ChildRun {
    qint64 startMs = 0;
    qint64 endMs = 0;
    bool sessionLeader = false;
    QStringList descriptors;
    QString directory;
    QString probe;
    QStringList arguments;
};

inline QList<ChildRun> childRuns(const QString& log) {
    QList<ChildRun> runs;
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return runs;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const QStringList fields = QString::fromUtf8(line).split(u'\t');
        if (fields.size() < 6)
            continue;
        ChildRun run;
        run.startMs = fields[0].toLongLong();
        run.endMs = fields[1].toLongLong();
        run.sessionLeader = fields[2] == u"1";
        run.descriptors = fields[3].split(u',', Qt::SkipEmptyParts);
        run.directory = fields[4];
        run.probe = fields[5];
        run.arguments = fields.mid(6);
        runs << run;
    }
    return runs;
}

/// Waits (bounded) until the log holds `count` runs.
inline QList<ChildRun> waitForChildRuns(const QString& log, int count, int timeoutMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    QList<ChildRun> runs = childRuns(log);
    while (runs.size() < count && std::chrono::steady_clock::now() < deadline) {
        QThread::msleep(20);
        runs = childRuns(log);
    }
    return runs;
}

inline qint64 epochMs(const QString& path) {
    return QFileInfo(path).lastModified().toMSecsSinceEpoch();
}

} // namespace morvex::test
