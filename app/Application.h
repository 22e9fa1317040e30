#pragma once

#include "modes/RunMode.h"

#include <QString>
#include <QStringList>

namespace morvex {

/// The application object: one per process, made before the main window.
struct MorvexApplication {
    QString Title = QStringLiteral("Morvex");
    /// The manual's file name; opening help replaces it by its full path.
    QString HelpFile = QStringLiteral("Morvex.html");
    /// Whether the main window is shown when the message loop starts.
    bool ShowMainWindow = false;
    /// The task-bar button: on Linux the shown main window is its own button, so this only
    /// records the state the notification-area icons may change.
    bool TaskBarButtonVisible = false;
    /// The command-line arguments as the user gave them, program name excluded.
    QStringList Arguments;
};

} // namespace morvex
