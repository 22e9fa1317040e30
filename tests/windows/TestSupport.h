#pragma once

#include "gui/Dialogs.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QFile>
#include <QInputMethodEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

// Readable QString values in assertion messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace morvex::test {

/// Runs `act` on the first modal window that opens while it is alive (the modal loop runs the
/// timer), so a test can look into a dialog that its code under test shows with exec().
class ModalWatcher {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> act)
        : m_act(std::move(act)) {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != m_seen) {
                m_seen = modal;
                ++m_count;
                m_act(modal);
            }
        });
        m_timer.start();
    }

    int count() const { return m_count; }

private:
    std::function<void(QWidget*)> m_act;
    QTimer m_timer;
    QPointer<QWidget> m_seen; // cleared when the dialog goes: its successor may reuse the address
    int m_count = 0;
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

    std::vector<std::pair<QString, QString>> messages;
};

/// Each test starts from an empty store.
class StoreTest : public testing::Test {
protected:
    void SetUp() override { QFile::remove(SettingsStore::defaultFilePath()); }
    void TearDown() override { QFile::remove(SettingsStore::defaultFilePath()); }

    static void writeNumbers(const QString& key,
                             std::initializer_list<std::pair<QString, int>> values) {
        SettingsStore store;
        ASSERT_TRUE(store.StoreOpen(key, true));
        for (const auto& [name, value] : values)
            ASSERT_TRUE(store.WriteNumber(name, value).ok());
        ASSERT_TRUE(store.StoreClose().ok());
    }

    static void writeText(const QString& key, const QString& name, const QString& text) {
        SettingsStore store;
        ASSERT_TRUE(store.StoreOpen(key, true));
        ASSERT_TRUE(store.WriteText(name, text).ok());
        ASSERT_TRUE(store.StoreClose().ok());
    }

    static std::optional<int> readNumber(const QString& key, const QString& name) {
        SettingsStore store;
        if (!store.StoreOpen(key, false) || !store.ValuePresent(name))
            return std::nullopt;
        const StoreValue<qint32> value = store.ReadNumber(name);
        return value ? std::optional<int>(value.value()) : std::nullopt;
    }

    static std::optional<QString> readText(const QString& key, const QString& name) {
        SettingsStore store;
        if (!store.StoreOpen(key, false) || !store.ValuePresent(name))
            return std::nullopt;
        const StoreValue<QString> value = store.ReadText(name);
        return value ? std::optional<QString>(value.value()) : std::nullopt;
    }

    static QByteArray storeBytes() {
        QFile file(SettingsStore::defaultFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

/// Types `text` into `widget` as an input method commits it (keyClicks takes Latin-1 only).
inline void commitText(QWidget* widget, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(widget, &event);
}

} // namespace morvex::test
