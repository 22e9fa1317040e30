#include "settings/ListFolder.h"

#include "engine/PassValues.h"

#include <QDir>
#include <QFile>

namespace morvex {

QString listFolder() {
    // The engine's rule, so that morvex-convert looks where the list fields do.
    return QFile::decodeName(userListFolder().c_str());
}

bool makeListFolder() {
    return QDir().mkpath(listFolder());
}

} // namespace morvex
