#pragma once

#include "controls/Color.h"
#include "engine/Pool.h"

#include <QFont>
#include <QMainWindow>
#include <QSize>
#include <QString>
#include <memory>

class QLineEdit;
class QListView;
class QMenu;
class QToolButton;

namespace morvex {

class TMaruBtn;
class MergedListModel;
struct ListViewSettings;
struct StoreBase;

/// What the viewer reads from and does to the main window: its two list patterns when it
/// loads, and its two round buttons, released when the viewer closes. Any may be missing.
struct ListViewerFields {
    QLineEdit* FFile = nullptr;
    QLineEdit* HFile = nullptr;
    TMaruBtn* HeaderBtn = nullptr;
    TMaruBtn* FutterBtn = nullptr;
};

/// The list viewer: the merged footer or header lists, one row per line, white on black. It is
/// made once at start-up and hidden and shown, never destroyed; it never changes a list file.
class TListF : public QMainWindow {
    Q_OBJECT

public:
    explicit TListF(QWidget* parent = nullptr);
    ~TListF() override;

    void setMainWindowFields(const ListViewerFields& fields) { m_fields = fields; }
    /// The rows as shown.
    MergedListModel* listModel() const { return m_model; }

    // Tool strip and list.
    QWidget* ToolPanel;
    QToolButton* ListEditBtn;
    QToolButton* ReloadBtn;
    QToolButton* FontBtn;
    QToolButton* SpeedButton1;
    QToolButton* TextEditorBtn;
    QListView* ListBox;

    // Main menu.
    QMenu* FileMnu;
    QAction* Close1;
    QMenu* ActMnu;
    QAction* ListEditMnu;
    QAction* N1;
    QAction* ReloadMnu;
    QMenu* SetupMnu;
    QAction* Font1;
    QAction* BackColor;
    QAction* N2;
    QAction* TextEditor;

    // Working state, none of it shown.
    QString ListFileName; ///< the pattern of the list shown, as at the last load
    QString HorF;         ///< "F" for footer lists, "H" for header lists
    QString TextEditorLbl = QStringLiteral("notepad"); ///< the editor command
    MergeState ListMerge; ///< TmpListFile and TmpListLbl of the last merge

    // Operations of the main window.
    void LoadListBtnClick() { ViewFooterList(); }
    void LoadHeadListBtnClick() { ViewHeaderList(); }

    // Event handlers.
    void ViewFooterList();
    void ViewHeaderList();
    void ReloadClick();
    void ListEditClick();
    void Font1Click();
    void BackColorClick();
    void TextEditorClick();
    void Close1Click();
    void FormShow();
    void FormClose();

    /// The display settings as the ListView group takes them.
    ListViewSettings viewSettings() const;
    /// Applies the display settings (a stored position moves the window, sizes are outer).
    void applyViewSettings(const ListViewSettings& state);

    /// The list's background and font colour (TColor) and its font, as now applied.
    TColor listBackColor() const { return m_backColor; }
    TColor listFontColor() const { return m_fontColor; }
    QFont listFont() const { return m_listFont; }

    /// The folder of the viewer's merge file: "TMP" (one trailing "/" removed) followed by "/",
    /// or the system's temporary folder when "TMP" is unset or empty.
    static std::string tempDirectory();

protected:
    void closeEvent(QCloseEvent* event) override;
    void setVisible(bool visible) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void buildMenus();
    void buildToolPanel();
    void connectCommands();
    void viewList(QLineEdit* field, const QString& kind, const char* tempName,
                  const char* openMessage);
    void showRows(std::string text, const std::vector<ListSpan>& spans,
                  std::vector<std::uint32_t> weights);
    void setListFont(const QFont& font);
    void setListColors(TColor back, TColor text);
    void setOuterSize(const QSize& outer);
    void keepPendingSize();
    void runGuarded(void (TListF::*handler)());

    MergedListModel* m_model;
    ListViewerFields m_fields;
    QFont m_listFont;
    TColor m_backColor = clBlack;
    TColor m_fontColor = clWhite;
    QColor m_colorDialogColor = Qt::black; ///< the colour dialog's own last choice
    QSize m_pendingOuter;                  ///< an outer size waiting for the frame to be known
    QSize m_requestedSize;                 ///< the client size asked for with it
    bool m_positionKnown = false;
    std::unique_ptr<StoreBase> m_storeBase; ///< what the last load found; the close's save uses it
};

} // namespace morvex
