#include "gui/AppIcon.h"

// Outside the namespace: the resource's initialiser is a global function.
static void initIconResource() {
    Q_INIT_RESOURCE(appicon);
}

namespace morvex {

QIcon applicationIcon() {
    initIconResource();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace morvex
