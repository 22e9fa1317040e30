#pragma once

namespace morvex {

/// The whole program: the application object, the main window, the message loop.
/// Returns the process's exit status.
int runMorvex(int argc, char** argv);

} // namespace morvex
