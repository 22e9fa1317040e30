#pragma once

#include "app/Application.h"
#include "engine/Engine.h"
#include "gui/Dialogs.h"
#include "modes/ModeHost.h"

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;

namespace morvex {

class TFolderDialog;
class TMaruBtn;
struct MainWindowSettings;
struct StoreBase;
class TAnimateWindow;
class TCheckMutex;
class TListF;
class TTaskIcon;

/// The list viewer as the round buttons use it; empty until a viewer is attached.
struct ListViewerSlot {
    std::function<void()> LoadHeadListBtnClick; ///< fill the viewer with the header lists
    std::function<void()> LoadListBtnClick;     ///< fill the viewer with the footer lists
    std::function<void()> show;                 ///< show (and raise) the viewer

    explicit operator bool() const { return LoadHeadListBtnClick && LoadListBtnClick && show; }
};

/// The main window: the source list, list patterns, markers and backup extension of a pass,
/// the pools (through the engine) and every command of the program. It hosts the modes on a
/// desktop (app/MainModes.cpp).
class TMorvexF : public QMainWindow, public ModeHost {
    Q_OBJECT

public:
    explicit TMorvexF(MorvexApplication& application, QWidget* parent = nullptr);
    ~TMorvexF() override;

    friend void attachListViewer(TMorvexF& window, TListF& viewer);

    /// Who answers each converted file; the result dialog unless replaced (the desktop-less
    /// mode writes lines instead).
    using ResultReporter = std::function<void(const FileResult&)>;
    void setResultReporter(ResultReporter reporter);
    void setListViewer(ListViewerSlot viewer) { m_listViewer = std::move(viewer); }
    RunMode runMode() const { return m_runMode; }
    /// False after FormCreate met a store failure; the window then never saves its groups, so
    /// the values it could not read are not overwritten by its defaults.
    bool settingsLoaded() const { return m_settingsLoaded; }

    // Working state. The pools, TmpStr, TmpLbl, OutFile and the merge paths live in the engine;
    // ExeCmd, BeforeApp, AfterApp, AppProcess and the watch records in modes()
    // (modes/Unattended.h), made when an unattended mode starts.
    ConvEngine Engine;
    int HeaderBtnMarker = 0;   ///< 1 when the viewer was last opened for the header lists
    int FutterBtnMarker = 0;   ///< 1 when the viewer was last opened for the footer lists
    bool SkipConverted = true; ///< off for as long as a watch mode runs

    // Event handlers.
    void FormCreate();
    void FormShow() {}
    bool FormCloseQuery();
    void FormClose();
    void ConvBtnClick();
    /// Exchanges every file the last pass converted with its backup and tells how many.
    void UndoMnuClick();
    /// Puts the starter lists into the list folder, never over a file there, and points a list
    /// field that finds no file at them.
    void SampleListMnuClick();
    void SrcEditBtnClick();
    void OutBBtnClick();
    void HBBtnClick();
    void FBBtnClick();
    void HeaderDirBClick();
    void FutterDirBClick();
    void HeaderFileBClick();
    void FutterFileBClick();
    void HeaderBtnClick();
    void FutterBtnClick();
    void ShowResultSettingClick();
    void ContentsClick();
    void AboutClick();
    void ExitClick();
    void Exit1Click();
    void Show1Click();
    /// The close requests (title-bar close, the quit signals): save both groups and end.
    void SaveAndQuit();
    // The unattended modes (app/MainModes.cpp).
    void AppRunTimerTimer();
    void ObserveTimerTimer();
    /// The request to pop up the icon menu: `ObserveMnu` at the cursor.
    void PopupObserveMenu();

    /// The screen point where the pop-up menu of a browse button opens.
    QPoint popupPoint(const QWidget* button) const;
    /// The values of a pass, as the window's fields give them now.
    ConvSettings convSettings() const;
    /// The window's fields as the System and File groups take them.
    MainWindowSettings settingsState() const;
    void applySettingsState(const MainWindowSettings& state);

    // What the modes ask of the window (app/MainModes.cpp).
    QStringList arguments() const override;
    SettingFState settingF() override;
    ConvSettings passValues() override;
    ConvSettings conversionValues() override;
    void convertAll() override;
    void engineError(const std::string& text, const std::string& caption) override;
    void skipConvertedOff() override;
    void setAppRunIconVisible(bool visible) override;
    void setObserveIconVisible(bool visible) override;
    void processEvents() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

    void startInteractive() override;
    ConvEngine& engine() override { return Engine; }
    QTimer& appRunTimer() override { return *AppRunTimer; }
    QTimer& observeTimer() override { return *ObserveTimer; }
    void appRunTimerTick() override;
    void observeTimerTick() override;

private:
    // Widgets and parts of the window, each also its object name: tests and tools find them
    // by that name.
    // Controls, as laid out on MainPnl.
    QFrame* MainPnl;
    QLabel* SrcLbl;
    QListWidget* SrcFile;
    QPushButton* SrcEditBtn;
    QLabel* Label6;
    QLineEdit* BackExt;
    QLabel* Label1;
    QLineEdit* HeadConvChar;
    QLabel* Label2;
    QLabel* Label4;
    QLineEdit* ConvChar;
    QLabel* Label5;
    QPushButton* ConvBtn;
    QLabel* HeaderLbl;
    TMaruBtn* HeaderBtn;
    QLineEdit* HFile;
    QPushButton* HBBtn;
    QLabel* FutterLbl;
    TMaruBtn* FutterBtn;
    QLineEdit* FFile;
    QPushButton* FBBtn;

    // Menu bar MainMenu.
    QMenu* File;
    QAction* SrcOpenMnu;
    QAction* OutOpenMnu;
    QAction* N1;
    QAction* HeaderOpenMnu;
    QAction* FutterOpenMnu;
    QAction* N2;
    QAction* Exit;
    QAction* N7;
    QAction* UndoMnu;       ///< takes back the files of the last pass; greyed while there are none
    QAction* SampleListMnu; ///< puts the starter lists into the list folder
    QMenu* Act;
    QAction* ConvMnu;
    QMenu* Setup;
    QAction* ShowResultSetting;
    QMenu* Help;
    QAction* Contents;
    QAction* N3;
    QAction* About;

    // Pop-up menus.
    QMenu* HeaderBPMnu;
    QAction* HeaderDirB;
    QAction* HeaderFileB;
    QMenu* FutterBPMnu;
    QAction* FutterDirB;
    QAction* FutterFileB;
    QMenu* ObserveMnu; ///< the menu of the notification-area icons
    QAction* Show1;
    QAction* N6;
    QAction* KS1;
    QAction* N5;
    QAction* KA1;
    QAction* N4;
    QAction* Exit1;

    // Non-visual parts.
    FileDialogRequest OutFileSave;
    FileDialogRequest HeaderFileOpen;
    FileDialogRequest FutterFileOpen;
    TFolderDialog* FolderDialog1;
    QTimer* AppRunTimer;
    QTimer* ObserveTimer;
    TTaskIcon* AppRunTask;  ///< the icon of the automatic run mode
    TTaskIcon* ObserveTask; ///< the icon of the watch modes
    TAnimateWindow* AnimateWindow1;
    TCheckMutex* CheckMutex1; ///< no name: any number of instances run

    void buildPanel();
    void buildSourceRow();
    void buildMarkerRows();
    void buildListRows();
    void buildEtchedLines();
    void buildMainMenu();
    void buildPopupMenus();
    void buildDialogs();
    void buildComponents();
    void setTabOrder();
    void describeControls();
    void connectCommands();
    void connectEngine();
    void runGuarded(void (TMorvexF::*handler)());
    void chooseFolder(QLineEdit* pattern, const QString& caption, const QString& listMask);
    void chooseFile(QLineEdit* pattern, FileDialogRequest dialog);
    void openListViewer();
    bool loadSettings();
    /// Saves both groups; false (after the error box) when a save failed.
    bool saveSettings();
    void reportResult(const FileResult& result);
    void engineErrorShown(const std::string& text, const std::string& caption);
    QString pointEmptyFieldsAtListFolder();
    void offerSampleLists();

    MorvexApplication& m_application;
    RunMode m_runMode = RunMode::Interactive;
    ResultReporter m_reporter;
    ListViewerSlot m_listViewer;
    bool m_closeByCommand = false;
    bool m_positionKnown = false;
    bool m_settingsLoaded = false;
    bool m_firstStart = false;  ///< no settings file before this start: a new user
    bool m_saveFailed = false;  ///< the last save failed: the end's status says so
    bool m_listMissing = false; ///< the running pass met a list pattern with nothing to draw
    std::unique_ptr<StoreBase> m_storeBase; ///< what the load found; the saves compare with it
};

} // namespace morvex
