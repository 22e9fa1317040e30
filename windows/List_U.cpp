#include "windows/List_U.h"

#include "controls/MaruBtn.h"
#include "engine/Messages.h"
#include "engine/Paths.h"
#include "gui/Accessibility.h"
#include "gui/DesignedWindow.h"
#include "gui/Dialogs.h"
#include "settings/EngineBytes.h"
#include "settings/ListViewGroup.h"
#include "windows/Editor_U.h"
#include "windows/ListModel.h"
#include "windows/Select_U.h"
#include "windows/StyleDialogs.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFontInfo>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <utility>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

const QString kCaption = u"リストファイルビューア"_s;

QToolButton* toolButton(QWidget* parent, const QString& name, int left, const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setGeometry(left, 4, 25, 25);
    button->setAutoRaise(true);
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// The picture and, where the design has one, its greyed copy for the disabled state; each
// drawn at twice the size too, which a display scale of 2 takes instead of a blurred enlargement.
// With `ink`, the picture's black is drawn in that colour instead (the button text of the scheme,
// so that a black letter stays readable on a dark tool strip).
QIcon toolPicture(const QString& name, bool greyed, const QColor& ink = Qt::black) {
    QIcon icon;
    const auto add = [&icon, &ink](const QString& file, QIcon::Mode mode) {
        for (const auto& [suffix, side] : {std::pair{u".png"_s, 16}, std::pair{u"@2x.png"_s, 32}}) {
            const QString path = u":/windows/pictures/"_s + file + suffix;
            if (mode != QIcon::Normal || ink == QColor(Qt::black)) {
                icon.addFile(path, {side, side}, mode);
                continue;
            }
            QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < image.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                std::replace(line, line + image.width(), qRgba(0, 0, 0, 255), ink.rgba());
            }
            icon.addPixmap(QPixmap::fromImage(image), mode);
        }
    };
    add(name, QIcon::Normal);
    if (greyed)
        add(name + u"-grey"_s, QIcon::Disabled);
    return icon;
}

} // namespace

TListF::TListF(QWidget* parent)
    : QMainWindow(parent)
    , m_model(new MergedListModel(this)) {
    setObjectName(u"ListF"_s);
    setWindowTitle(kCaption);
    buildMenus();

    auto* client = new QWidget(this);
    client->setObjectName(u"Client"_s);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolPanel();
    ToolPanel->setParent(client);
    layout->addWidget(ToolPanel);

    ListBox = new QListView(client);
    ListBox->setObjectName(u"ListBox"_s);
    describeControl(ListBox,
                    u"挿入されうるヘッダまたはフッタの項目。リストファイルの行のとおりです"_s,
                    u"リストの内容"_s);
    ListBox->setModel(m_model);
    ListBox->setItemDelegate(new ListRowDelegate(12, ListBox));
    // Every row is as high as the first: no row is measured, whatever the number of rows.
    ListBox->setUniformItemSizes(true);
    ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox->setTextElideMode(Qt::ElideNone);
    layout->addWidget(ListBox, 1);
    setCentralWidget(client);

    QFont font(u"ＭＳ ゴシック"_s);
    font.setPixelSize(12);
    setListFont(font);
    setListColors(clBlack, clWhite);
    setOuterSize({514, 359});
    connectCommands();
}

TListF::~TListF() = default;

void TListF::buildMenus() {
    FileMnu = named(menuBar()->addMenu(u"ファイル(&F)"_s), u"FileMnu"_s);
    Close1 = addMenuItem(FileMnu, u"Close1"_s, u"閉じる(&C)"_s);
    ActMnu = named(menuBar()->addMenu(u"処理(&X)"_s), u"ActMnu"_s);
    ListEditMnu = addMenuItem(ActMnu, u"ListEditMnu"_s, u"リストを編集(&E)"_s);
    N1 = addMenuSeparator(ActMnu, u"N1"_s);
    ReloadMnu = addMenuItem(ActMnu, u"ReloadMnu"_s, u"リストの表示を更新(&N)"_s);
    SetupMnu = named(menuBar()->addMenu(u"設定(&S)"_s), u"SetupMnu"_s);
    Font1 = addMenuItem(SetupMnu, u"Font1"_s, u"フォント(&F)"_s);
    BackColor = addMenuItem(SetupMnu, u"BackColor"_s, u"背景色(&B)"_s);
    N2 = addMenuSeparator(SetupMnu, u"N2"_s);
    TextEditor = addMenuItem(SetupMnu, u"TextEditor"_s, u"テキストエディタ(&E)"_s);
}

void TListF::buildToolPanel() {
    ToolPanel = new QWidget(this);
    ToolPanel->setObjectName(u"ToolPanel"_s);
    ToolPanel->setFixedHeight(33);
    ListEditBtn = toolButton(ToolPanel, u"ListEditBtn"_s, 4, u"リストを編集"_s);
    ListEditBtn->setIcon(toolPicture(u"listedit"_s, true));
    ReloadBtn = toolButton(ToolPanel, u"ReloadBtn"_s, 29, u"リストの表示を更新"_s);
    ReloadBtn->setIcon(toolPicture(u"reload"_s, false));
    FontBtn = toolButton(ToolPanel, u"FontBtn"_s, 64, u"フォントを設定"_s);
    FontBtn->setIcon(toolPicture(u"font"_s, true, palette().color(QPalette::ButtonText)));
    SpeedButton1 = toolButton(ToolPanel, u"SpeedButton1"_s, 89, u"背景色を設定"_s);
    SpeedButton1->setText(u"色"_s);
    QFont bold = designedDialogFont();
    bold.setBold(true);
    // Its designed black is the scheme's button text, as for every other button.
    SpeedButton1->setFont(bold);
    TextEditorBtn = toolButton(ToolPanel, u"TextEditorBtn"_s, 114, u"ﾃｷｽﾄｴﾃﾞｨﾀを設定"_s);
    TextEditorBtn->setIcon(toolPicture(u"editor"_s, true));
    for (QToolButton* button : {ListEditBtn, ReloadBtn, FontBtn, TextEditorBtn})
        button->setIconSize({16, 16});
}

void TListF::runGuarded(void (TListF::*handler)()) {
    try {
        (this->*handler)();
    } catch (const std::exception& error) {
        showStandardError(this, QString::fromLocal8Bit(error.what()));
    }
}

void TListF::connectCommands() {
    const std::pair<QToolButton*, void (TListF::*)()> buttons[] = {
        {ListEditBtn, &TListF::ListEditClick},
        {ReloadBtn, &TListF::ReloadClick},
        {FontBtn, &TListF::Font1Click},
        {SpeedButton1, &TListF::BackColorClick},
        {TextEditorBtn, &TListF::TextEditorClick},
    };
    for (const auto& [button, handler] : buttons)
        connect(button, &QToolButton::clicked, this, [this, handler] { runGuarded(handler); });
    const std::pair<QAction*, void (TListF::*)()> actions[] = {
        {Close1, &TListF::Close1Click},       {ListEditMnu, &TListF::ListEditClick},
        {ReloadMnu, &TListF::ReloadClick},    {Font1, &TListF::Font1Click},
        {BackColor, &TListF::BackColorClick}, {TextEditor, &TListF::TextEditorClick},
    };
    for (const auto& [action, handler] : actions)
        connect(action, &QAction::triggered, this, [this, handler] { runGuarded(handler); });
}

std::string TListF::tempDirectory() {
    QByteArray dir = qgetenv("TMP");
    if (dir.isEmpty())
        return systemTempDir();
    if (dir.endsWith('/'))
        dir.chop(1);
    return dir.toStdString() + '/';
}

void TListF::viewList(QLineEdit* field, const QString& kind, const char* tempName,
                      const char* openMessage) {
    if (!field)
        return;
    ListFileName = field->text();
    HorF = kind;
    const auto showError = [this](const std::string& text, const std::string& caption) {
        showStopBox(this, QString::fromUtf8(caption), QString::fromUtf8(text));
    };
    std::string text;
    std::vector<ListSpan> spans;
    std::vector<std::uint32_t> weights;
    if (mergeListText(bytes(field->text()), tempDirectory(), tempName, text, openMessage, showError,
                      ListMerge, &spans, &weights))
        showRows(std::move(text), spans, std::move(weights));
}

void TListF::showRows(std::string text, const std::vector<ListSpan>& spans,
                      std::vector<std::uint32_t> weights) {
    std::vector<std::size_t> utf8From;
    QStringList utf8Names;
    for (const ListSpan& span : spans) {
        const bool utf8 = span.encoding == TextEncoding::Utf8;
        if (utf8)
            utf8Names << QFileInfo(QString::fromUtf8(span.path)).fileName();
        if (utf8 != (utf8From.size() % 2 == 1))
            utf8From.push_back(span.firstLine);
    }
    m_model->setText(std::move(text), std::move(utf8From), std::move(weights));
    // Say which lists were read as UTF-8; with none the caption is the designed one.
    setWindowTitle(utf8Names.isEmpty()
                       ? kCaption
                       : kCaption + u"（UTF-8: "_s + utf8Names.join(u", "_s) + u"）"_s);
}

void TListF::ViewFooterList() {
    viewList(m_fields.FFile, u"F"_s, "_Morvex_.tmp", kMsgFooterListOpen);
}

void TListF::ViewHeaderList() {
    viewList(m_fields.HFile, u"H"_s, "_Morvex_.tmh", kMsgHeaderListOpen);
}

void TListF::ReloadClick() {
    if (HorF == u"H"_s)
        ViewHeaderList();
    else
        ViewFooterList();
}

void TListF::ListEditClick() {
    TSelectListF dialog(this);
    dialog.FileList->clear();
    const std::string pattern = bytes(ListFileName);
    const QString dir = QString::fromUtf8(directoryPart(pattern));
    for (const std::string& name : findFiles(pattern))
        dialog.FileList->addItem(dir + QString::fromUtf8(name));
    for (int row = dialog.FileList->count() - 1; row >= 0; --row)
        dialog.FileList->item(row)->setSelected(true);
    dialog.TextEditorLbl = TextEditorLbl;
    dialog.exec();
}

void TListF::Font1Click() {
    // The dialog lists the installed families only: it starts at the one that stands in for
    // the list's, and a choice of that same family keeps the list's own name.
    const QString shown = QFontInfo(m_listFont).family();
    QFont start = m_listFont;
    start.setFamily(shown);
    // The dialog counts in points at the screen's resolution; the list in designed pixels.
    start.setPointSizeF(double(fontPixels(m_listFont)) * 72.0 / 96.0);
    if (const std::optional<FontChoice> chosen =
            runFontDialog(this, {start, toQColor(m_fontColor, palette())})) {
        QFont font = chosen->font;
        if (font.family() == shown)
            font.setFamily(m_listFont.family());
        setListFont(font);
        setListColors(m_backColor, toTColor(chosen->color));
    }
}

void TListF::BackColorClick() {
    if (const std::optional<QColor> chosen = runColorDialog(this, m_colorDialogColor)) {
        m_colorDialogColor = *chosen;
        setListColors(toTColor(*chosen), m_fontColor);
    }
}

void TListF::TextEditorClick() {
    TEditorF dialog(this);
    dialog.TextEditor->setText(TextEditorLbl);
    if (dialog.exec() == QDialog::Accepted)
        TextEditorLbl = dialog.TextEditor->text();
}

void TListF::Close1Click() {
    close();
}

void TListF::FormShow() {
    ListViewSettings state = viewSettings();
    const StoreResult loaded = LoadViewSettings(state);
    m_storeBase = std::make_unique<StoreBase>(state.base);
    // Values read before a failure stay applied, as the store hands them over.
    applyViewSettings(state);
    if (!loaded)
        showStandardError(this, loaded.message());
}

void TListF::FormClose() {
    for (TMaruBtn* round : {m_fields.HeaderBtn, m_fields.FutterBtn}) {
        if (round)
            round->setDown(false);
    }
    if (const StoreResult saved = SaveViewSettings(viewSettings()); !saved)
        showStandardError(this, saved.message());
}

void TListF::setListFont(const QFont& font) {
    m_listFont = font;
    // A stored size that no screen could show (a damaged store) is held to one that can.
    const int pixels = std::clamp(fontPixels(font), 1, 4096);
    m_listFont.setPixelSize(pixels);
    ListBox->setFont(m_listFont);
    static_cast<ListRowDelegate*>(ListBox->itemDelegate())->setRowHeight(pixels);
    // Rows are measured once for all; a new font needs a new measure.
    ListBox->setUniformItemSizes(false);
    ListBox->setUniformItemSizes(true);
}

void TListF::setListColors(TColor back, TColor text) {
    m_backColor = back;
    m_fontColor = text;
    QPalette colors = ListBox->palette();
    colors.setColor(QPalette::Base, toQColor(back, palette()));
    colors.setColor(QPalette::Text, toQColor(text, palette()));
    ListBox->setPalette(colors);
}

ListViewSettings TListF::viewSettings() const {
    ListViewSettings state;
    const QRect frame = frameGeometry();
    if (m_positionKnown) {
        state.windowTop = frame.top();
        state.windowLeft = frame.left();
    }
    const QSize outer = m_pendingOuter.isValid() ? m_pendingOuter : frame.size();
    state.windowWidth = outer.width();
    state.windowHeight = outer.height();
    state.TextEditorLbl = TextEditorLbl;
    state.backColor = m_backColor;
    state.fontName = m_listFont.family();
    state.fontColor = m_fontColor;
    state.fontSize = pointsFromPixels(fontPixels(m_listFont));
    if (m_storeBase)
        state.base = *m_storeBase;
    return state;
}

void TListF::applyViewSettings(const ListViewSettings& state) {
    // The size first, no larger than the screen (one stored at another scale may be): where
    // the window may stand depends on it.
    QSize outer(state.windowWidth, state.windowHeight);
    if (const QScreen* shown = screen())
        outer = outer.boundedTo(shown->availableGeometry().size());
    setOuterSize(outer);
    if (state.windowTop || state.windowLeft) {
        const QPoint stored(state.windowLeft.value_or(frameGeometry().left()),
                            state.windowTop.value_or(frameGeometry().top()));
        if (restorePlace(this, stored))
            m_positionKnown = true;
    }
    TextEditorLbl = state.TextEditorLbl;
    setListColors(TColor(state.backColor), TColor(state.fontColor));
    QFont font = m_listFont;
    font.setFamily(state.fontName);
    // A stored size below one point keeps the size in use.
    if (state.fontSize > 0)
        font.setPixelSize(pixelsFromPoints(state.fontSize));
    setListFont(font);
}

void TListF::setOuterSize(const QSize& outer) {
    const QSize frame = frameGeometry().size() - size();
    // Until the window manager has framed the window its frame is unknown; the size is then
    // set again once it is (see keepPendingSize), so a stored outer size does not grow by the
    // frame at each run.
    m_pendingOuter = frame.isNull() ? outer : QSize();
    m_requestedSize = (outer - frame).expandedTo({1, 1});
    resize(m_requestedSize);
}

void TListF::keepPendingSize() {
    if (!m_pendingOuter.isValid())
        return;
    if (!(frameGeometry().size() - size()).isNull())
        setOuterSize(std::exchange(m_pendingOuter, QSize()));
    else if (size() != m_requestedSize)
        m_pendingOuter = QSize(); // sized by someone else since
}

void TListF::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TListF::setVisible(bool visible) {
    // The window goes from hidden to visible: its settings are applied before it is mapped, so
    // that the stored place is the frame's (a window manager takes a place given once the window
    // is on its way to the screen as its client area's, below the title bar).
    const bool showing = visible && !isVisible();
    if (showing)
        FormShow();
    QMainWindow::setVisible(visible);
    if (showing)
        m_positionKnown = true;
}

void TListF::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    keepPendingSize();
}

void TListF::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    keepPendingSize();
}

bool TListF::event(QEvent* event) {
    // A window manager may frame the window without moving it: its first paint or activation
    // shows the frame as well, and the outer size is set then (after the event, not inside it).
    if (m_pendingOuter.isValid() &&
        (event->type() == QEvent::Paint || event->type() == QEvent::WindowActivate))
        QMetaObject::invokeMethod(this, &TListF::keepPendingSize, Qt::QueuedConnection);
    return QMainWindow::event(event);
}

} // namespace morvex
