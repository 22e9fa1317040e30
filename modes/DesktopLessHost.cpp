#include "modes/DesktopLessHost.h"

#include "modes/ConsoleReports.h"
#include "modes/PassSettings.h"
#include "modes/ProcessEnd.h"
#include "modes/Unattended.h"

namespace morvex {
using namespace Qt::StringLiterals;

DesktopLessHost::DesktopLessHost(MainWindowSettings fields, QStringList arguments,
                                 LoadWrites writes, std::FILE* results)
    : m_fields(std::move(fields))
    , m_arguments(std::move(arguments))
    , m_writes(writes)
    , m_results(results)
    , m_engine(writeEngineError,
               [this](const FileResult& result) { writeResult(result, m_passDialog, m_results); }) {
    // The designed intervals; the modes set their own where they differ.
    m_appRunTimer.setInterval(kAppRunTimerInterval);
    m_observeTimer.setInterval(kObserveTimerInterval);
}

DesktopLessHost::~DesktopLessHost() = default;

void DesktopLessHost::saveAndQuit() {
    endProcess(saveMainFieldsWithoutDesktop(m_fields));
}

SettingFState DesktopLessHost::settingF() {
    return storedSettingF(writeStoreError, m_writes);
}

ConvSettings DesktopLessHost::passValues() {
    return passSettings(m_fields, m_skipConverted);
}

ConvSettings DesktopLessHost::conversionValues() {
    // Every pass and every look that converts begins here: its result lines follow the same read.
    m_passDialog = settingF();
    return withStoredRules(withDialogSettings(passValues(), m_passDialog), writeStoreError);
}

void DesktopLessHost::convertAll() {
    m_engine.ConvertAll(conversionValues());
}

void DesktopLessHost::engineError(const std::string& text, const std::string& caption) {
    writeEngineError(text, caption);
}

void DesktopLessHost::startFailed(const QString& command, const QString& reason) {
    writeLine(stderr, u"morvex: cannot start \"%1\": %2"_s.arg(command, reason).toUtf8());
}

} // namespace morvex
