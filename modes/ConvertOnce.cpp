#include "modes/ConvertOnce.h"

#include "modes/ConsoleReports.h"
#include "modes/DesktopLessHost.h"

#include <csignal>

namespace morvex {

int convertOnceWithoutDesktop(const QStringList& arguments) {
    // "morvex /c | head": a reader that goes away must not end the pass half way.
    std::signal(SIGPIPE, SIG_IGN);
    MainWindowSettings fields;
    // "/c" saves nothing: the older vendor's keys are read where they are, not moved.
    if (!loadMainFieldsWithoutDesktop(fields, LoadWrites::Discarded))
        return exitCode(ExitStatus::StoreFailed);
    DesktopLessHost host(std::move(fields), arguments, LoadWrites::Discarded);
    host.start(RunMode::ConvertOnce);
    return exitCode(ExitStatus::Done);
}

} // namespace morvex
