#pragma once

#include "app/Application.h"
#include "app/Main_U.h"
#include "gui/Dialogs.h"
#include "modes/ProcessEnd.h"
#include "settings/SettingsStore.h"
#include "tests/app/StoreFiles.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
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
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal != m_seen.data()) {
                m_seen = modal;
                m_names << modal->objectName();
                m_act(modal);
            }
        });
        m_timer.start();
    }

    const QStringList& names() const { return m_names; }

private:
    std::function<void(QWidget*)> m_act;
    QTimer m_timer;
    QPointer<QWidget> m_seen; // cleared when the dialog goes, so its successor is seen
    QStringList m_names;
};

/// A main window on a prepared store, with message boxes and the process end captured.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(SettingsStore::defaultFilePath());
        setMessageSink([this](const QString& caption, const QString& text) {
            messages.emplace_back(caption, text);
        });
        setProcessEnder([this](int status) { endStatus = status; });
        setQuestionSink([this](const QString& caption, const QString& text) {
            questions.emplace_back(caption, text);
            return answerYes;
        });
    }

    void TearDown() override {
        window.reset();
        setMessageSink({});
        setQuestionSink({});
        setProcessEnder({});
        QFile::remove(SettingsStore::defaultFilePath());
    }

    void writeStore(const QList<StoreSection>& sections) {
        ASSERT_TRUE(writeBytes(SettingsStore::defaultFilePath(), storeText(sections)));
    }

    static QByteArray storeBytes() { return readBytes(SettingsStore::defaultFilePath()); }

    static std::optional<qint32> storedNumber(const QString& key, const QString& name) {
        SettingsStore store;
        if (!store.StoreOpen(QStringLiteral("\\Software\\QOR\\Morvex\\") + key, false) ||
            !store.ValuePresent(name))
            return std::nullopt;
        const StoreValue<qint32> value = store.ReadNumber(name);
        return value ? std::optional<qint32>(value.value()) : std::nullopt;
    }

    static std::optional<QString> storedText(const QString& key, const QString& name) {
        SettingsStore store;
        if (!store.StoreOpen(QStringLiteral("\\Software\\QOR\\Morvex\\") + key, false) ||
            !store.ValuePresent(name))
            return std::nullopt;
        const StoreValue<QString> value = store.ReadText(name);
        return value ? std::optional<QString>(value.value()) : std::nullopt;
    }

    /// Creates the window and runs its creation handler with the given arguments; `prepare`
    /// runs in between, as the program start attaches its parts there.
    TMorvexF& create(const QStringList& arguments = {},
                     const std::function<void(TMorvexF&)>& prepare = {}) {
        application = MorvexApplication{};
        application.Arguments = arguments;
        window = std::make_unique<TMorvexF>(application);
        if (prepare)
            prepare(*window);
        window->FormCreate();
        return *window;
    }

    MorvexApplication application;
    std::unique_ptr<TMorvexF> window;
    std::vector<std::pair<QString, QString>> messages;
    std::vector<std::pair<QString, QString>> questions; ///< asked, caption and text
    bool answerYes = false;                             ///< the answer to every question
    std::optional<int> endStatus;
};

} // namespace morvex::test
