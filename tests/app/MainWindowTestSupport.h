#pragma once

#include "app/Application.h"
#include "app/Main_U.h"
#include "gui/Dialogs.h"
#include "modes/ProcessEnd.h"
#include "settings/SettingsStore.h"
#include "support/StoreFiles.h"
#include "support/Widgets.h"

#include <QApplication>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace morvex::test {

/// A main window on a prepared store, with message boxes and the process end captured.
class MainWindowTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
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
        StoreTest::TearDown();
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
