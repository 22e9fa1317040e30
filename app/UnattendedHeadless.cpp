#include "UnattendedHeadless.h"

#include "ConsoleReports.h"
#include "PassSettings.h"
#include "ProcessEnd.h"
#include "QuitSignals.h"
#include "Unattended.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

constexpr int kStoreFailedStatus = 1;

void report(const FileResult& result) {
    if (storedSettingF(writeStoreError).ShowResult)
        writeLine(stdout, resultLine(QByteArray::fromStdString(result.path), result.footers,
                                     result.headers));
}

// What the close requests do: save both groups of the main window, then end.
void saveAndQuit(const MainWindowSettings& fields) {
    endProcess(saveMainFieldsWithoutDesktop(fields));
}

} // namespace

int runUnattendedWithoutDesktop(RunMode mode, int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = argumentsAsGiven(argc, argv);
    MainWindowSettings fields;
    if (!loadMainFieldsWithoutDesktop(fields, LoadWrites::Saved))
        return kStoreFailedStatus;
    ConvEngine engine(writeEngineError, report);
    bool skipConverted = true;
    QTimer appRunTimer;
    QTimer observeTimer;
    appRunTimer.setInterval(1234);
    observeTimer.setInterval(2000);

    ModeHost host;
    host.arguments = arguments;
    host.programPath = programFilePath();
    host.settingF = [] {
        return storedSettingF(writeStoreError);
    };
    host.passValues = [&] {
        return passSettings(fields, skipConverted);
    };
    const auto convSettings = [&] {
        return withDialogSettings(passSettings(fields, skipConverted),
                                  storedSettingF(writeStoreError));
    };
    host.convSettings = convSettings;
    host.convertAll = [&] {
        engine.ConvertAll(convSettings());
    };
    host.engineErrors = writeEngineError;
    host.skipConvertedOff = [&] {
        skipConverted = false;
    };
    host.setAppRunIconVisible = [](bool) {
    };
    host.setObserveIconVisible = [](bool) {
    };
    host.startFailed = [](const QString& command, const QString& reason) {
        writeLine(stderr, u"morvex: cannot start \"%1\": %2"_s.arg(command, reason).toUtf8());
    };

    UnattendedModes modes(std::move(host), engine, appRunTimer, observeTimer);
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &application,
                     [&fields] { saveAndQuit(fields); });
    QObject::connect(&appRunTimer, &QTimer::timeout, &application,
                     [&modes] { modes.AppRunTimerTimer(); });
    QObject::connect(&observeTimer, &QTimer::timeout, &application,
                     [&modes] { modes.ObserveTimerTimer(); });
    switch (mode) {
    case RunMode::AutoRun:
        modes.StartAutoRun();
        break;
    case RunMode::Observe:
        modes.StartObserve();
        break;
    case RunMode::WatchApp:
        modes.StartWatchApp();
        break;
    default:
        return 0;
    }
    return QCoreApplication::exec();
}

} // namespace morvex
