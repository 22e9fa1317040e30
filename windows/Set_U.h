#pragma once

#include "gui/Dialogs.h"
#include "settings/SettingsGroups.h"

#include <QDialog>
#include <QWidget>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
namespace morvex {

class RulesPage;
struct RulesState;
class TDisRangeTrackBar;
class TExLabel;
struct SettingFState;

/// The up-down control bound to an edit (its buddy): the buddy shows the position, and the
/// position is read back from the buddy's text, clamped to the range (text that is no number
/// keeps the last position).
class TUpDown : public QWidget {
    Q_OBJECT

public:
    explicit TUpDown(QWidget* parent = nullptr);

    void setAssociate(QLineEdit* buddy);
    void setRange(int min, int max);
    int min() const { return m_min; }
    int max() const { return m_max; }
    void setWrap(bool wrap) { m_wrap = wrap; }
    /// The position as the buddy's text gives it now.
    int position() const;
    /// Clamps, stores and shows the position in the buddy.
    void setPosition(int value);
    /// One step up (+1) or down (-1), as the arrow buttons and the buddy's arrow keys do.
    void step(int delta);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int clamped(int value) const;

    QToolButton* m_up;
    QToolButton* m_down;
    QLineEdit* m_buddy = nullptr;
    int m_min = 0;
    int m_max = 100;
    mutable int m_position = 0;
    bool m_wrap = false;
};

/// The settings dialog. Creating one, shown or not, loads the Result, CompList, AppRun and
/// Watch groups, the File group's choices and the Rules group from the store into its controls
/// (with `writes` for the move of the older Result key), so other windows read those settings by
/// creating a TSettingF unseen and reading its controls.
class TSettingF : public QDialog {
    Q_OBJECT

public:
    explicit TSettingF(QWidget* parent = nullptr, LoadWrites writes = LoadWrites::Saved);
    ~TSettingF() override;

    /// False when the store failed while loading (the error has been shown); the controls then
    /// hold the values read before the failure and the enabled states are not updated.
    bool loaded() const { return m_loaded; }

    /// The controls' state as the store groups take it, and back.
    SettingFState readState() const;
    void applyState(const SettingFState& state);

    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QGroupBox* ShowResultGroup;
    QRadioButton* ShowResult;
    QCheckBox* GoByClose;
    TExLabel* Label1;
    TExLabel* Time;
    TExLabel* Label2;
    TExLabel* MinLbl;
    TExLabel* MaxLbl = nullptr;
    QRadioButton* NotShowResult;
    TDisRangeTrackBar* WaitTime;
    QGroupBox* CompListGroup;
    QCheckBox* CompListChk;
    QLineEdit* CompListCount;
    TUpDown* CompListUpDown;
    QLabel* Label3;

    QWidget* TabSheet2;
    QGroupBox* AppRunGroup;
    QCheckBox* BeforeRunChk;
    QLineEdit* BeforeApp;
    QPushButton* BeforeBtn;
    QCheckBox* AfterRunChk;
    QLineEdit* AfterApp;
    QPushButton* AfterBtn;
    QLineEdit* AppWaitTime; ///< hidden: the /a polling interval in milliseconds

    QWidget* TabSheet3;
    QGroupBox* GroupBox1;
    QLabel* Label4;
    QLabel* Label5;
    QLineEdit* WatchApp;
    QPushButton* WatchBtn;
    QLineEdit* ObserveWaitTime; ///< hidden

    // The page of the upload files' encoding and the draw rule.
    QWidget* TabSheet4;
    QGroupBox* EncodingGroup;
    QRadioButton* AutoRadio;
    QRadioButton* SjisRadio;
    QRadioButton* Utf8Radio;
    QLabel* Label6;
    QLabel* Label7;
    QGroupBox* DrawGroup;
    QCheckBox* NoRepeatChk;
    QLabel* NoRepeatLbl;

    /// The rules choosing lists, an encoding and markers per upload file (the Rules group).
    RulesPage* TabSheet5;

    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    /// The file-open dialog of the three browse buttons.
    FileDialogRequest OpenDialog1;

    void FormCreate();
    void ShowResultClick();
    void NotShowResultClick();
    void GoByCloseClick();
    void WaitTimeChange();
    void BeforeRunChkClick();
    void AfterRunChkClick();
    void CompListChkClick();
    void BeforeBtnClick();
    void AfterBtnClick();
    void WatchBtnClick();
    void OkBtnClick();
    void CancelBtnClick();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildGeneralPage();
    void buildResultGroup();
    void buildCompListGroup();
    void buildAppRunPage();
    void buildWatchPage();
    void buildEncodingPage();
    void connectHandlers();
    void describeControls();
    void setTimeLabelsLook(bool enabled);
    void etchTimeLabels();
    void showWaitTime();
    void browseInto(QLineEdit* edit);

    LoadWrites m_loadWrites;
    bool m_loaded = false;
    std::unique_ptr<StoreBase> m_storeBase; ///< what the load found; the OK button's saves use it
    std::unique_ptr<RulesState> m_storedRules; ///< the Rules group as loaded, for its save
};

} // namespace morvex
