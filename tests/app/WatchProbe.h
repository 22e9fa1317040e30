// Whether a running watch (/o, /w) has taken its first look, which records every file it finds and
// converts none: a file saved after that look is converted, so probe files are saved until one is.
#pragma once

#include "tests/support/StoreFiles.h"
#include "tests/support/Wait.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

namespace morvex::test {

inline const QByteArray kProbeText = ")\r\n";
inline const QByteArray kProbeName = "/probe-";

/// Saves probe files ("probe-1.up", "probe-2.up"...: a lone footer marker each) into `folder`,
/// a new one every `everyMs`, until the watch converts one; false when none is converted within
/// `timeoutMs`. Each probe is a new file: one saved before the first look is left alone for good.
/// Probes saved just before the conversion may still be converted after it.
inline bool waitForFirstLook(const QString& folder, int everyMs, int timeoutMs = 30000) {
    const QDeadlineTimer deadline(timeoutMs);
    QStringList probes;
    const auto oneConverted = [&probes] {
        for (const QString& probe : probes) {
            if (readBytes(probe) != kProbeText)
                return true;
        }
        return false;
    };
    while (!deadline.hasExpired()) {
        probes << folder + QStringLiteral("/probe-%1.up").arg(probes.size() + 1);
        if (!writeBytes(probes.last(), kProbeText))
            return false;
        if (waitUntil(oneConverted, everyMs))
            return true;
    }
    return false;
}

/// The program's output without the result lines of the probes.
inline QByteArray withoutProbes(const QByteArray& out) {
    QByteArray kept;
    for (qsizetype start = 0; start < out.size();) {
        const qsizetype newline = out.indexOf('\n', start);
        const qsizetype end = newline < 0 ? out.size() : newline + 1;
        if (const QByteArray line = out.mid(start, end - start); !line.contains(kProbeName))
            kept += line;
        start = end;
    }
    return kept;
}

/// How many result lines of the probes the output holds.
inline qsizetype probeResults(const QByteArray& out) {
    return out.count(kProbeName);
}

} // namespace morvex::test
