#include "WatchProbe.h"

#include "support/StoreFiles.h"
#include "support/Wait.h"

#include <QDeadlineTimer>
#include <QStringList>

namespace morvex::test {

using namespace Qt::StringLiterals;

namespace {

const QByteArray kProbe = ")\r\n";
const QByteArray kProbeName = "/probe-";

} // namespace

bool waitForFirstLook(const QString& folder, int everyMs, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QStringList probes;
    const auto oneConverted = [&probes] {
        for (const QString& probe : probes) {
            if (readBytes(probe) != kProbe)
                return true;
        }
        return false;
    };
    while (!deadline.hasExpired()) {
        probes << folder + u"/probe-%1.up"_s.arg(probes.size() + 1);
        if (!writeBytes(probes.last(), kProbe))
            return false;
        if (waitUntil(oneConverted, everyMs))
            return true;
    }
    return false;
}

QByteArray withoutProbes(const QByteArray& out) {
    QByteArray kept;
    for (qsizetype start = 0; start < out.size();) {
        const qsizetype newline = out.indexOf('\n', start);
        const qsizetype end = newline < 0 ? out.size() : newline + 1;
        const QByteArray line = out.mid(start, end - start);
        if (!line.contains(kProbeName))
            kept += line;
        start = end;
    }
    return kept;
}

qsizetype probeResults(const QByteArray& out) {
    return out.count(kProbeName);
}

} // namespace morvex::test
