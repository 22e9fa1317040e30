#include "app/Program.h"

#include "app/Application.h"
#include "app/ListViewerLink.h"
#include "app/Main_U.h"
#include "gui/AppIcon.h"
#include "gui/Dialogs.h"
#include "gui/GuiStartup.h"
#include "modes/ConsoleReports.h"
#include "modes/DBusRequests.h"
#include "modes/PassSettings.h"
#include "modes/QuitSignals.h"
#include "windows/List_U.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <exception>
#include <memory>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

// Without a desktop the result dialog cannot be answered; what it would show goes to stdout,
// under the same setting, read as the dialog reads it for each file, that decides whether it is.
void reportOnStdout(QWidget* owner, const FileResult& result) {
    const auto showError = [owner](const QString& text) {
        showStandardError(owner, text);
    };
    writeResult(result, storedSettingF(showError));
}

// Without a desktop every message box of the program becomes a line on standard error.
void routeMessageBoxesToStderr() {
    setMessageSink([](const QString& caption, const QString& text) {
        writeLine(stderr, messageLine(caption, text));
    });
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

// What is made once the first window is on the screen (after FormCreate, so "/c" has ended by
// then and never pays for it): the list viewer, made after the main window and hidden until its
// round buttons open it, and the requests on the session bus, whose name takes round trips.
struct Latecomers {
    std::unique_ptr<TListF> listViewer;
    std::unique_ptr<DBusRequests> requests;

    void make(TMorvexF& window) {
        listViewer = std::make_unique<TListF>();
        attachListViewer(window, *listViewer);
        requests = std::make_unique<DBusRequests>(
            DBusRequests::Handlers{[&window] { window.SaveAndQuit(); },
                                   [&window] {
                                       window.PopupObserveMenu();
                                   }});
    }
};

int runWindows(MorvexApplication& application, bool headless) {
    QuitSignals quitSignals;
    TMorvexF window(application);
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &window, &TMorvexF::SaveAndQuit);
    if (headless) {
        window.setResultReporter(
            [&window](const FileResult& result) { reportOnStdout(&window, result); });
    }
    window.FormCreate();
    // After a store failure nothing is shown: idling on would leave a process that nobody can
    // see or end (nor, without a desktop, send the close request).
    if (!window.settingsLoaded())
        return exitCode(ExitStatus::StoreFailed);
    if (application.ShowMainWindow)
        window.show();
    Latecomers later;
    QTimer::singleShot(0, &window, [&window, &later, shown = application.ShowMainWindow] {
        if (shown)
            QGuiApplication::sync();
        later.make(window);
    });
    QApplication::exec();
    return exitCode(ExitStatus::Done);
}

} // namespace

int runMorvex(int argc, char** argv, bool headless) {
    MorvexApplication application;
    if (headless) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        keepOnlySeriousQtMessages();
    }
    QApplication qtApplication(argc, argv);
    if (!headless) {
        installLazyIconStyle();
        joinBusWhileFontsLoad();
    }
    // What Qt leaves after taking its own options ("-style Fusion", "-display :1").
    application.Arguments = QCoreApplication::arguments().mid(1);
    // Read once, by the line above; the programs Morvex starts must not inherit it.
    if (headless)
        qunsetenv("QT_QPA_PLATFORM");
    QApplication::setQuitOnLastWindowClosed(false);
    // Decoding the icon's seven sizes (and X11 copying each into the window) is a tenth of the
    // start-up; the first window appears without waiting for it, and has it a moment later.
    QTimer::singleShot(0, &qtApplication, [] { QApplication::setWindowIcon(applicationIcon()); });
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    translateStandardDialogs(qtApplication);
    if (headless)
        routeMessageBoxesToStderr();
    QString reason;
    if (!prepareGui(&reason)) {
        showStandardError(nullptr, reason);
        return exitCode(ExitStatus::GuiFailed);
    }
    try {
        return runWindows(application, headless);
    } catch (const std::exception& error) {
        showStandardError(nullptr, QString::fromLocal8Bit(error.what()));
    }
    return exitCode(ExitStatus::Done);
}

} // namespace morvex
