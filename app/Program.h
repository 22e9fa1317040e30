#pragma once

namespace morvex {

/// The program with its windows: the application object, the main window, the message loop.
/// `headless`: no display answered, so Qt runs on its offscreen platform and every message box
/// and result dialog becomes a line on standard error or output. Returns the exit status.
int runMorvex(int argc, char** argv, bool headless);

} // namespace morvex

/// The same, as the window module exports it to the program's launcher.
extern "C" int morvexRunWindows(int argc, char** argv, bool headless);
