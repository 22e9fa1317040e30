#include "modes/UnattendedHeadless.h"

#include "modes/ConsoleReports.h"
#include "modes/DBusRequests.h"
#include "modes/DesktopLessHost.h"
#include "modes/QuitSignals.h"

#include <QCoreApplication>

namespace morvex {

int runUnattendedWithoutDesktop(RunMode mode, int argc, char** argv) {
    QCoreApplication application(argc, argv);
    MainWindowSettings fields;
    if (!loadMainFieldsWithoutDesktop(fields, LoadWrites::Saved))
        return exitCode(ExitStatus::StoreFailed);
    DesktopLessHost host(std::move(fields), argumentsAsGiven(argc, argv), LoadWrites::Saved);
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &application,
                     [&host] { host.saveAndQuit(); });
    // Where a session bus answers, the run answers on it as on a desktop: SaveAndQuit ends it
    // as the quit signals do; there is no menu to pop up.
    const DBusRequests requests({[&host] { host.saveAndQuit(); }, {}});
    host.start(mode);
    // Only the unattended modes wait for their timers; any other has done all it does.
    if (!host.modes())
        return exitCode(ExitStatus::Done);
    return QCoreApplication::exec();
}

} // namespace morvex
