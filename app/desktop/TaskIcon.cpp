#include "app/desktop/TaskIcon.h"

#include "gui/AppIcon.h"
#include "modes/ConsoleReports.h"
#include "modes/DBusRequests.h"
#include "settings/Sjis.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

// Qt asks the same question once per process, when it makes its first tray icon; so do we.
TrayKind probeTrayKind() {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return TrayKind::None;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    const QString watcher = u"org.kde.StatusNotifierWatcher"_s;
    if (bus.isConnected() && bus.interface()->isServiceRegistered(watcher)) {
        QDBusInterface host(watcher, u"/StatusNotifierWatcher"_s, watcher, bus);
        if (host.isValid() && host.property("IsStatusNotifierHostRegistered").toBool())
            return TrayKind::StatusNotifier;
    }
    return TrayKind::XEmbed;
}

// The program's icon; the application's window icon is set only once the event loop runs.
QIcon programIcon() {
    const QIcon icon = QApplication::windowIcon();
    return icon.isNull() ? applicationIcon() : icon;
}

// An icon nobody can see must not leave a process nobody can find: say once how to end it.
void reportMissingTray() {
    static bool reported = false;
    if (reported)
        return;
    reported = true;
    writeLine(stderr, DBusRequests::noIconLine());
}

} // namespace

TrayKind currentTrayKind() {
    static const TrayKind kind = probeTrayKind();
    return kind;
}

QString shownTooltip(const QString& text) {
    qsizetype bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        // One character at a time, a surrogate pair together: a character fits whole or not.
        const qsizetype next = end + (text.at(end).isHighSurrogate() ? 2 : 1);
        bytes += sjis::encode(text.mid(end, next - end)).size();
        if (bytes > TTaskIcon::kTooltipBytes)
            break;
        end = next;
    }
    return text.left(end);
}

TTaskIcon::TTaskIcon(QObject* parent)
    : QObject(parent) {}

TTaskIcon::~TTaskIcon() {
    if (m_visible)
        removeIcon();
}

QWidget* TTaskIcon::owner() const {
    auto* widget = qobject_cast<QWidget*>(parent());
    return widget ? widget->window() : nullptr;
}

void TTaskIcon::setIcon(const QIcon& icon) {
    m_icon = icon;
    // As designed, no fall-back here: only adding the icon uses the application's one.
    if (m_visible && m_tray)
        m_tray->setIcon(m_icon);
}

QMenu* TTaskIcon::PopupMenuL() const {
    return m_popupMenuL;
}

QMenu* TTaskIcon::PopupMenuR() const {
    return m_popupMenuR;
}

void TTaskIcon::setPopupMenuL(QMenu* menu) {
    m_popupMenuL = menu;
}

void TTaskIcon::setPopupMenuR(QMenu* menu) {
    m_popupMenuR = menu;
    if (m_tray && m_kind == TrayKind::StatusNotifier)
        m_tray->setContextMenu(menu);
}

void TTaskIcon::setVisible(bool visible) {
    const bool changed = visible != m_visible;
    if (changed) {
        if (visible)
            addIcon();
        else
            removeIcon();
    }
    m_visible = visible;
    if (changed)
        Q_EMIT taskBarButtonChanged(!visible);
}

void TTaskIcon::addIcon() {
    m_kind = currentTrayKind();
    if (m_kind == TrayKind::None) {
        reportMissingTray();
        // Only an X11 tray started later can still take an icon made now; elsewhere (offscreen,
        // Wayland) Qt's X11 tray code would merely warn that its signal is missing.
        if (QGuiApplication::platformName() != u"xcb"_s)
            return;
    }
    m_tray = new QSystemTrayIcon(m_icon.isNull() ? programIcon() : m_icon, this);
    m_tray->setToolTip(shownTooltip(m_tooltipText));
    // A StatusNotifierItem host draws the menu itself from what Qt exports; an XEmbed tray
    // leaves it to us, so that the designed order of events holds around it.
    if (m_kind == TrayKind::StatusNotifier)
        m_tray->setContextMenu(m_popupMenuR);
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { onActivated(reason); });
    m_tray->show();
}

void TTaskIcon::removeIcon() {
    if (!m_tray)
        return;
    m_tray->hide();
    delete m_tray;
    m_tray = nullptr;
    m_kind = TrayKind::None;
}

void TTaskIcon::onActivated(int reason) {
    const QPoint pos = QCursor::pos();
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        buttonDown(Qt::LeftButton, pos);
        break;
    case QSystemTrayIcon::Context:
        buttonDown(Qt::RightButton, pos);
        break;
    case QSystemTrayIcon::DoubleClick:
        doubleClick(Qt::LeftButton, pos);
        break;
    default:
        break;
    }
}

void TTaskIcon::buttonDown(Qt::MouseButton button, const QPoint& pos) {
    // Qt reports a click as one activation: the down and the up follow each other here.
    Q_EMIT OnClick(button, pos);
    Q_EMIT OnMouseDown(button, pos);
    if (QWidget* window = owner(); window && window->isVisible()) {
        window->raise();
        window->activateWindow();
    }
    QMenu* menu = button == Qt::RightButton ? m_popupMenuR.data() : m_popupMenuL.data();
    const bool hostDrawsMenu = button == Qt::RightButton && m_kind == TrayKind::StatusNotifier;
    if (menu && !hostDrawsMenu) {
        menu->popup(pos);
        Q_EMIT menuPopped(menu, pos);
    }
    Q_EMIT OnMouseUp(button, pos);
}

void TTaskIcon::doubleClick(Qt::MouseButton button, const QPoint& pos) {
    Q_EMIT OnDblClick(button, pos);
}

} // namespace morvex
