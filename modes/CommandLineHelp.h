#pragma once

#include "modes/InstallLayout.h"

#include <QByteArray>
#include <QStringList>

namespace morvex {

/// What the first argument asks of the program before anything else starts.
enum class InfoRequest {
    None,    ///< anything else: the run modes decide
    Help,    ///< "--help"
    Version, ///< "--version"
};

/// Only the whole first argument counts, as for the mode switches: "--help" as a later argument
/// is left to the before and after commands, and "--HELP" or "-h" is an unknown argument.
InfoRequest infoRequestFor(const QStringList& arguments);

/// The text of "morvex --help".
QByteArray helpText();

/// The text of "morvex --version": the version, the copyright and licence, then where the window
/// module and the manual were found (or where they were looked for).
QByteArray versionText(const InstalledFile& module, const InstalledFile& manual);

} // namespace morvex
