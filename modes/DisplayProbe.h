#pragma once

#include <QByteArray>

namespace morvex {

/// The display a GUI session would use, as the environment names it.
struct DisplayEnvironment {
    QByteArray x11Display;     ///< $DISPLAY
    QByteArray waylandDisplay; ///< $WAYLAND_DISPLAY
    QByteArray runtimeDir;     ///< $XDG_RUNTIME_DIR

    static DisplayEnvironment fromProcess();
};

/// True when an X11 or Wayland display server answers a connection attempt. Checked before the
/// QApplication exists, because Qt aborts the process when its platform cannot connect.
bool displayReachable(const DisplayEnvironment& environment);

/// True when argv chooses the Qt platform itself ("-platform x") or QT_QPA_PLATFORM does;
/// then the user's choice is kept and no display check is made.
bool platformChosenByUser(int argc, char** argv);

} // namespace morvex
