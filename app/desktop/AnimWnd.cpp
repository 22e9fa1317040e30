#include "app/desktop/AnimWnd.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QSet>
#include <QWidget>
#include <QWindowStateChangeEvent>
#include <stdexcept>

namespace morvex {

namespace {

// The windows that own a component, for the one-per-window rule.
QSet<const QWidget*>& ownerRegister() {
    static QSet<const QWidget*> owners;
    return owners;
}

// The window that became the main window: the owner of the first component made while there
// was none.
QPointer<QWidget>& mainWindow() {
    static QPointer<QWidget> window;
    return window;
}

} // namespace

TAnimateWindow::TAnimateWindow(QWidget* owner)
    : QObject(owner)
    , m_owner(owner)
    , m_registered(owner) {
    if (ownerRegister().contains(owner))
        throw std::runtime_error("AnimateWindowはフォームに一つしか置けません");
    ownerRegister().insert(owner);
    if (!mainWindow()) {
        mainWindow() = owner;
        m_ownsMainWindow = true;
    }
    owner->installEventFilter(this);
}

TAnimateWindow::~TAnimateWindow() {
    ownerRegister().remove(m_registered);
    if (m_ownsMainWindow)
        mainWindow() = nullptr;
}

bool TAnimateWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_owner && event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        const bool was = change->oldState().testFlag(Qt::WindowMinimized);
        const bool is = m_owner->windowState().testFlag(Qt::WindowMinimized);
        if (!was && is)
            Q_EMIT OnMinimize(QCoreApplication::instance());
        else if (was && !is)
            restored();
    }
    return QObject::eventFilter(watched, event);
}

void TAnimateWindow::restored() {
    if (QWidget* window = mainWindow(); window && !window->isVisible())
        window->showNormal();
    Q_EMIT OnRestore(QCoreApplication::instance());
}

} // namespace morvex
