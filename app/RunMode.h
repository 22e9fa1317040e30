#pragma once

#include <QStringList>

namespace morvex {

/// How the program runs, chosen once from the first command-line argument.
enum class RunMode {
    Interactive, ///< no argument: the main window is shown
    AutoRun,     ///< "/a": before program, one conversion, after program
    ConvertOnce, ///< "/c": one conversion, then the process ends
    Observe,     ///< "/o": watch the source files until told to stop
    WatchApp,    ///< "/w": watch the source files while a configured program runs
    Idle,        ///< any other first argument: nothing starts
};

/// The mode for the given arguments (program name excluded). Only the first argument counts,
/// compared whole and case-sensitively with "/x", "-x", "/X" and "-X" of each mode letter.
RunMode runModeFor(const QStringList& arguments);

/// argv without the program name, exactly as given.
QStringList argumentsAsGiven(int argc, char** argv);

/// `arguments` less the options that Qt takes for itself when the windows start ("-style
/// Fusion", "-platform xcb", "-display :1", ...), in the same way: what is left is what
/// QApplication leaves, from which the mode is read. For the start, which decides before Qt is
/// loaded.
QStringList withoutToolkitOptions(const QStringList& arguments);

} // namespace morvex
