// The main window's non-visual parts of the shell: the single-instance guard, the animation and
// the notification-area icons with their menu.
#include "app/Main_U.h"
#include "app/desktop/AnimWnd.h"
#include "app/desktop/TaskIcon.h"
#include "app/desktop/mutexcheck.h"
#include "gui/LazyIcon.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

TTaskIcon* taskIcon(TMorvexF* owner, const QString& name, const QString& tooltip, QMenu* menu,
                    const QIcon& picture) {
    auto* icon = new TTaskIcon(owner);
    icon->setObjectName(name);
    icon->setTooltipText(tooltip);
    icon->setIcon(picture);
    icon->setPopupMenuR(menu);
    return icon;
}

} // namespace

void TMorvexF::buildComponents() {
    // The guard comes first: a refused start ends here, before any setting is read.
    CheckMutex1 = new TCheckMutex(this);
    CheckMutex1->setObjectName(u"CheckMutex1"_s);
    CheckMutex1->Loaded();
    AnimateWindow1 = new TAnimateWindow(this);
    AnimateWindow1->setObjectName(u"AnimateWindow1"_s);
    // Both icons show the same picture, decoded once, when one of them is first shown: most
    // starts never show them, and reading it would load every image-format plugin.
    const QIcon picture = lazyIcon([] { return QIcon(u":/windows/pictures/icon.bmp"_s); });
    AppRunTask = taskIcon(this, u"AppRunTask"_s, u"Morvex（待機中）"_s, ObserveMnu, picture);
    ObserveTask = taskIcon(this, u"ObserveTask"_s, u"Morvex（ファイルの更新を監視中）"_s,
                           ObserveMnu, picture);
    for (TTaskIcon* icon : {AppRunTask, ObserveTask}) {
        connect(icon, &TTaskIcon::taskBarButtonChanged, this,
                [this](bool visible) { m_application.TaskBarButtonVisible = visible; });
    }
}

void TMorvexF::PopupObserveMenu() {
    const QPoint pos = QCursor::pos();
    if (isVisible()) {
        raise();
        activateWindow();
    }
    QCoreApplication::processEvents();
    // Under a StatusNotifierItem host Qt would never pop the menu: it is always ours here.
    ObserveMnu->popup(pos);
}

} // namespace morvex
