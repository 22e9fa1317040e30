#include "Program.h"

#include "Application.h"
#include "ConsoleReports.h"
#include "Dialogs.h"
#include "DisplayProbe.h"
#include "GuiStartup.h"
#include "Main_U.h"
#include "QuitSignals.h"
#include "Set_U.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QRadioButton>
#include <QTranslator>
#include <cstdio>
#include <exception>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

constexpr int kNoDesktopStatus = 2;
constexpr int kStoreFailedStatus = 1;

// Taken from argv itself: QApplication removes its own options (such as "-platform") later,
// while the mode is decided by the first argument exactly as it was given.
QStringList argumentsAsGiven(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// Without a desktop the result dialog cannot be answered; what it would show goes to stdout,
// under the same setting that decides whether it is shown.
void reportOnStdout(QWidget* owner, const FileResult& result) {
    const TSettingF setting(owner);
    if (setting.ShowResult->isChecked())
        writeLine(stdout, resultLine(QByteArray::fromStdString(result.path), result.footers,
                                     result.headers));
}

// Without a desktop, standard error carries the reports alone: Qt's own notes about the
// offscreen platform would read like failures to whoever runs us from cron or CI.
void keepOnlySeriousQtMessages() {
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                writeLine(stderr, qFormatLogMessage(type, context, text).toLocal8Bit());
        });
}

// The toolkit's own dialogs (the file chooser above all) speak the language of the program.
void translateStandardDialogs(QApplication& application) {
    auto* translator = new QTranslator(&application);
    if (translator->load(u"qtbase_ja"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
}

int runWindows(MorvexApplication& application, bool headless) {
    QuitSignals quitSignals;
    TMorvexF window(application);
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &window, &TMorvexF::SaveAndQuit);
    if (headless) {
        window.setResultReporter(
            [&window](const FileResult& result) { reportOnStdout(&window, result); });
    }
    window.FormCreate();
    // Nobody can send the close request that would end the idling a store failure leaves.
    if (headless && !window.settingsLoaded())
        return kStoreFailedStatus;
    // The list viewer is made here, after the main window, and stays hidden until opened.
    if (application.ShowMainWindow)
        window.show();
    QApplication::exec();
    return 0;
}

} // namespace

int runMorvex(int argc, char** argv) {
    MorvexApplication application;
    application.Arguments = argumentsAsGiven(argc, argv);
    const bool headless =
        !platformChosenByUser(argc, argv) && !displayReachable(DisplayEnvironment::fromProcess());
    if (headless && application.Arguments.isEmpty()) {
        std::fputs("morvex: no display is reachable; the main window needs a desktop session.\n"
                   "Run \"morvex /c\" to convert the stored source list without one.\n",
                   stderr);
        return kNoDesktopStatus;
    }
    if (headless) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        keepOnlySeriousQtMessages();
    }

    QApplication qtApplication(argc, argv);
    // Read once, by the line above; the programs Morvex starts must not inherit it.
    if (headless)
        qunsetenv("QT_QPA_PLATFORM");
    QApplication::setQuitOnLastWindowClosed(false);
    translateStandardDialogs(qtApplication);
    if (headless)
        routeMessageBoxesToStderr();
    QString reason;
    if (!prepareGui(&reason)) {
        showStandardError(nullptr, reason);
        return 1;
    }
    try {
        return runWindows(application, headless);
    } catch (const std::exception& error) {
        showStandardError(nullptr, QString::fromLocal8Bit(error.what()));
    }
    return 0;
}

} // namespace morvex
