// The list viewer: its merge into the rows, the edit command, the display dialogs and the
// ListView group.
#include "controls/MaruBtn.h"
#include "engine/Paths.h"
#include "engine/detail/Sys.h"
#include "settings/ListViewGroup.h"
#include "settings/SettingsStore.h"
#include "settings/Sjis.h"
#include "tests/support/StoreFiles.h"
#include "tests/support/Widgets.h"
#include "windows/LaunchEditor.h"
#include "windows/ListModel.h"
#include "windows/List_U.h"
#include "windows/Select_U.h"
#include "windows/StyleDialogs.h"

#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>

namespace morvex::test {
namespace {
using namespace Qt::StringLiterals;

const QString kListView = u"\\Software\\QOR\\Morvex\\ListView"_s;
const QString kOldListView = u"\\Software\\ZELT\\Morvex\\ListView"_s;

QStringList rowsOf(const TListF& viewer) {
    QStringList rows;
    const MergedListModel* model = viewer.listModel();
    for (int row = 0; row < model->rowCount(); ++row)
        rows << model->data(model->index(row)).toString();
    return rows;
}

// The current directory for one scope.
class CurrentDir {
public:
    explicit CurrentDir(const QString& dir)
        : m_old(QDir::currentPath()) {
        EXPECT_TRUE(QDir::setCurrent(dir));
    }
    ~CurrentDir() { QDir::setCurrent(m_old); }

private:
    QString m_old;
};

struct EditorCall {
    QString program;
    QStringList arguments;
    bool operator==(const EditorCall&) const = default;
};

class ListFTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        ASSERT_TRUE(m_lists.isValid() && m_temp.isValid());
        m_oldTmp = qgetenv("TMP");
        qputenv("TMP", QFile::encodeName(m_temp.path()));
        FutterBtn.setGroupIndex(1);
        FutterBtn.setAllowAllUp(true);
        HeaderBtn.setGroupIndex(1);
        HeaderBtn.setAllowAllUp(true);
        viewer.setMainWindowFields({&FFile, &HFile, &HeaderBtn, &FutterBtn});
        FFile.setText(list(u"*.mfl"_s));
        HFile.setText(list(u"*.mhl"_s));
        setEditorStarter([this](const QString& program, const QStringList& arguments) {
            editorCalls.push_back({program, arguments});
            return true;
        });
    }

    void TearDown() override {
        setEditorStarter({});
        qputenv("TMP", m_oldTmp);
        StoreTest::TearDown();
    }

    QString list(const QString& name) const { return m_lists.filePath(name); }

    void writeList(const QString& name, const QByteArray& bytes) const {
        QFile file(list(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QStringList tempFiles() const {
        return QDir(m_temp.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    /// Runs the edit command; `act` sees the selection dialog while it is open.
    void editLists(const std::function<void(TSelectListF*)>& act) {
        int seen = 0;
        ModalWatcher watcher([&](QWidget* modal) {
            auto* select = qobject_cast<TSelectListF*>(modal);
            ASSERT_NE(select, nullptr);
            ++seen;
            act(select);
            if (select->isVisible())
                select->CalcelBtn->click();
        });
        viewer.ListEditClick();
        EXPECT_EQ(seen, 1);
    }

    static QStringList selectedRows(const TSelectListF* select) {
        QStringList rows;
        for (int row = 0; row < select->FileList->count(); ++row) {
            if (select->FileList->item(row)->isSelected())
                rows << select->FileList->item(row)->text();
        }
        return rows;
    }

    static QStringList allRows(const TSelectListF* select) {
        QStringList rows;
        for (int row = 0; row < select->FileList->count(); ++row)
            rows << select->FileList->item(row)->text();
        return rows;
    }

    QTemporaryDir m_lists;
    QTemporaryDir m_temp;
    QByteArray m_oldTmp;
    QLineEdit FFile;
    QLineEdit HFile;
    TMaruBtn HeaderBtn;
    TMaruBtn FutterBtn;
    TListF viewer;
    MessageCapture boxes;
    std::vector<EditorCall> editorCalls;
};

QStringList menuTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << (action->isSeparator() ? u"-"_s : action->text());
    return texts;
}

TEST_F(ListFTest, TheWindowHasItsDesignedMenusToolStripAndList) {
    EXPECT_FALSE(viewer.isVisible()) << "made hidden";
    EXPECT_EQ(viewer.windowTitle(), u"リストファイルビューア"_s);
    QStringList titles;
    for (const QAction* action : viewer.menuBar()->actions())
        titles << action->text();
    EXPECT_EQ(titles, (QStringList{u"ファイル(&F)"_s, u"処理(&X)"_s, u"設定(&S)"_s}));
    EXPECT_EQ(menuTexts(viewer.FileMnu), QStringList{u"閉じる(&C)"_s});
    EXPECT_EQ(menuTexts(viewer.ActMnu),
              (QStringList{u"リストを編集(&E)"_s, u"-"_s, u"リストの表示を更新(&N)"_s}));
    EXPECT_EQ(menuTexts(viewer.SetupMnu),
              (QStringList{u"フォント(&F)"_s, u"背景色(&B)"_s, u"-"_s, u"テキストエディタ(&E)"_s}));

    const std::tuple<QToolButton*, int, QString> buttons[] = {
        {viewer.ListEditBtn, 4, u"リストを編集"_s},
        {viewer.ReloadBtn, 29, u"リストの表示を更新"_s},
        {viewer.FontBtn, 64, u"フォントを設定"_s},
        {viewer.SpeedButton1, 89, u"背景色を設定"_s},
        {viewer.TextEditorBtn, 114, u"ﾃｷｽﾄｴﾃﾞｨﾀを設定"_s},
    };
    for (const auto& [button, left, hint] : buttons) {
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_EQ(button->geometry(), QRect(left, 4, 25, 25));
        EXPECT_EQ(button->toolTip(), hint);
        EXPECT_TRUE(button->autoRaise());
    }
    EXPECT_EQ(viewer.SpeedButton1->text(), u"色"_s);
    EXPECT_TRUE(viewer.SpeedButton1->font().bold());
    // Our own pictures, and the greyed copies where the design has them.
    for (QToolButton* button : {viewer.ListEditBtn, viewer.FontBtn, viewer.TextEditorBtn}) {
        SCOPED_TRACE(button->objectName().toStdString());
        const QIcon icon = button->icon();
        const QImage normal = icon.pixmap(16, 16).toImage();
        const QImage greyed = icon.pixmap({16, 16}, QIcon::Disabled).toImage();
        ASSERT_EQ(normal.size(), QSize(16, 16));
        EXPECT_NE(normal, greyed);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QColor pixel = greyed.pixelColor(x, y);
                if (pixel.alpha() != 0) {
                    EXPECT_TRUE(pixel == QColor(128, 128, 128) || pixel == QColor(Qt::white))
                        << x << "," << y;
                }
            }
        }
    }
    EXPECT_EQ(viewer.ReloadBtn->icon().pixmap(16, 16).size(), QSize(16, 16));

    // At a display scale of 2 each picture is drawn at 32 x 32, not enlarged: a smoothed
    // enlargement would bring in colours the picture does not have.
    for (QToolButton* button :
         {viewer.ListEditBtn, viewer.ReloadBtn, viewer.FontBtn, viewer.TextEditorBtn}) {
        SCOPED_TRACE(button->objectName().toStdString());
        for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
            const QImage small = button->icon().pixmap({16, 16}, 1.0, mode).toImage();
            const QImage sharp = button->icon().pixmap({16, 16}, 2.0, mode).toImage();
            ASSERT_EQ(sharp.size(), QSize(32, 32));
            QSet<QRgb> own;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    own.insert(small.pixel(x, y));
            int foreign = 0;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x)
                    foreign += !own.contains(sharp.pixel(x, y));
            EXPECT_EQ(foreign, 0) << mode;
        }
    }

    viewer.show();
    EXPECT_EQ(viewer.frameGeometry().size(), QSize(514, 359));
    EXPECT_EQ(viewer.ToolPanel->geometry(), QRect(0, 0, viewer.centralWidget()->width(), 33));
    EXPECT_EQ(viewer.ListBox->geometry(),
              QRect(0, 33, viewer.centralWidget()->width(), viewer.centralWidget()->height() - 33));
    EXPECT_EQ(viewer.ListBox->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(viewer.ListBox->font().family(), u"ＭＳ ゴシック"_s);
    EXPECT_EQ(viewer.ListBox->font().pixelSize(), 12);
    EXPECT_EQ(viewer.ListBox->palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(viewer.ListBox->palette().color(QPalette::Text), QColor(Qt::white));
    writeList(u"a.mfl"_s, "x\r\n");
    viewer.LoadListBtnClick();
    EXPECT_EQ(viewer.ListBox->sizeHintForRow(0), 12);
}

TEST_F(ListFTest, TheFooterListsAreShownLineByLineWithNothingBetweenFiles) {
    writeList(u"b.mfl"_s, "z\r\n");
    writeList(u"a.mfl"_s, "x\r\ny\r\n");
    writeList(u"c.mhl"_s, "header\r\n");
    viewer.LoadListBtnClick();
    EXPECT_EQ(rowsOf(viewer), (QStringList{u"x"_s, u"y"_s, u"z"_s}));
    EXPECT_EQ(viewer.HorF, u"F"_s);
    EXPECT_EQ(viewer.ListFileName, list(u"*.mfl"_s));
    EXPECT_TRUE(boxes.messages.empty());
    // The merge ran through its own file in the "TMP" folder and removed it.
    const QString tmpFile = QString::fromStdString(viewer.ListMerge.TmpListFile);
    EXPECT_TRUE(tmpFile.startsWith(m_temp.path() + u"/_Morvex_"_s)) << tmpFile.toStdString();
    EXPECT_TRUE(tmpFile.endsWith(u".tmp"_s));
    EXPECT_EQ(QString::fromStdString(viewer.ListMerge.TmpListLbl), list(u"b.mfl"_s));
    EXPECT_TRUE(tempFiles().isEmpty());
}

TEST_F(ListFTest, EmptyCommentAndShiftJisLinesAreRowsOfTheirOwn) {
    writeList(u"a.mhl"_s, "\r\n; comment\r\n" + sjis::encode(u"こんにちは、\\Hさん"_s) +
                              "\r\n\r\nlast without line end");
    writeList(u"b.mhl"_s, "\x82\xA0\r\n"); // "あ"
    viewer.LoadHeadListBtnClick();
    EXPECT_EQ(rowsOf(viewer), (QStringList{u""_s, u"; comment"_s, u"こんにちは、\\Hさん"_s, u""_s,
                                           u"last without line endあ"_s}));
    EXPECT_EQ(viewer.HorF, u"H"_s);
    EXPECT_EQ(viewer.listModel()->rowBytes(4), QByteArrayView("last without line end\x82\xA0"));
    EXPECT_TRUE(QString::fromStdString(viewer.ListMerge.TmpListFile).endsWith(u".tmh"_s));
}

TEST_F(ListFTest, EachListIsDecodedInItsOwnEncodingAndTheCaptionNamesTheUtf8Ones) {
    writeList(u"a.mfl"_s, sjis::encode(u"署名\r\n表計算\r\n"_s));
    writeList(u"b.mfl"_s, "\xEF\xBB\xBF" + u"絵文字 😀\r\n〜\r\n"_s.toUtf8());
    writeList(u"c.mfl"_s, "\x82\xA0\r\n\xB1\r\n"); // あ and ｱ in Shift-JIS
    writeList(u"d.mfl"_s, u"ｱｲｳ\n"_s.toUtf8());    // UTF-8 without a byte-order mark
    viewer.LoadListBtnClick();
    EXPECT_EQ(rowsOf(viewer), (QStringList{u"署名"_s, u"表計算"_s, u"絵文字 😀"_s, u"〜"_s, u"あ"_s,
                                           u"ｱ"_s, u"ｱｲｳ"_s}));
    EXPECT_EQ(viewer.windowTitle(), u"リストファイルビューア（UTF-8: b.mfl, d.mfl）"_s);
    // Shift-JIS lists alone keep the designed caption.
    viewer.LoadHeadListBtnClick();
    EXPECT_EQ(viewer.windowTitle(), u"リストファイルビューア"_s);
}

TEST_F(ListFTest, EachEntryOfWeightedListsShowsItsWeight) {
    writeList(u"a.mfl"_s, ";@weight 3\r\nx\r\n\r\ny\r\n");
    writeList(u"b.mfl"_s, "z\r\n");
    writeList(u"c.mhl"_s, "plain\r\n;@weight 1\r\nh\r\n");
    const auto weights = [this] {
        QStringList out;
        const MergedListModel* model = viewer.listModel();
        for (int row = 0; row < model->rowCount(); ++row)
            out << model->data(model->index(row), Qt::ToolTipRole).toString();
        return out;
    };
    viewer.LoadListBtnClick();
    EXPECT_EQ(rowsOf(viewer), (QStringList{u";@weight 3"_s, u"x"_s, u""_s, u"y"_s, u"z"_s}));
    EXPECT_EQ(weights(), (QStringList{u""_s, u"重み 3"_s, u""_s, u"重み 3"_s, u"重み 1"_s}));
    EXPECT_EQ(viewer.listModel()->data(viewer.listModel()->index(1), MergedListModel::kWeightRole),
              QVariant(3));
    viewer.LoadHeadListBtnClick();
    EXPECT_EQ(weights(), (QStringList{u""_s, u""_s, u""_s})) << "no weights, nothing shown";
}

TEST_F(ListFTest, TheTemporaryFolderIsTmpWithoutItsTrailingSlashElseTheSystemOne) {
    qputenv("TMP", QFile::encodeName(m_temp.path() + u"/"_s));
    EXPECT_EQ(QString::fromStdString(TListF::tempDirectory()), m_temp.path() + u"/"_s);
    qputenv("TMP", "");
    EXPECT_EQ(TListF::tempDirectory(), systemTempDir());
    qunsetenv("TMP");
    EXPECT_EQ(TListF::tempDirectory(), systemTempDir());
}

TEST_F(ListFTest, AMergeThatCannotMakeItsFileKeepsTheRows) {
    writeList(u"a.mfl"_s, "kept\r\n");
    viewer.LoadListBtnClick();
    writeList(u"a.mfl"_s, "new\r\n");
    qputenv("TMP", QFile::encodeName(m_temp.path() + u"/missing"_s));
    viewer.ReloadClick();
    EXPECT_EQ(rowsOf(viewer), QStringList{u"kept"_s});
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0],
              std::pair(u"エラー"_s, u"テンポラリファイルの作成に失敗しました"_s));
}

int failLockedOpen(const char* path, int flags, mode_t mode) {
    if (std::strstr(path, "locked")) {
        errno = EACCES;
        return -1;
    }
    return sys::realCalls().open(path, flags, mode);
}

TEST_F(ListFTest, AListThatCannotBeOpenedIsNamedByItsKindAndTheOthersAreShown) {
    const sys::Calls saved = sys::calls();
    sys::calls().open = failLockedOpen;
    writeList(u"a.mfl"_s, "a\r\n");
    writeList(u"b-locked.mfl"_s, "b\r\n");
    writeList(u"h-locked.mhl"_s, "h\r\n");
    writeList(u"i.mhl"_s, "i\r\n");
    viewer.LoadListBtnClick();
    EXPECT_EQ(rowsOf(viewer), QStringList{u"a"_s});
    viewer.LoadHeadListBtnClick();
    EXPECT_EQ(rowsOf(viewer), QStringList{u"i"_s});
    sys::calls() = saved;
    ASSERT_EQ(boxes.messages.size(), 2u);
    EXPECT_EQ(boxes.messages[0], std::pair(u"エラー"_s, u"フッタリストが開けませんでした"_s));
    EXPECT_EQ(boxes.messages[1], std::pair(u"エラー"_s, u"ヘッダリストが開けませんでした"_s));
}

TEST_F(ListFTest, AReloadTakesTheNewHeaderPatternWhichTheEditCommandThenUses) {
    writeList(u"one.mhl"_s, "one\r\n");
    QDir(m_lists.path()).mkdir(u"other"_s);
    writeList(u"other/two.mhl"_s, "two\r\n");
    HFile.setText(list(u"one.mhl"_s));
    viewer.LoadHeadListBtnClick();
    HFile.setText(list(u"other/*.mhl"_s));
    EXPECT_EQ(viewer.ListFileName, list(u"one.mhl"_s)) << "recorded at the load, not live";
    viewer.ReloadMnu->trigger();
    EXPECT_EQ(rowsOf(viewer), QStringList{u"two"_s});
    EXPECT_EQ(viewer.ListFileName, list(u"other/*.mhl"_s));

    HFile.setText(list(u"one.mhl"_s)); // changed again, but not reloaded
    editLists([&](TSelectListF* select) {
        EXPECT_EQ(allRows(select), QStringList{list(u"other/two.mhl"_s)});
    });
}

TEST_F(ListFTest, TheFooterButtonWhileHeadersAreShownReplacesTheRows) {
    writeList(u"a.mhl"_s, "head\r\n");
    writeList(u"a.mfl"_s, "foot\r\n");
    viewer.LoadHeadListBtnClick();
    viewer.LoadListBtnClick();
    EXPECT_EQ(rowsOf(viewer), QStringList{u"foot"_s});
    EXPECT_EQ(viewer.HorF, u"F"_s);
    viewer.ReloadBtn->click();
    EXPECT_EQ(rowsOf(viewer), QStringList{u"foot"_s});
}

TEST_F(ListFTest, ThreeListsAreAllSelectedAndEachPressStartsOneEditorPerRowInOrder) {
    for (const char* name : {"c.mfl", "a.mfl", "b.mfl"})
        writeList(QString::fromLatin1(name), "x\r\n");
    viewer.LoadListBtnClick();
    viewer.TextEditorLbl = u"emacsclient -n"_s;
    const QStringList expected{list(u"a.mfl"_s), list(u"b.mfl"_s), list(u"c.mfl"_s)};
    editLists([&](TSelectListF* select) {
        EXPECT_EQ(allRows(select), expected);
        EXPECT_EQ(selectedRows(select), expected);
        select->TextEditBtn->click();
        EXPECT_TRUE(select->isVisible()) << "the dialog stays open";
        select->FileList->item(0)->setSelected(false);
        QTest::keyClick(select, Qt::Key_Return); // Enter presses 編集 again
    });
    std::vector<EditorCall> want;
    for (const QString& path : expected)
        want.push_back({u"emacsclient"_s, {u"-n"_s, path}});
    for (const QString& path : expected.mid(1))
        want.push_back({u"emacsclient"_s, {u"-n"_s, path}});
    EXPECT_EQ(editorCalls, want);
}

TEST_F(ListFTest, ABarePatternGivesBareNamesAndNoMatchAnEmptyDialog) {
    writeList(u"a.mfl"_s, "x\r\n");
    const CurrentDir inLists(m_lists.path());
    viewer.TextEditorLbl = u"editor"_s;
    FFile.setText(u"*.mfl"_s);
    viewer.LoadListBtnClick();
    editLists([&](TSelectListF* select) {
        EXPECT_EQ(allRows(select), QStringList{u"a.mfl"_s});
        select->TextEditBtn->click();
    });
    ASSERT_EQ(editorCalls.size(), 1u);
    EXPECT_EQ(editorCalls[0].arguments, QStringList{u"a.mfl"_s});

    FFile.setText(u"none*.mfl"_s);
    viewer.LoadListBtnClick();
    EXPECT_TRUE(rowsOf(viewer).isEmpty());
    editLists([&](TSelectListF* select) {
        EXPECT_EQ(select->FileList->count(), 0);
        select->TextEditBtn->click();
        EXPECT_TRUE(select->isVisible());
    });
    EXPECT_EQ(editorCalls.size(), 1u) << "編集 with no rows starts nothing";
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(ListFTest, TheFontDialogStartsAtTheListFontAndItsChoiceIsApplied) {
    queueFontDialogAnswer(std::nullopt);
    viewer.FontBtn->click();
    EXPECT_EQ(lastFontDialogStart().font.family(), u"IPAGothic"_s) << "the installed stand-in";
    EXPECT_DOUBLE_EQ(lastFontDialogStart().font.pointSizeF(), 9.0) << "12 pixels at 96 dpi";
    EXPECT_EQ(lastFontDialogStart().color, QColor(Qt::white));
    EXPECT_EQ(viewer.listFont().pixelSize(), 12);

    // The stand-in chosen again keeps the designed name.
    QFont same(u"IPAGothic"_s);
    same.setPointSize(9);
    queueFontDialogAnswer(FontChoice{same, QColor(Qt::white)});
    viewer.FontBtn->click();
    EXPECT_EQ(viewer.listFont().family(), u"ＭＳ ゴシック"_s);

    QFont chosen(u"IPAPGothic"_s);
    chosen.setPointSize(12);
    chosen.setItalic(true);
    chosen.setUnderline(true);
    queueFontDialogAnswer(FontChoice{chosen, QColor(255, 255, 0)});
    viewer.Font1->trigger();
    EXPECT_EQ(viewer.listFontColor(), TColor(0x0000FFFF));
    EXPECT_EQ(viewer.ListBox->palette().color(QPalette::Text), QColor(255, 255, 0));
    EXPECT_EQ(viewer.listBackColor(), clBlack);
    EXPECT_EQ(viewer.listFont().family(), u"IPAPGothic"_s);
    EXPECT_EQ(viewer.listFont().pixelSize(), 16);
    EXPECT_TRUE(viewer.listFont().italic());
    EXPECT_EQ(viewer.ListBox->font(), viewer.listFont());
    EXPECT_EQ(viewer.ListBox->sizeHintForRow(0), -1) << "no rows yet";
    writeList(u"a.mfl"_s, "x\r\n");
    viewer.LoadListBtnClick();
    EXPECT_EQ(viewer.ListBox->sizeHintForRow(0), 16) << "rows as high as the font";
    EXPECT_EQ(viewer.viewSettings().fontSize, 12);
    EXPECT_EQ(viewer.viewSettings().fontColor, 0x0000FFFFu);
}

TEST_F(ListFTest, TheColourDialogStartsFromItsOwnLastChoice) {
    queueColorDialogAnswer(QColor(255, 0, 0));
    viewer.SpeedButton1->click();
    EXPECT_EQ(lastColorDialogStart(), QColor(Qt::black));
    EXPECT_EQ(viewer.listBackColor(), TColor(0x000000FF));
    EXPECT_EQ(viewer.ListBox->palette().color(QPalette::Base), QColor(255, 0, 0));

    ListViewSettings other = viewer.viewSettings();
    other.backColor = 0x00FF0000; // blue, as a stored value would bring
    viewer.applyViewSettings(other);
    queueColorDialogAnswer(std::nullopt);
    viewer.BackColor->trigger();
    EXPECT_EQ(lastColorDialogStart(), QColor(255, 0, 0));
    EXPECT_EQ(viewer.listBackColor(), TColor(0x00FF0000)) << "cancel keeps the colour";
}

TEST_F(ListFTest, TheEditorDialogSetsTheCommandOnlyWithOk) {
    const auto answer = [&](const QString& text, bool ok) {
        ModalWatcher watcher([&](QWidget* modal) {
            auto* edit = modal->findChild<QLineEdit*>(u"TextEditor"_s);
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(edit->text(), viewer.TextEditorLbl) << "starts at the current command";
            edit->setText(text);
            modal->findChild<QPushButton*>(ok ? u"Button2"_s : u"Button3"_s)->click();
        });
        viewer.TextEditorBtn->click();
    };
    answer(u"gedit"_s, false);
    EXPECT_EQ(viewer.TextEditorLbl, u"notepad"_s);
    answer(u"gedit --new-window"_s, true);
    EXPECT_EQ(viewer.TextEditorLbl, u"gedit --new-window"_s);
    answer(QString(), true);
    EXPECT_EQ(viewer.TextEditorLbl, QString());

    // An empty command is stored empty and starts nothing.
    viewer.show();
    viewer.close();
    EXPECT_EQ(storedText(kListView, u"TextEditor"_s), QString());
    writeList(u"a.mfl"_s, "x\r\n");
    viewer.LoadListBtnClick();
    editLists([](TSelectListF* select) { select->TextEditBtn->click(); });
    EXPECT_TRUE(editorCalls.empty());
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(ListFTest, TheFirstCloseReleasesBothButtonsAndStoresAllNineValues) {
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    EXPECT_FALSE(storedNumber(kListView, u"WindowWidth"_s).has_value()) << "opening stores nothing";
    HeaderBtn.setDown(true);
    ASSERT_TRUE(HeaderBtn.down());
    viewer.Close1->trigger();
    EXPECT_FALSE(viewer.isVisible());
    EXPECT_FALSE(HeaderBtn.down());
    EXPECT_FALSE(FutterBtn.down());
    const QRect frame = viewer.frameGeometry();
    EXPECT_EQ(storedNumber(kListView, u"WindowTop"_s), frame.top());
    EXPECT_EQ(storedNumber(kListView, u"WindowLeft"_s), frame.left());
    EXPECT_EQ(storedNumber(kListView, u"WindowWidth"_s), 514);
    EXPECT_EQ(storedNumber(kListView, u"WindowHeight"_s), 359);
    EXPECT_EQ(storedText(kListView, u"TextEditor"_s), u"notepad"_s);
    EXPECT_EQ(storedNumber(kListView, u"BackColor"_s), 0);
    EXPECT_EQ(storedText(kListView, u"FontName"_s), u"ＭＳ ゴシック"_s);
    EXPECT_EQ(storedNumber(kListView, u"FontColor"_s), 16777215);
    EXPECT_EQ(storedNumber(kListView, u"FontSize"_s), 9);
}

TEST_F(ListFTest, StoredValuesApplyAtEveryOpeningAndChangesLastUntilTheNext) {
    writeNumbers(kListView, {{u"WindowTop"_s, 40},
                             {u"WindowLeft"_s, 30},
                             {u"WindowWidth"_s, 600},
                             {u"WindowHeight"_s, 300},
                             {u"BackColor"_s, 0x00FF0000},
                             {u"FontColor"_s, 0x0000FFFF},
                             {u"FontSize"_s, 12}});
    writeText(kListView, u"TextEditor"_s, u"/usr/bin/editor with space"_s);
    EXPECT_EQ(viewer.TextEditorLbl, u"notepad"_s) << "nothing is read before the first show";
    viewer.show();
    EXPECT_EQ(viewer.frameGeometry(), QRect(30, 40, 600, 300));
    EXPECT_EQ(viewer.TextEditorLbl, u"/usr/bin/editor with space"_s);
    EXPECT_EQ(viewer.ListBox->palette().color(QPalette::Base), QColor(0, 0, 255));
    EXPECT_EQ(viewer.ListBox->palette().color(QPalette::Text), QColor(255, 255, 0));
    EXPECT_EQ(viewer.listFont().pixelSize(), 16);
    EXPECT_EQ(viewer.listFont().family(), u"ＭＳ ゴシック"_s) << "absent: kept";

    viewer.resize(560, 280);
    viewer.TextEditorLbl = u"vi"_s;
    viewer.close();
    EXPECT_EQ(storedNumber(kListView, u"WindowWidth"_s), viewer.frameGeometry().width());
    EXPECT_EQ(storedNumber(kListView, u"WindowHeight"_s), viewer.frameGeometry().height());
    EXPECT_GT(viewer.frameGeometry().width(), 559) << "outer sizes";
    EXPECT_EQ(storedText(kListView, u"TextEditor"_s), u"vi"_s);
    writeText(kListView, u"TextEditor"_s, u"kate"_s);
    viewer.TextEditorLbl = u"changed while hidden"_s;
    viewer.show();
    EXPECT_EQ(viewer.TextEditorLbl, u"kate"_s);
}

TEST_F(ListFTest, AStoredPlaceOffScreenOrFromAnotherScaleShowsTheWholeFrameOnAScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const struct {
        int left, top, width, height;
        std::optional<QPoint> expected; // none: wherever the system puts it
    } cases[] = {
        {30, 40, 514, 359, QPoint(30, 40)},
        {100, -11, 514, 359, QPoint(100, 0)}, // the title bar above the screen
        {screen.right() - 20, screen.bottom() - 20, 514, 359,
         QPoint(screen.right() - 513, screen.bottom() - 358)},
        {-400, 200, 514, 359, QPoint(0, 200)},
        // Stored at another scale: a place and a size beyond this screen.
        {screen.width() / 2, screen.height() / 2, screen.width() * 2, screen.height() * 2,
         QPoint(0, 0)},
        {screen.width() * 2, 620, 514, 359, std::nullopt},
        {5000, 5000, 514, 359, std::nullopt},
        {-2000, 100, 514, 359, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.left) + "," + std::to_string(c.top));
        writeNumbers(kListView, {{u"WindowTop"_s, c.top},
                                 {u"WindowLeft"_s, c.left},
                                 {u"WindowWidth"_s, c.width},
                                 {u"WindowHeight"_s, c.height}});
        viewer.show();
        const QRect frame = viewer.frameGeometry();
        EXPECT_TRUE(screen.contains(frame))
            << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
        if (c.expected) {
            EXPECT_EQ(frame.topLeft(), *c.expected);
        }
        viewer.close();
        // What the design stores: the frame where it was shown.
        EXPECT_EQ(storedNumber(kListView, u"WindowTop"_s), frame.top());
    }
}

TEST_F(ListFTest, AStoredFontSizeOutOfReachKeepsOrLimitsTheSize) {
    for (const auto& [stored, pixels] :
         {std::pair(0, 12), std::pair(-5, 12), std::pair(0x7FFFFFFF, 4096), std::pair(1, 1)}) {
        writeNumbers(kListView, {{u"FontSize"_s, stored}});
        viewer.show();
        EXPECT_EQ(viewer.listFont().pixelSize(), pixels) << stored;
        viewer.hide();
    }
}

TEST_F(ListFTest, AStoredFontNameIsCutToThirtyOneShiftJisBytesBetweenCharacters) {
    // "a" and sixteen two-byte characters: 33 bytes, the 31st the first half of a character.
    writeText(kListView, u"FontName"_s, u"aＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰ"_s);
    viewer.show();
    EXPECT_EQ(viewer.listFont().family(), u"aＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯ"_s);
}

TEST_F(ListFTest, TheOlderKeyIsAppliedMovedAndRemovedAtTheFirstOpening) {
    writeNumbers(kOldListView, {{u"WindowWidth"_s, 640}, {u"FontSize"_s, 10}});
    writeText(kOldListView, u"TextEditor"_s, u"mousepad"_s);
    writeText(kListView, u"TextEditor"_s, u"kate"_s);
    writeList(u"a.mfl"_s, "x\r\n");
    viewer.LoadListBtnClick();
    EXPECT_TRUE(storedText(kOldListView, u"TextEditor"_s).has_value()) << "not moved by a load";
    viewer.show();
    EXPECT_FALSE(storedText(kOldListView, u"TextEditor"_s).has_value());
    {
        SettingsStore store;
        EXPECT_FALSE(store.StoreOpen(kOldListView, false)) << "the older key is gone";
    }
    EXPECT_EQ(viewer.TextEditorLbl, u"mousepad"_s);
    EXPECT_EQ(viewer.frameGeometry().width(), 640);
    EXPECT_EQ(viewer.listFont().pixelSize(), 13);
    // The window, holding the older values, is written over the current key, and all nine
    // values are there before the first close.
    EXPECT_EQ(storedText(kListView, u"TextEditor"_s), u"mousepad"_s);
    EXPECT_EQ(storedNumber(kListView, u"WindowWidth"_s), 640);
    EXPECT_EQ(storedNumber(kListView, u"FontSize"_s), 10);
    EXPECT_EQ(storedNumber(kListView, u"FontColor"_s), 16777215);
    EXPECT_EQ(storedText(kListView, u"FontName"_s), u"ＭＳ ゴシック"_s);
}

} // namespace
} // namespace morvex::test
