// The main window as laid out: every control at its place with its text, hint and limit.
#include "controls/MaruBtn.h"
#include "gui/DesignedWindow.h"
#include "gui/GuiStartup.h"
#include "tests/app/MainWindowTestSupport.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFontInfo>
#include <QFrame>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

struct ControlRow {
    const char* name;
    QRect place; ///< width and height 0: an auto-sized label, only its corner is designed
    QString text;
    QString hint;
    int maxLength = -1;
};

QString textOf(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    if (const auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    return {};
}

TEST_F(MainWindowTest, EveryControlHasItsDesignedPlaceTextHintAndLimit) {
    TMorvexF& w = create({u"/x"_s});
    const ControlRow rows[] = {
        {"SrcLbl", {4, 8, 0, 0}, u"変換ﾌｧｲﾙ:"_s, {}},
        {"SrcFile", {60, 5, 269, 40}, {}, {}},
        {"SrcEditBtn", {4, 24, 53, 21}, u"編集(&E)..."_s, {}},
        {"Label6", {8, 56, 0, 0}, u"ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙの拡張子(&B):"_s, {}},
        {"BackExt",
         {148, 54, 33, 18},
         u".bak"_s,
         u"同名ﾌｧｲﾙ時のﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙの拡張子を指定します（｢.｣も付ける）"_s,
         4},
        {"Label1", {8, 76, 0, 0}, u"行頭の"_s, {}},
        {"HeadConvChar",
         {48, 73, 15, 18},
         u"]"_s,
         u"この文字が行頭にあるとヘッダに変換されます"_s,
         1},
        {"Label2", {66, 76, 0, 0}, u"をﾍｯﾀﾞに変換する。"_s, {}},
        {"Label4", {8, 97, 0, 0}, u"行頭の"_s, {}},
        {"ConvChar", {48, 94, 15, 18}, u")"_s, u"この文字が行頭にあるとフッタに変換されます"_s, 1},
        {"Label5", {66, 97, 0, 0}, u"をﾌｯﾀに変換する。"_s, {}},
        {"ConvBtn", {194, 54, 135, 59}, u"変換(&C)"_s, u"ヘッダ・フッタを挿入し変換を行います"_s},
        {"HeaderLbl", {4, 124, 0, 0}, u"ﾍｯﾀﾞﾘｽﾄ(&H):"_s, {}},
        {"HeaderBtn", {66, 122, 17, 17}, {}, {}},
        {"HFile",
         {86, 122, 200, 18},
         ui(w).HFile->text(),
         u"ヘッダリストファイルを設定します（ﾜｲﾙﾄﾞｶｰﾄﾞ(*･?)が使えます）"_s},
        {"HBBtn", {290, 122, 39, 18}, u"参照..."_s, {}},
        {"FutterLbl", {4, 144, 0, 0}, u"ﾌｯﾀﾘｽﾄ(&L):"_s, {}},
        {"FutterBtn", {66, 142, 17, 17}, {}, {}},
        {"FFile",
         {86, 142, 200, 18},
         ui(w).FFile->text(),
         u"フッタリストファイルを設定します（ﾜｲﾙﾄﾞｶｰﾄﾞ(*･?)が使えます）"_s},
        {"FBBtn", {290, 142, 39, 18}, u"参照..."_s, {}},
    };
    for (const ControlRow& row : rows) {
        SCOPED_TRACE(row.name);
        const auto* control = ui(w).MainPnl->findChild<QWidget*>(QString::fromLatin1(row.name));
        ASSERT_NE(control, nullptr);
        if (row.place.width() == 0)
            EXPECT_EQ(control->pos(), row.place.topLeft());
        else
            EXPECT_EQ(control->geometry(), row.place);
        EXPECT_EQ(textOf(control), row.text);
        EXPECT_EQ(control->toolTip(), row.hint);
        if (row.maxLength >= 0) {
            EXPECT_EQ(qobject_cast<const QLineEdit*>(control)->maxLength(), row.maxLength);
        }
    }
    EXPECT_EQ(ui(w).Label6->buddy(), ui(w).BackExt);
    EXPECT_EQ(ui(w).HeaderLbl->buddy(), ui(w).HFile);
    EXPECT_EQ(ui(w).FutterLbl->buddy(), ui(w).FFile);
    EXPECT_FALSE(ui(w).ConvBtn->icon().isNull());
    for (TMaruBtn* round : {ui(w).HeaderBtn, ui(w).FutterBtn}) {
        EXPECT_EQ(round->groupIndex(), 1);
        EXPECT_TRUE(round->allowAllUp());
        EXPECT_FALSE(round->down());
    }
}

// The start's layer over the desktop's style changes nothing drawn: the same window, the same
// palette, the same overflow picture (read when first drawn), also once a later style replaces it.
TEST_F(MainWindowTest, TheStartStyleLayerDrawsAsTheDesktopStyleDoes) {
    QStyle* desktop = QApplication::style();
    const QPalette palette = QApplication::palette();
    const QIcon overflow = desktop->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
    const QImage before = create().grab().toImage();
    window.reset();

    installLazyIconStyle();
    ASSERT_NE(QApplication::style(), desktop);
    EXPECT_EQ(QApplication::style()->objectName(), desktop->objectName());
    EXPECT_EQ(QApplication::palette(), palette);
    TMorvexF& w = create();
    EXPECT_EQ(w.grab().toImage(), before);
    const QIcon lazy = child<QToolButton>(w, "qt_menubar_ext_button")->icon();
    ASSERT_FALSE(lazy.isNull());
    for (int side : {8, 16, 32})
        EXPECT_EQ(lazy.pixmap(side).toImage(), overflow.pixmap(side).toImage()) << side;

    const QIcon unread =
        QApplication::style()->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
    QApplication::setStyle(u"Fusion"_s); // deletes the layer and the style under it
    EXPECT_FALSE(unread.pixmap(16).isNull());
}

TEST_F(MainWindowTest, TheWindowIsSmallFixedAndMinimiseOnly) {
    TMorvexF& w = create({u"/x"_s});
    EXPECT_EQ(w.windowTitle(), u"Morvex"_s);
    EXPECT_EQ(w.centralWidget()->size(), QSize(332, 161));
    EXPECT_EQ(ui(w).MainPnl->geometry(), QRect(0, 0, 332, 164));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(w.height(), w.menuBar()->sizeHint().height() + 161);
    const Qt::WindowFlags flags = w.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    // The designed "ＭＳ Ｐゴシック", asked for by its installed stand-in.
    EXPECT_EQ(w.font().family(), designedFamily(u"ＭＳ Ｐゴシック"_s));
    EXPECT_EQ(QFontInfo(w.font()).family(), u"IPAPGothic"_s);
    EXPECT_EQ(w.font().pixelSize(), 12);
    for (const auto& [name, place] :
         {std::pair{"Bevel1", QRect(0, 0, 332, 2)}, std::pair{"Bevel2", QRect(0, 48, 333, 2)},
          std::pair{"Bevel3", QRect(0, 117, 333, 2)}, std::pair{"Bevel4", QRect(188, 49, 2, 68)}}) {
        const auto* line = ui(w).MainPnl->findChild<QFrame*>(QString::fromLatin1(name));
        ASSERT_NE(line, nullptr) << name;
        EXPECT_EQ(line->geometry(), place) << name;
        EXPECT_EQ(line->frameShadow(), QFrame::Sunken) << name;
    }
}

TEST_F(MainWindowTest, TabOrderRunsFromTheConvertButtonToTheFooterBrowseButton) {
    TMorvexF& w = create({u"/x"_s});
    const QWidget* expected[] = {ui(w).ConvBtn,      ui(w).SrcEditBtn, ui(w).SrcFile, ui(w).BackExt,
                                 ui(w).HeadConvChar, ui(w).ConvChar,   ui(w).HFile,   ui(w).HBBtn,
                                 ui(w).FFile,        ui(w).FBBtn};
    const QWidget* current = ui(w).ConvBtn;
    for (const QWidget* next : expected) {
        EXPECT_EQ(current, next) << next->objectName().toStdString();
        do
            current = current->nextInFocusChain();
        while (current->focusPolicy() == Qt::NoFocus || !current->isWidgetType());
    }
    EXPECT_EQ(ui(w).HeaderBtn->focusPolicy(), Qt::NoFocus);
}

QStringList itemsOf(const QMenu* menu) {
    QStringList items;
    for (const QAction* action : menu->actions()) {
        items << action->objectName() + u'=' + (action->isSeparator() ? u"-"_s : action->text()) +
                     (action->isVisible() ? QString() : u" (hidden)"_s);
    }
    return items;
}

TEST_F(MainWindowTest, MenusHoldTheirDesignedItemsWithoutShortcutKeys) {
    TMorvexF& w = create({u"/x"_s});
    QStringList titles;
    for (const QAction* menu : w.menuBar()->actions())
        titles << menu->menu()->objectName() + u'=' + menu->text();
    EXPECT_EQ(titles, (QStringList{u"File=ファイル(&F)"_s, u"Act=処理(X)"_s, u"Setup=設定(&S)"_s,
                                   u"Help=ヘルプ(&H)"_s}));
    EXPECT_EQ(
        itemsOf(ui(w).File),
        (QStringList{u"SrcOpenMnu=変換元ﾌｧｲﾙを開く(&S)..."_s,
                     u"OutOpenMnu=変換先ﾌｧｲﾙを開く(&O)..."_s, u"N7=-"_s, u"UndoMnu=元に戻す(&U)"_s,
                     u"N1=-"_s, u"HeaderOpenMnu=ヘッダリストを開く(&H)..."_s,
                     u"FutterOpenMnu=フッタリストを開く(&F)..."_s,
                     u"SampleListMnu=サンプルのリストを作成"_s, u"N2=-"_s, u"Exit=終了(&X)"_s}));
    EXPECT_EQ(itemsOf(ui(w).Act), QStringList{u"ConvMnu=変換(&C)"_s});
    EXPECT_EQ(itemsOf(ui(w).Setup), QStringList{u"ShowResultSetting=動作環境(&E)..."_s});
    EXPECT_EQ(itemsOf(ui(w).Help),
              (QStringList{u"Contents=目次(&C)"_s, u"N3=-"_s, u"About=バージョン情報(&A)"_s}));
    EXPECT_EQ(itemsOf(ui(w).HeaderBPMnu), (QStringList{u"HeaderDirB=フォルダで参照(&D)"_s,
                                                       u"HeaderFileB=ファイルで参照(&F)"_s}));
    EXPECT_EQ(itemsOf(ui(w).FutterBPMnu), (QStringList{u"FutterDirB=フォルダで参照(&D)"_s,
                                                       u"FutterFileB=ファイルで参照(&F)"_s}));
    EXPECT_EQ(itemsOf(ui(w).ObserveMnu),
              (QStringList{u"Show1=Show (hidden)"_s, u"N6=- (hidden)"_s, u"KS1=設定(&S) (hidden)"_s,
                           u"N5=- (hidden)"_s, u"KA1=バージョン情報(&A)"_s, u"N4=-"_s,
                           u"Exit1=終了(&X)"_s}));
    for (const QMenu* menu : w.findChildren<QMenu*>()) {
        for (const QAction* action : menu->actions())
            EXPECT_TRUE(action->shortcut().isEmpty()) << action->objectName().toStdString();
    }
}

// Alt+H is also the Help menu's key: a control's accelerator comes before the menu bar's.
TEST_F(MainWindowTest, LabelAcceleratorsFocusTheirFieldsAndAltHIsTheHelpMenus) {
    TMorvexF& w = create();
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const std::pair<Qt::Key, QWidget*> rows[] = {{Qt::Key_B, ui(w).BackExt},
                                                 {Qt::Key_L, ui(w).FFile}};
    for (const auto& [key, field] : rows) {
        ui(w).ConvBtn->setFocus();
        QTest::keyClick(&w, key, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }))
            << field->objectName().toStdString();
        EXPECT_FALSE(ui(w).Help->isVisible());
    }

    // Alt+H and then A, the usual way to the about box, reach it and leave the header alone.
    const QString pattern = ui(w).HFile->text();
    ui(w).ConvBtn->setFocus();
    ModalWatcher watcher([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    QTest::keyClick(&w, Qt::Key_H, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui(w).Help->isVisible(); }));
    EXPECT_FALSE(ui(w).HFile->hasFocus());
    QTest::keyClick(ui(w).Help, Qt::Key_A);
    EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.names() == QStringList{u"AboutF"_s}; }));
    EXPECT_EQ(ui(w).HFile->text(), pattern);
}

TEST_F(MainWindowTest, SourceRowsShowTheFileNameWholeWithTheFullPathAsTooltip) {
    TMorvexF& w = create({u"/x"_s});
    const QString longPath = u"/home/user/documents/bulletin-board/offline/2026/memo.up"_s;
    ui(w).SrcFile->addItems({u"today.up"_s, longPath});
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(ui(w).SrcFile->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_FALSE(ui(w).SrcFile->horizontalScrollBar()->isVisible());

    const auto* rows = dynamic_cast<PathRowDelegate*>(ui(w).SrcFile->itemDelegate());
    ASSERT_NE(rows, nullptr);
    QStyleOptionViewItem option;
    option.initFrom(ui(w).SrcFile->viewport());
    option.rect = ui(w).SrcFile->visualItemRect(ui(w).SrcFile->item(1));
    const QString shown = rows->shownText(option, longPath);
    EXPECT_TRUE(shown.startsWith(u"/home/"_s)) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(u"/memo.up"_s)) << shown.toStdString();
    EXPECT_LE(option.fontMetrics.horizontalAdvance(shown), option.rect.width());
    option.rect = ui(w).SrcFile->visualItemRect(ui(w).SrcFile->item(0));
    EXPECT_EQ(rows->shownText(option, u"today.up"_s), u"today.up"_s);

    // The row's tooltip is the whole entry.
    const QRect row = ui(w).SrcFile->visualItemRect(ui(w).SrcFile->item(1));
    QHelpEvent help(QEvent::ToolTip, row.center(),
                    ui(w).SrcFile->viewport()->mapToGlobal(row.center()));
    QCoreApplication::sendEvent(ui(w).SrcFile->viewport(), &help);
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 2000));
    EXPECT_EQ(QToolTip::text(), longPath);
    QToolTip::hideText();
}

TEST_F(MainWindowTest, NoAltCombinationReplacesAFieldsText) {
    TMorvexF& w = create();
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const QList<QLineEdit*> fields = {ui(w).BackExt, ui(w).HeadConvChar, ui(w).ConvChar,
                                      ui(w).HFile, ui(w).FFile};
    QStringList texts;
    for (const QLineEdit* field : fields)
        texts << field->text();
    // Whatever an Alt key opens is closed again before the next.
    ModalWatcher watcher([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    for (QLineEdit* focus : fields) {
        for (int key = Qt::Key_A; key <= Qt::Key_Z; ++key) {
            focus->setFocus();
            QTest::keyClick(&w, Qt::Key(key), Qt::AltModifier);
            for (QMenu* menu : w.findChildren<QMenu*>())
                menu->hide();
            QCoreApplication::processEvents();
            QStringList now;
            for (const QLineEdit* field : fields)
                now << field->text();
            ASSERT_EQ(now, texts) << "Alt+" << char(key) << " in "
                                  << focus->objectName().toStdString();
        }
    }
}

} // namespace
} // namespace morvex::test
