#pragma once

#include "modes/RunMode.h"

namespace morvex {

/// "/a", "/o" and "/w" where no display answers: the modes on QtCore alone, without windows
/// and icons (see DesktopLessHost). SIGTERM, SIGINT and SIGHUP save the System and File groups
/// and end, as the close requests do, and so does D-Bus SaveAndQuit. Returns the exit status (or
/// never returns: the modes end the process themselves).
int runUnattendedWithoutDesktop(RunMode mode, int argc, char** argv);

} // namespace morvex
