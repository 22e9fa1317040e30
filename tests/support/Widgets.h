// For the tests of windows and dialogs: modal windows looked into, message boxes collected,
// text typed as an input method commits it, launchers' ends seen. Header only: the test program
// links Qt Widgets itself.
#pragma once

#include "gui/Dialogs.h"
#include "tests/support/QtPrinters.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QPointer>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

namespace morvex::test {

/// Runs `act` on each new modal window while it lives (the modal loop runs the timer), so a
/// test can look into a dialog that the code under test runs with exec().
class ModalWatcher {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> act)
        : m_act(std::move(act)) {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != m_seen) {
                m_seen = modal;
                m_names << modal->objectName();
                m_act(modal);
            }
        });
        m_timer.start();
    }

    /// The object names of the modal windows seen, in order.
    const QStringList& names() const { return m_names; }
    int count() const { return static_cast<int>(m_names.size()); }

private:
    std::function<void(QWidget*)> m_act;
    QTimer m_timer;
    QPointer<QWidget> m_seen; // cleared when the dialog goes: its successor may reuse the address
    QStringList m_names;
};

/// Collects message boxes instead of showing them.
class MessageCapture {
public:
    MessageCapture() {
        setMessageSink([this](const QString& caption, const QString& text) {
            messages.emplace_back(caption, text);
        });
    }
    ~MessageCapture() { setMessageSink({}); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    std::vector<std::pair<QString, QString>> messages; ///< caption and text
};

/// Counts the started programs (QProcess objects of the GUI thread) whose end has been dealt
/// with: their owner let go of them, as a launcher's owner does once it has seen its status.
class EndedProcesses : public QObject {
public:
    EndedProcesses() { QCoreApplication::instance()->installEventFilter(this); }
    ~EndedProcesses() override { QCoreApplication::instance()->removeEventFilter(this); }

    int count() const { return m_count; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::DeferredDelete && qobject_cast<QProcess*>(watched))
            ++m_count;
        return false;
    }

private:
    int m_count = 0;
};

/// Types `text` into `widget` as an input method commits it (keyClicks takes Latin-1 only).
inline void commitText(QWidget* widget, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(widget, &event);
}

} // namespace morvex::test
