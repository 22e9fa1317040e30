#include "settings/ListFolder.h"

#include <QDir>
#include <QStandardPaths>

namespace morvex {
using namespace Qt::StringLiterals;

QString listFolder() {
    // Honours XDG_DATA_HOME when it is an absolute path, as the base directory rules ask.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/morvex/"_s;
}

bool makeListFolder() {
    return QDir().mkpath(listFolder());
}

} // namespace morvex
