#pragma once

#include <QString>
#include <QStringList>

namespace morvex {

/// A file the program needs at run time, and the places it was looked for, in order.
struct InstalledFile {
    QString found; ///< the first place that holds it; empty when none does
    QStringList lookedAt;
};

/// Looks for `name` beside the program first (the build tree) and then in each folder of
/// `dirsFromProgram`, given relative to the program's folder, so that a moved prefix still works.
InstalledFile findBesideOrInstalled(const QString& programDir, const QString& name,
                                    const QStringList& dirsFromProgram);

/// The window module, beside the program or in the private library folder of the install.
InstalledFile findWindowModule(const QString& programDir);

/// The manual Morvex.html, beside the program or in the installed data folder (share/morvex),
/// which stays when an admin strips the documentation folder.
InstalledFile findManual(const QString& programDir);

} // namespace morvex
