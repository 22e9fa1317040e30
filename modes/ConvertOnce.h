#pragma once

#include <QStringList>

namespace morvex {

/// "/c" where no display answers: the same creation steps and pass as the main window's,
/// without Qt's window system or even an event loop, so that a run from cron or CI costs little
/// more than the conversion. Results go to standard output and messages to standard error, one
/// line each. Returns the exit status (or never returns: the mode ends the process itself).
int convertOnceWithoutDesktop(const QStringList& arguments);

} // namespace morvex
