#include "modes/InstallLayout.h"

#include <QDir>
#include <QFileInfo>

namespace morvex {
using namespace Qt::StringLiterals;

InstalledFile findBesideOrInstalled(const QString& programDir, const QString& name,
                                    const QStringList& dirsFromProgram) {
    InstalledFile result;
    result.lookedAt << QDir::cleanPath(programDir + u'/' + name);
    for (const QString& dir : dirsFromProgram)
        result.lookedAt << QDir::cleanPath(programDir + u'/' + dir + u'/' + name);
    for (const QString& path : std::as_const(result.lookedAt)) {
        if (QFileInfo(path).isFile()) {
            result.found = path;
            break;
        }
    }
    return result;
}

// The install rules give these folders relative to the program's own (see app/CMakeLists.txt).
InstalledFile findWindowModule(const QString& programDir) {
    return findBesideOrInstalled(programDir, u"libmorvex-window.so"_s,
                                 {QStringLiteral(MORVEX_MODULE_DIR_FROM_BIN)});
}

InstalledFile findManual(const QString& programDir) {
    return findBesideOrInstalled(programDir, u"Morvex.html"_s,
                                 {QStringLiteral(MORVEX_DATA_DIR_FROM_BIN)});
}

} // namespace morvex
