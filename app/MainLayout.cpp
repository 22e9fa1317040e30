// The layout of the main window: controls, lines, menus, dialogs and timers at their designed
// places, names and texts. The commands themselves are in Main_U.cpp.
#include "app/ConvPicture.h"
#include "app/Main_U.h"
#include "controls/FolderDialog.h"
#include "controls/MaruBtn.h"
#include "engine/PassValues.h"
#include "gui/DesignedWindow.h"
#include "modes/Unattended.h"
#include "settings/EngineBytes.h"
#include "windows/SjisByteValidator.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QtMath>
#include <utility>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

constexpr int kClientWidth = 332;
constexpr int kClientHeight = 161;

QPushButton* button(QWidget* parent, const QString& name, const QString& caption,
                    const QRect& place) {
    QPushButton* item = makeButton(parent, name, caption, place);
    // Enter on a focused button presses that button, as on the designed platform.
    item->setAutoDefault(true);
    return item;
}

TMaruBtn* roundButton(QWidget* parent, const QString& name, const QRect& place) {
    auto* item = named(new TMaruBtn(parent), name);
    item->setGeometry(place);
    item->setGroupIndex(1);
    item->setAllowAllUp(true);
    return item;
}

} // namespace

void TMorvexF::buildPanel() {
    setObjectName(u"MorvexF"_s);
    setWindowTitle(u"Morvex"_s);
    setFont(designedDialogFont());
    // The designed black text is the scheme's window text: black on a light scheme, and readable
    // on a dark one.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    auto* client = named(new QWidget(this), u"ClientArea"_s);
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);
    // 164 high in a client area of 161: the panel's lowest pixels lie under the window's edge.
    MainPnl = named(new QFrame(client), u"MainPnl"_s);
    MainPnl->setFrameShape(QFrame::NoFrame);
    MainPnl->setGeometry(0, 0, kClientWidth, 164);

    buildSourceRow();
    buildMarkerRows();
    buildListRows();
    buildEtchedLines();
    buildMainMenu();
    buildPopupMenus();
    buildDialogs();
    setTabOrder();
    describeControls();
    setFixedSize(kClientWidth, menuBar()->sizeHint().height() + kClientHeight);
}

void TMorvexF::buildSourceRow() {
    SrcLbl = makeLabel(MainPnl, u"SrcLbl"_s, u"変換ﾌｧｲﾙ:"_s, 4, 8);
    SrcFile = named(new QListWidget(MainPnl), u"SrcFile"_s);
    SrcFile->setGeometry(60, 5, 269, 40);
    SrcFile->setItemDelegate(new PathRowDelegate(12, SrcFile));
    SrcFile->setUniformItemSizes(true);
    // Rows are cut to the list's width, so there is nothing to scroll sideways to.
    SrcFile->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SrcEditBtn = button(MainPnl, u"SrcEditBtn"_s, u"編集(&E)..."_s, {4, 24, 53, 21});
    SrcFile->setAccessibleName(u"変換ﾌｧｲﾙ"_s);
}

void TMorvexF::buildMarkerRows() {
    Label6 = makeLabel(MainPnl, u"Label6"_s, u"ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙの拡張子(&B):"_s, 8, 56);
    BackExt = makeEdit(MainPnl, u"BackExt"_s, fromBytes(kDefaultBackupExt), {148, 54, 33, 18},
                       u"同名ﾌｧｲﾙ時のﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙの拡張子を指定します（｢.｣も付ける）"_s);
    BackExt->setMaxLength(static_cast<int>(kMaxBackupExtBytes));
    // The pass's own checks: bytes of Shift-JIS, as the pass takes them.
    limitToBackupExt(BackExt);
    Label6->setBuddy(BackExt);

    Label1 = makeLabel(MainPnl, u"Label1"_s, u"行頭の"_s, 8, 76);
    HeadConvChar = makeEdit(MainPnl, u"HeadConvChar"_s, QChar(char16_t{kDefaultHeaderMarker}),
                            {48, 73, 15, 18}, u"この文字が行頭にあるとヘッダに変換されます"_s);
    HeadConvChar->setMaxLength(static_cast<int>(kMaxMarkerBytes));
    limitToMarker(HeadConvChar);
    Label2 = makeLabel(MainPnl, u"Label2"_s, u"をﾍｯﾀﾞに変換する。"_s, 66, 76);

    Label4 = makeLabel(MainPnl, u"Label4"_s, u"行頭の"_s, 8, 97);
    ConvChar = makeEdit(MainPnl, u"ConvChar"_s, QChar(char16_t{kDefaultFooterMarker}),
                        {48, 94, 15, 18}, u"この文字が行頭にあるとフッタに変換されます"_s);
    ConvChar->setMaxLength(static_cast<int>(kMaxMarkerBytes));
    limitToMarker(ConvChar);
    Label5 = makeLabel(MainPnl, u"Label5"_s, u"をﾌｯﾀに変換する。"_s, 66, 97);
    // Their labels read around them ("行頭の" … "をﾍｯﾀﾞに変換する。"): one name says it whole.
    HeadConvChar->setAccessibleName(u"ﾍｯﾀﾞに変換する行頭の文字"_s);
    ConvChar->setAccessibleName(u"ﾌｯﾀに変換する行頭の文字"_s);

    ConvBtn = button(MainPnl, u"ConvBtn"_s, u"変換(&C)"_s, {194, 54, 135, 59});
    ConvBtn->setToolTip(u"ヘッダ・フッタを挿入し変換を行います"_s);
    ConvBtn->setIcon(convButtonPicture(qCeil(devicePixelRatioF())));
    ConvBtn->setIconSize(kConvPictureSize);
    ConvBtn->setDefault(true);
}

void TMorvexF::buildListRows() {
    HeaderLbl = makeLabel(MainPnl, u"HeaderLbl"_s, u"ﾍｯﾀﾞﾘｽﾄ(&H):"_s, 4, 124);
    HeaderBtn = roundButton(MainPnl, u"HeaderBtn"_s, {66, 122, 17, 17});
    HeaderBtn->setAccessibleName(u"ﾍｯﾀﾞﾘｽﾄを表示"_s);
    endCaptionBefore(HeaderLbl, HeaderBtn->x(), 3);
    HFile = makeEdit(MainPnl, u"HFile"_s, fromBytes(kHeaderListName), {86, 122, 200, 18},
                     u"ヘッダリストファイルを設定します（ﾜｲﾙﾄﾞｶｰﾄﾞ(*･?)が使えます）"_s);
    HeaderLbl->setBuddy(HFile);
    // Alt+H is the help menu's (buildMainMenu): the field is reached by Tab and click.
    HBBtn = button(MainPnl, u"HBBtn"_s, u"参照..."_s, {290, 122, 39, 18});

    FutterLbl = makeLabel(MainPnl, u"FutterLbl"_s, u"ﾌｯﾀﾘｽﾄ(&L):"_s, 4, 144);
    FutterBtn = roundButton(MainPnl, u"FutterBtn"_s, {66, 142, 17, 17});
    FutterBtn->setAccessibleName(u"ﾌｯﾀﾘｽﾄを表示"_s);
    endCaptionBefore(FutterLbl, FutterBtn->x(), 3);
    FFile = makeEdit(MainPnl, u"FFile"_s, fromBytes(kFooterListName), {86, 142, 200, 18},
                     u"フッタリストファイルを設定します（ﾜｲﾙﾄﾞｶｰﾄﾞ(*･?)が使えます）"_s);
    FutterLbl->setBuddy(FFile);
    FBBtn = button(MainPnl, u"FBBtn"_s, u"参照..."_s, {290, 142, 39, 18});
}

void TMorvexF::buildEtchedLines() {
    makeEtchedLine(MainPnl, u"Bevel1"_s, QFrame::HLine, {0, 0, kClientWidth, 2});
    makeEtchedLine(MainPnl, u"Bevel2"_s, QFrame::HLine, {0, 48, 333, 2});
    makeEtchedLine(MainPnl, u"Bevel3"_s, QFrame::HLine, {0, 117, 333, 2});
    makeEtchedLine(MainPnl, u"Bevel4"_s, QFrame::VLine, {188, 49, 2, 68});
}

void TMorvexF::buildMainMenu() {
    // The menu bar is part of the designed window, never moved into a desktop's global menu. Made
    // so from the start, it does not first ask the session bus whether a global menu is there.
    const bool nativeBarsOff = QCoreApplication::testAttribute(Qt::AA_DontUseNativeMenuBar);
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    QMenuBar* bar = menuBar();
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar, nativeBarsOff);
    bar->setObjectName(u"MainMenu"_s);
    bar->setNativeMenuBar(false);
    File = named(bar->addMenu(u"ファイル(&F)"_s), u"File"_s);
    SrcOpenMnu = addMenuItem(File, u"SrcOpenMnu"_s, u"変換元ﾌｧｲﾙを開く(&S)..."_s);
    OutOpenMnu = addMenuItem(File, u"OutOpenMnu"_s, u"変換先ﾌｧｲﾙを開く(&O)..."_s);
    // Our own items sit with their kind: the take-back by the files it takes back, the starter
    // lists by the list commands; 終了 stays last.
    N7 = addMenuSeparator(File, u"N7"_s);
    UndoMnu = addMenuItem(File, u"UndoMnu"_s, u"元に戻す(&U)"_s);
    UndoMnu->setEnabled(false);
    N1 = addMenuSeparator(File, u"N1"_s);
    HeaderOpenMnu = addMenuItem(File, u"HeaderOpenMnu"_s, u"ヘッダリストを開く(&H)..."_s);
    FutterOpenMnu = addMenuItem(File, u"FutterOpenMnu"_s, u"フッタリストを開く(&F)..."_s);
    SampleListMnu = addMenuItem(File, u"SampleListMnu"_s, u"サンプルのリストを作成"_s);
    N2 = addMenuSeparator(File, u"N2"_s);
    Exit = addMenuItem(File, u"Exit"_s, u"終了(&X)"_s);

    Act = named(bar->addMenu(u"処理(X)"_s), u"Act"_s);
    ConvMnu = addMenuItem(Act, u"ConvMnu"_s, u"変換(&C)"_s);

    Setup = named(bar->addMenu(u"設定(&S)"_s), u"Setup"_s);
    ShowResultSetting = addMenuItem(Setup, u"ShowResultSetting"_s, u"動作環境(&E)..."_s);

    Help = named(bar->addMenu(u"ヘルプ(&H)"_s), u"Help"_s);
    Contents = addMenuItem(Help, u"Contents"_s, u"目次(&C)"_s);
    N3 = addMenuSeparator(Help, u"N3"_s);
    About = addMenuItem(Help, u"About"_s, u"バージョン情報(&A)"_s);
    yieldAcceleratorToMenu(HeaderLbl, bar, Help);
}

void TMorvexF::buildPopupMenus() {
    HeaderBPMnu = named(new QMenu(this), u"HeaderBPMnu"_s);
    HeaderDirB = addMenuItem(HeaderBPMnu, u"HeaderDirB"_s, u"フォルダで参照(&D)"_s);
    HeaderFileB = addMenuItem(HeaderBPMnu, u"HeaderFileB"_s, u"ファイルで参照(&F)"_s);

    FutterBPMnu = named(new QMenu(this), u"FutterBPMnu"_s);
    FutterDirB = addMenuItem(FutterBPMnu, u"FutterDirB"_s, u"フォルダで参照(&D)"_s);
    FutterFileB = addMenuItem(FutterBPMnu, u"FutterFileB"_s, u"ファイルで参照(&F)"_s);

    ObserveMnu = named(new QMenu(this), u"ObserveMnu"_s);
    Show1 = addMenuItem(ObserveMnu, u"Show1"_s, u"Show"_s);
    N6 = addMenuSeparator(ObserveMnu, u"N6"_s);
    KS1 = addMenuItem(ObserveMnu, u"KS1"_s, u"設定(&S)"_s);
    N5 = addMenuSeparator(ObserveMnu, u"N5"_s);
    KA1 = addMenuItem(ObserveMnu, u"KA1"_s, u"バージョン情報(&A)"_s);
    N4 = addMenuSeparator(ObserveMnu, u"N4"_s);
    Exit1 = addMenuItem(ObserveMnu, u"Exit1"_s, u"終了(&X)"_s);
    for (QAction* hidden : {Show1, N6, KS1, N5})
        hidden->setVisible(false);
}

void TMorvexF::buildDialogs() {
    OutFileSave.title = u"変換先ﾌｧｲﾙの指定"_s;
    OutFileSave.filter = u"UPファイル (*.up)|*.up|全てのファイル (*.*)|*.*"_s;
    OutFileSave.save = true;

    HeaderFileOpen.title = u"ヘッダリストの選択"_s;
    HeaderFileOpen.filter = u"Morvex ヘッダリスト (*.mhl)|*.mhl|全てのﾌｧｲﾙ (*.*)|*.*"_s;
    HeaderFileOpen.mustExist = true;

    FutterFileOpen.title = u"フッタリストの選択"_s;
    FutterFileOpen.filter = u"Morvex フッタリスト (*.mfl)|*.mfl|全てのﾌｧｲﾙ (*.*)|*.*"_s;
    FutterFileOpen.mustExist = true;

    FolderDialog1 = named(new TFolderDialog(this), u"FolderDialog1"_s);
    AppRunTimer = makeTimer(this, u"AppRunTimer"_s, kAppRunTimerInterval);
    ObserveTimer = makeTimer(this, u"ObserveTimer"_s, kObserveTimerInterval);
}

void TMorvexF::setTabOrder() {
    QWidget* const order[] = {ConvBtn,  SrcEditBtn, SrcFile, BackExt, HeadConvChar,
                              ConvChar, HFile,      HBBtn,   FFile,   FBBtn};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    for (TMaruBtn* round : {HeaderBtn, FutterBtn})
        round->setFocusPolicy(Qt::NoFocus);
    ConvBtn->setFocus();
}

void TMorvexF::describeControls() {
    // The two browse buttons share a caption; the name says which list each one browses for.
    HBBtn->setAccessibleName(u"ヘッダリストを参照"_s);
    FBBtn->setAccessibleName(u"フッタリストを参照"_s);
    // Controls with a hint are described by it; these have none.
    const std::pair<QWidget*, QString> described[] = {
        {SrcFile, u"変換するｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙ（ﾜｲﾙﾄﾞｶｰﾄﾞ可）の一覧です。「編集」で追加・削除します"_s},
        {SrcEditBtn, u"変換ﾌｧｲﾙの一覧を編集します"_s},
        {HBBtn, u"ヘッダリストをフォルダかファイルで選びます"_s},
        {FBBtn, u"フッタリストをフォルダかファイルで選びます"_s},
        {HeaderBtn, u"ヘッダリストの内容をリストファイルビューアで表示します"_s},
        {FutterBtn, u"フッタリストの内容をリストファイルビューアで表示します"_s},
    };
    for (const auto& [control, description] : described)
        control->setAccessibleDescription(description);
}

} // namespace morvex
