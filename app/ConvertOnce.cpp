#include "ConvertOnce.h"

#include "ConsoleReports.h"
#include "PassSettings.h"

#include <csignal>
#include <cstdio>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

constexpr int kStoreFailedStatus = 1;

// The main window's messages: store failures in its standard error box, captioned "Morvex".
void storeError(const QString& text) {
    writeLine(stderr, messageLine(u"Morvex"_s, text));
}

// "/c" saves nothing: the older vendor's keys are read where they are, not moved or pruned.
bool loadMainWindowFields(MainWindowSettings& fields) {
    ReadOldKeysInPlace();
    StoreResult result = PruneOldVendorKey();
    if (result)
        result = LoadMainSettings(fields, programDirectory());
    if (!result)
        storeError(result.message());
    return result.ok();
}

} // namespace

int convertOnceWithoutDesktop() {
    // "morvex /c | head": a reader that goes away must not end the pass half way.
    std::signal(SIGPIPE, SIG_IGN);
    MainWindowSettings fields;
    if (!loadMainWindowFields(fields))
        return kStoreFailedStatus;
    // Read once for the pass: a large settings file read again at every result would cost more
    // than the conversion.
    const SettingFState dialog = storedSettingF(storeError);
    ConvEngine engine(
        [](const std::string& text, const std::string& caption) {
            writeLine(stderr, messageLine(QString::fromUtf8(caption), QString::fromUtf8(text)));
        },
        [&dialog](const FileResult& result) {
            if (dialog.ShowResult)
                writeLine(stdout, resultLine(QByteArray::fromStdString(result.path), result.footers,
                                             result.headers));
        });
    engine.ConvertAll(withAlignment(passSettings(fields, true), dialog));
    return 0;
}

} // namespace morvex
