#pragma once

namespace morvex {

/// "/c" where no display answers: the same creation steps and pass as the main window's,
/// without Qt's window system, so that a run from cron or CI costs little more than the
/// conversion. Results go to standard output and messages to standard error, one line each.
/// Returns the exit status: 0, or 1 when the settings store failed at the start.
int convertOnceWithoutDesktop();

} // namespace morvex
