#include "ConvertOnce.h"

#include "ConsoleReports.h"
#include "PassSettings.h"

#include <csignal>
#include <cstdio>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

constexpr int kStoreFailedStatus = 1;

} // namespace

int convertOnceWithoutDesktop() {
    // "morvex /c | head": a reader that goes away must not end the pass half way.
    std::signal(SIGPIPE, SIG_IGN);
    MainWindowSettings fields;
    // "/c" saves nothing: the older vendor's keys are read where they are, not moved.
    if (!loadMainFieldsWithoutDesktop(fields, LoadWrites::Discarded))
        return kStoreFailedStatus;
    // Read once for the pass: a large settings file read again at every result would cost more
    // than the conversion.
    const SettingFState dialog = storedSettingF(writeStoreError, LoadWrites::Discarded);
    ConvEngine engine(writeEngineError, [&dialog](const FileResult& result) {
        if (dialog.ShowResult)
            writeLine(stdout, resultLine(QByteArray::fromStdString(result.path), result.footers,
                                         result.headers));
    });
    engine.ConvertAll(withDialogSettings(passSettings(fields, true), dialog));
    return 0;
}

} // namespace morvex
