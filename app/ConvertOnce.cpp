#include "ConvertOnce.h"

#include "ConsoleReports.h"
#include "PassSettings.h"

#include <cstdio>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

constexpr int kStoreFailedStatus = 1;

// The main window's messages: store failures in its standard error box, captioned "Morvex".
void storeError(const QString& text) {
    writeLine(stderr, messageLine(u"Morvex"_s, text));
}

bool loadMainWindowFields(MainWindowSettings& fields) {
    StoreResult result = PruneOldVendorKey();
    if (result)
        result = LoadMainSettings(fields, programDirectory());
    if (!result)
        storeError(result.message());
    return result.ok();
}

void report(const FileResult& result) {
    if (storedSettingF(storeError).ShowResult)
        writeLine(stdout, resultLine(QByteArray::fromStdString(result.path), result.footers,
                                     result.headers));
}

} // namespace

int convertOnceWithoutDesktop() {
    MainWindowSettings fields;
    if (!loadMainWindowFields(fields))
        return kStoreFailedStatus;
    ConvEngine engine(
        [](const std::string& text, const std::string& caption) {
            writeLine(stderr, messageLine(QString::fromUtf8(caption), QString::fromUtf8(text)));
        },
        report);
    const ConvSettings settings = passSettings(fields, true);
    engine.ConvertAll(withAlignment(settings, storedSettingF(storeError)));
    return 0;
}

} // namespace morvex
