#include "tests/support/Programs.h"

#include "tests/support/Wait.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace morvex::test {

using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

QProcessEnvironment withoutDesktop() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
        env.remove(name);
    return env;
}

bool endedWithin(QProcess& process, int timeoutMs) {
    if (process.waitForFinished(timeoutMs))
        return true;
    process.kill();
    process.waitForFinished();
    return false;
}

QSet<qint64> childProcesses(bool endedOnly) {
    QSet<qint64> children;
    const QString self = u"/proc/%1/task"_s.arg(QCoreApplication::applicationPid());
    for (const QString& task : QDir(self).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const QByteArray& pid : readAll(self + u'/' + task + u"/children"_s).split(' ')) {
            if (pid.trimmed().isEmpty())
                continue;
            const QByteArray stat = readAll(u"/proc/%1/stat"_s.arg(QString::fromLatin1(pid)));
            if (!endedOnly || stat.contains(") Z "))
                children << pid.toLongLong();
        }
    }
    return children;
}

QList<ChildRun> childRuns(const QString& log) {
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

QList<ChildRun> waitForChildRuns(const QString& log, int count) {
    QList<ChildRun> runs;
    waitUntil([&] {
        runs = childRuns(log);
        return runs.size() >= count;
    });
    return runs;
}

qint64 epochMs(const QString& path) {
    return QFileInfo(path).lastModified().toMSecsSinceEpoch();
}

} // namespace morvex::test
