#pragma once

#include "app/Application.h"
#include "app/Main_U.h"
#include "app/desktop/AnimWnd.h"
#include "app/desktop/TaskIcon.h"
#include "app/desktop/mutexcheck.h"
#include "controls/MaruBtn.h"
#include "gui/Dialogs.h"
#include "modes/ProcessEnd.h"
#include "settings/SettingsStore.h"
#include "tests/support/StoreFiles.h"
#include "tests/support/Widgets.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
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

/// The main window's parts, found by their designed object names: the window keeps them
/// private. Controls are looked for on `MainPnl` only, so that a dialog the window owns at the
/// time (with its own "Label1"...) is never taken for them.
struct MainControls {
    explicit MainControls(const TMorvexF& w)
        : MainPnl(child<QFrame>(w, "MainPnl")) {
        const QObject& panel = *MainPnl;
        SrcFile = child<QListWidget>(panel, "SrcFile");
        SrcEditBtn = child<QPushButton>(panel, "SrcEditBtn");
        Label6 = child<QLabel>(panel, "Label6");
        BackExt = child<QLineEdit>(panel, "BackExt");
        HeadConvChar = child<QLineEdit>(panel, "HeadConvChar");
        ConvChar = child<QLineEdit>(panel, "ConvChar");
        ConvBtn = child<QPushButton>(panel, "ConvBtn");
        HeaderLbl = child<QLabel>(panel, "HeaderLbl");
        HeaderBtn = child<TMaruBtn>(panel, "HeaderBtn");
        HFile = child<QLineEdit>(panel, "HFile");
        HBBtn = child<QPushButton>(panel, "HBBtn");
        FutterLbl = child<QLabel>(panel, "FutterLbl");
        FutterBtn = child<TMaruBtn>(panel, "FutterBtn");
        FFile = child<QLineEdit>(panel, "FFile");
        FBBtn = child<QPushButton>(panel, "FBBtn");
        File = child<QMenu>(w, "File");
        Act = child<QMenu>(w, "Act");
        Setup = child<QMenu>(w, "Setup");
        Help = child<QMenu>(w, "Help");
        HeaderBPMnu = child<QMenu>(w, "HeaderBPMnu");
        FutterBPMnu = child<QMenu>(w, "FutterBPMnu");
        ObserveMnu = child<QMenu>(w, "ObserveMnu");
        const std::pair<QAction**, const char*> actions[] = {
            {&SrcOpenMnu, "SrcOpenMnu"},
            {&OutOpenMnu, "OutOpenMnu"},
            {&HeaderOpenMnu, "HeaderOpenMnu"},
            {&FutterOpenMnu, "FutterOpenMnu"},
            {&SampleListMnu, "SampleListMnu"},
            {&Exit, "Exit"},
            {&UndoMnu, "UndoMnu"},
            {&ConvMnu, "ConvMnu"},
            {&ShowResultSetting, "ShowResultSetting"},
            {&Contents, "Contents"},
            {&About, "About"},
            {&HeaderDirB, "HeaderDirB"},
            {&HeaderFileB, "HeaderFileB"},
            {&FutterDirB, "FutterDirB"},
            {&FutterFileB, "FutterFileB"},
            {&Show1, "Show1"},
            {&KS1, "KS1"},
            {&KA1, "KA1"},
            {&Exit1, "Exit1"},
        };
        for (const auto& [action, name] : actions)
            *action = child<QAction>(w, name);
        AppRunTimer = child<QTimer>(w, "AppRunTimer");
        ObserveTimer = child<QTimer>(w, "ObserveTimer");
        AppRunTask = child<TTaskIcon>(w, "AppRunTask");
        ObserveTask = child<TTaskIcon>(w, "ObserveTask");
        AnimateWindow1 = child<TAnimateWindow>(w, "AnimateWindow1");
        CheckMutex1 = child<TCheckMutex>(w, "CheckMutex1");
    }

    QFrame* MainPnl;
    QListWidget* SrcFile;
    QPushButton* SrcEditBtn;
    QLabel* Label6;
    QLineEdit* BackExt;
    QLineEdit* HeadConvChar;
    QLineEdit* ConvChar;
    QPushButton* ConvBtn;
    QLabel* HeaderLbl;
    TMaruBtn* HeaderBtn;
    QLineEdit* HFile;
    QPushButton* HBBtn;
    QLabel* FutterLbl;
    TMaruBtn* FutterBtn;
    QLineEdit* FFile;
    QPushButton* FBBtn;
    QMenu* File;
    QMenu* Act;
    QMenu* Setup;
    QMenu* Help;
    QMenu* HeaderBPMnu;
    QMenu* FutterBPMnu;
    QMenu* ObserveMnu;
    QAction* SrcOpenMnu;
    QAction* OutOpenMnu;
    QAction* HeaderOpenMnu;
    QAction* FutterOpenMnu;
    QAction* SampleListMnu;
    QAction* Exit;
    QAction* UndoMnu;
    QAction* ConvMnu;
    QAction* ShowResultSetting;
    QAction* Contents;
    QAction* About;
    QAction* HeaderDirB;
    QAction* HeaderFileB;
    QAction* FutterDirB;
    QAction* FutterFileB;
    QAction* Show1;
    QAction* KS1;
    QAction* KA1;
    QAction* Exit1;
    QTimer* AppRunTimer;
    QTimer* ObserveTimer;
    TTaskIcon* AppRunTask;
    TTaskIcon* ObserveTask;
    TAnimateWindow* AnimateWindow1;
    TCheckMutex* CheckMutex1;
};

inline MainControls ui(const TMorvexF& w) {
    return MainControls(w);
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
