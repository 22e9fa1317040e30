// Whether a running watch (/o, /w) has taken its first look, which records every file it finds and
// converts none: a file saved after that look is converted, so probe files are saved until one is.
#pragma once

#include <QByteArray>
#include <QString>

namespace morvex::test {

/// Saves probe files ("probe-1.up", "probe-2.up"...: a lone footer marker each) into `folder`,
/// a new one every `everyMs`, until the watch converts one; false when none is converted within
/// `timeoutMs`. Each probe is a new file: one saved before the first look is left alone for good.
/// Probes saved just before the conversion may still be converted after it.
bool waitForFirstLook(const QString& folder, int everyMs, int timeoutMs = 30000);

/// The program's output without the result lines of the probes.
QByteArray withoutProbes(const QByteArray& out);

/// How many result lines of the probes the output holds.
qsizetype probeResults(const QByteArray& out);

} // namespace morvex::test
