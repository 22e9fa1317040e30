#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace morvex {

/// Minimise and restore of its owner window, reported after the window manager has done them
/// (and drawn its animation): `OnMinimize` and `OnRestore` with the application object. A
/// restore shows the main window when it is hidden. One per window.
class TAnimateWindow : public QObject {
    Q_OBJECT

public:
    /// Throws std::runtime_error "AnimateWindowはフォームに一つしか置けません" when `owner`
    /// already has one.
    explicit TAnimateWindow(QWidget* owner);
    ~TAnimateWindow() override;

    QWidget* owner() const { return m_owner; }

Q_SIGNALS:
    void OnMinimize(QObject* sender);
    void OnRestore(QObject* sender);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void restored();

    QPointer<QWidget> m_owner;
    const QWidget* m_registered; ///< the register's key, valid while the owner is destroyed
    bool m_ownsMainWindow = false;
};

} // namespace morvex
