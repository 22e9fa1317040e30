#pragma once

#include "app/Application.h"
#include "app/Main_U.h"
#include "gui/Dialogs.h"
#include "modes/ProcessEnd.h"
#include "settings/SettingsStore.h"
#include "tests/support/StoreFiles.h"
#include "tests/support/Widgets.h"

#include <QApplication>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace morvex::test {

/// A control of a window found by its designed object name; a missing one fails the test.
template <typename T> T* child(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::logic_error(std::string("no control named ") + name);
    return found;
}

/// A footer list "-- sig", a header list "Re: \H" and upload files in a folder of their own
/// ("a.up" with a header and a footer marker; "b.up" with two footer markers unless left out),
/// and the File group that names them.
class Uploads {
public:
    explicit Uploads(bool withB = true) {
        writeBytes(path(QStringLiteral("f.mfl")), "-- sig\r\n");
        writeBytes(path(QStringLiteral("h.mhl")), "Re: \\H\r\n");
        writeBytes(path(QStringLiteral("a.up")), "]Hello\r\n)\r\n");
        if (withB)
            writeBytes(path(QStringLiteral("b.up")), ")\r\n)\r\n");
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }

    StoreSection fileGroup() const {
        return {QStringLiteral("File"),
                {numberValue(QStringLiteral("SrcFileCount"), 1),
                 textValue(QStringLiteral("SrcFileName"), path(QStringLiteral("*.up"))),
                 textValue(QStringLiteral("FutterFileName"), path(QStringLiteral("f.mfl"))),
                 textValue(QStringLiteral("HeaderFileName"), path(QStringLiteral("h.mhl")))}};
    }

private:
    QTemporaryDir m_dir;
};

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
