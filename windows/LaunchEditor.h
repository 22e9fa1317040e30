#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace morvex {

/// Hands one list file to the text editor, without waiting for it and without keeping it. The
/// setting "notepad" (any case, with or without ".exe") opens the file in the desktop's
/// default application; a setting naming an executable file starts it as it is; any other
/// setting is split like a command line ("emacsclient -n"), and `path` follows as one argument.
/// An empty setting starts nothing. A program that cannot be started, or a desktop that has no
/// application for the file, is reported in a box over `owner` naming the file and what the
/// user can do; the desktop's answer may come after this returns. Returns false when the start
/// failed at once (the box is then shown already).
bool LaunchEditor(const QString& editor, const QString& path, QWidget* owner = nullptr);

/// Test seam: while set, programs are handed to this instead of being started (an empty
/// function restores the real start); it answers whether the start succeeded. The desktop's
/// handler is reached as before.
using EditorStarter = std::function<bool(const QString& program, const QStringList& arguments)>;
void setEditorStarter(EditorStarter starter);

} // namespace morvex
