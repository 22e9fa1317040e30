// The main window's non-visual parts of the shell: the notification-area icons (and, beside
// them, the animation and the single-instance guard).
#include "Main_U.h"
#include "TaskIcon.h"

#include <QMenu>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

TTaskIcon* taskIcon(TMorvexF* owner, const QString& name, const QString& tooltip, QMenu* menu) {
    auto* icon = new TTaskIcon(owner);
    icon->setObjectName(name);
    icon->setTooltipText(tooltip);
    icon->setIcon(QIcon(u":/windows/pictures/icon.bmp"_s));
    icon->setPopupMenuR(menu);
    return icon;
}

} // namespace

void TMorvexF::buildComponents() {
    AppRunTask = taskIcon(this, u"AppRunTask"_s, u"Morvex（待機中）"_s, ObserveMnu);
    ObserveTask =
        taskIcon(this, u"ObserveTask"_s, u"Morvex（ファイルの更新を監視中）"_s, ObserveMnu);
}

} // namespace morvex
