#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace morvex {

/// The kind of notification area the desktop offers, as Qt's tray icon will meet it.
enum class TrayKind {
    None,           ///< no notification area: the icon cannot be seen
    XEmbed,         ///< an X11 panel's tray: Morvex pops the icon's menus itself
    StatusNotifier, ///< a StatusNotifierItem host: the host draws the menu Qt hands it
};

/// Which notification area a tray icon shown now would land in.
TrayKind currentTrayKind();

/// The tooltip as the notification area gets it: the longest prefix of `text` whose Shift-JIS
/// form fits in 63 bytes, never ending inside a two-byte character.
QString shownTooltip(const QString& text);

/// An icon in the notification area with a tooltip, pop-up menus for the left and the right
/// button and mouse events. The owner window (the parent, when it is a widget) is raised before
/// a menu opens.
class TTaskIcon : public QObject {
    Q_OBJECT

public:
    static constexpr int kTooltipBytes = 63;

    explicit TTaskIcon(QObject* parent = nullptr);
    ~TTaskIcon() override;

    QString TooltipText() const { return m_tooltipText; }
    /// Only stored: a shown icon keeps its tooltip until it is removed and added again.
    void setTooltipText(const QString& text) { m_tooltipText = text; }
    QIcon Icon() const { return m_icon; }
    /// Updates a shown icon at once; an empty icon then shows nothing new.
    void setIcon(const QIcon& icon);
    QMenu* PopupMenuL() const;
    void setPopupMenuL(QMenu* menu);
    QMenu* PopupMenuR() const;
    void setPopupMenuR(QMenu* menu);
    bool Visible() const { return m_visible; }
    /// Adds the icon once or removes it once; the value is stored even when nothing changes.
    void setVisible(bool visible);

    /// The Qt icon while the component is shown, else null (for tests and the fall-back line).
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    /// The notification area the shown icon was added to (None while hidden).
    TrayKind trayKind() const { return m_kind; }

    /// What a press of `button` at `pos` does: the designed order of events, the owner raised,
    /// the button's menu popped up at `pos` where Morvex draws its own menus.
    void buttonDown(Qt::MouseButton button, const QPoint& pos);
    void doubleClick(Qt::MouseButton button, const QPoint& pos);

Q_SIGNALS:
    void OnClick(Qt::MouseButton button, QPoint pos);
    void OnDblClick(Qt::MouseButton button, QPoint pos);
    void OnMouseDown(Qt::MouseButton button, QPoint pos);
    void OnMouseUp(Qt::MouseButton button, QPoint pos);
    /// The application's task-bar button is hidden while the icon is shown and shown again
    /// when it is removed; told only when `Visible` really changes.
    void taskBarButtonChanged(bool visible);
    /// A menu was popped up by the component itself, at `pos`.
    void menuPopped(QMenu* menu, QPoint pos);

private:
    void addIcon();
    void removeIcon();
    void onActivated(int reason);
    QWidget* owner() const;

    QString m_tooltipText;
    QIcon m_icon;
    QPointer<QMenu> m_popupMenuL;
    QPointer<QMenu> m_popupMenuR;
    bool m_visible = false;
    QSystemTrayIcon* m_tray = nullptr;
    TrayKind m_kind = TrayKind::None;
};

} // namespace morvex
