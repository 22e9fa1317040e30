#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace morvex {

/// Hands one list file to the text editor, without waiting for it and without keeping it. The
/// setting "notepad" (any case, with or without ".exe") opens the file in the desktop's
/// default application; a setting naming an executable file starts it as it is; any other
/// setting is split like a command line ("emacsclient -n"), and `path` follows as one argument.
/// A failure to start is not reported, and an empty setting starts nothing.
void LaunchEditor(const QString& editor, const QString& path);

/// Test seam: while set, programs are handed to this instead of being started (an empty
/// function restores the real start). The desktop's handler is reached as before.
using EditorStarter = std::function<void(const QString& program, const QStringList& arguments)>;
void setEditorStarter(EditorStarter starter);

} // namespace morvex
