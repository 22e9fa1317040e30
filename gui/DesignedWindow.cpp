#include "gui/DesignedWindow.h"

#include "gui/GuiStartup.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <xcb/xcb.h>

namespace morvex {
using namespace Qt::StringLiterals;

DesignedGroupBox::DesignedGroupBox(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent) {}

void DesignedGroupBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const QRect frame = rect().adjusted(0, metrics.height() / 2, 0, 0);
    const QRect caption(8, 0, metrics.horizontalAdvance(title()) + 2, metrics.height());
    // The frame's line stops short of the caption, which stands on whatever lies under the
    // group (a tab page may be lighter or darker than the window): no patch of its own.
    if (!title().isEmpty())
        painter.setClipRegion(QRegion(rect()) - QRegion(caption));
    // Etched: a shadow line with a highlight line one pixel below and right.
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(frame.adjusted(1, 1, -1, -1));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(frame.adjusted(0, 0, -2, -2));
    if (title().isEmpty())
        return;
    painter.setClipping(false);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter | Qt::TextShowMnemonic, title());
}

QString fittedPath(const QString& path, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString name = path.mid(slash + 1);
    const QString tail = u"/"_s + name;
    const int folderRoom = width - metrics.horizontalAdvance(tail);
    if (slash < 0 || folderRoom < metrics.horizontalAdvance(u"…"_s))
        return metrics.elidedText(name, Qt::ElideMiddle, width);
    return metrics.elidedText(path.left(slash), Qt::ElideRight, folderRoom) + tail;
}

namespace {

// Qt hands an accelerator that two owners share to each in turn; the label's turn opens the
// menu as well, so the key never lands in the field (where the next letter would replace it).
class AcceleratorToMenu : public QObject {
public:
    AcceleratorToMenu(QLabel* label, QMenuBar* bar, QMenu* menu)
        : QObject(label)
        , m_bar(bar)
        , m_menu(menu) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Shortcut)
            return false;
        if (m_bar && m_menu)
            m_bar->setActiveAction(m_menu->menuAction());
        return true;
    }

private:
    QPointer<QMenuBar> m_bar;
    QPointer<QMenu> m_menu;
};

} // namespace

void yieldAcceleratorToMenu(QLabel* label, QMenuBar* bar, QMenu* menu) {
    label->installEventFilter(new AcceleratorToMenu(label, bar, menu));
}

QFont designedDialogFont() {
    QFont font(designedFamily(u"ＭＳ Ｐゴシック"_s));
    font.setPixelSize(12);
    return font;
}

int pixelsFromPoints(qint32 points) {
    return int(std::lround(std::clamp(double(points) * 96.0 / 72.0, 1.0, 4096.0)));
}

qint32 pointsFromPixels(int pixels) {
    return qint32(std::lround(double(pixels) * 72.0 / 96.0));
}

int fontPixels(const QFont& font) {
    return font.pixelSize() > 0 ? font.pixelSize()
                                : int(std::lround(font.pointSizeF() * 96.0 / 72.0));
}

int condensedStretch(QFont font, const QString& text, int room, int narrowest) {
    const int natural = QFontMetrics(font).horizontalAdvance(text);
    if (natural <= room)
        return QFont::Unstretched;
    // Start near the answer, as each stretch tried loads a font of its own.
    int stretch = std::clamp(100 * room / std::max(natural, 1), narrowest, 99);
    for (font.setStretch(stretch);
         stretch > narrowest && QFontMetrics(font).horizontalAdvance(text) > room;
         font.setStretch(--stretch)) {
    }
    return stretch;
}

int widestStretch(QFont font, const QString& text, int room, int narrowest) {
    const int natural = QFontMetrics(font).horizontalAdvance(text);
    if (natural <= room)
        return QFont::Unstretched;
    const auto fits = [&font, &text, room](int stretch) {
        font.setStretch(stretch);
        return QFontMetrics(font).horizontalAdvance(text) <= room;
    };
    // Each stretch tried loads a font of its own, and they come before the first window: start
    // at the nearest proportional guess and walk one way, two tries for most captions.
    int stretch = std::clamp(int(std::lround(100.0 * room / natural)), narrowest, 99);
    if (fits(stretch)) {
        while (stretch < 99 && fits(stretch + 1))
            ++stretch;
    } else {
        while (stretch > narrowest && !fits(--stretch)) {
        }
    }
    return stretch;
}

void endCaptionBefore(QLabel* caption, int right, int gap) {
    const QString shown = QString(caption->text()).remove(u'&');
    QFont font = caption->font();
    const int stretch = widestStretch(font, shown, right - gap - caption->x(), 50);
    if (stretch == QFont::Unstretched)
        return;
    font.setStretch(stretch);
    caption->setFont(font);
    caption->adjustSize();
}

void setDialogBorder(QDialog* dialog, bool systemMenu) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    if (systemMenu)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    dialog->setWindowFlags(flags);
}

void setDesignedDialog(QDialog* dialog, const QSize& size, bool systemMenu) {
    setDialogBorder(dialog, systemMenu);
    dialog->setFont(designedDialogFont());
    dialog->setFixedSize(size);
}

namespace {

QWindow* handleOf(QWidget* widget) {
    return widget ? widget->window()->windowHandle() : nullptr;
}

QWidget* shownMainWindow(const QWidget* besides) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top != besides && top->isVisible() && top->windowType() == Qt::Window)
            return top;
    }
    return nullptr;
}

} // namespace

void giveTransientParent(QWidget* dialog) {
    const Qt::WindowType type = dialog->windowType();
    if (type != Qt::Dialog && type != Qt::Sheet)
        return;
    dialog->winId(); // the window handle, made now if it is not yet
    QWindow* own = dialog->windowHandle();
    if (!own || own->transientParent())
        return;
    for (QWidget* candidate :
         {dialog->parentWidget(), QApplication::activeWindow(), shownMainWindow(dialog)}) {
        QWindow* parent =
            candidate && candidate->window() != dialog ? handleOf(candidate) : nullptr;
        if (parent && parent != own) {
            own->setTransientParent(parent);
            return;
        }
    }
}

namespace {

// The Motif hints, as window managers read them from _MOTIF_WM_HINTS.
constexpr uint32_t kHintsFunctions = 1;
constexpr uint32_t kHintsDecorations = 2;
constexpr uint32_t kFunctionMove = 4;
constexpr uint32_t kFunctionMinimize = 8;
constexpr uint32_t kFunctionClose = 32;
constexpr uint32_t kDecorBorder = 2;
constexpr uint32_t kDecorTitle = 8;
constexpr uint32_t kDecorMenu = 16;
constexpr uint32_t kDecorMinimize = 32;

void writeFrameHints(QWidget* window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !window->windowHandle())
        return;
    xcb_connection_t* connection = x11->connection();
    const QByteArray name = QByteArrayLiteral("_MOTIF_WM_HINTS");
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData()),
        nullptr);
    if (!atom)
        return;
    const Qt::WindowFlags flags = window->windowFlags();
    const bool minimise = flags & Qt::WindowMinimizeButtonHint; // the main window keeps its own
    const uint32_t hints[5] = {
        kHintsFunctions | kHintsDecorations,
        kFunctionMove | (flags & Qt::WindowCloseButtonHint ? kFunctionClose : 0) |
            (minimise ? kFunctionMinimize : 0),
        kDecorBorder | kDecorTitle | (flags & Qt::WindowSystemMenuHint ? kDecorMenu : 0) |
            (minimise ? kDecorMinimize : 0),
        0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()),
                        atom->atom, atom->atom, 32, 5, hints);
    xcb_flush(connection);
    free(atom);
}

} // namespace

void askForFixedFrame(QWidget* window) {
    if (!window->isWindow() || window->minimumSize() != window->maximumSize() ||
        QGuiApplication::platformName() != u"xcb"_s)
        return;
    writeFrameHints(window);
    // Qt writes its own hints as it maps the window; ours go on top of them.
    QTimer::singleShot(0, window, [window] { writeFrameHints(window); });
}

void centreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

std::optional<QPoint> reachablePlace(const QRect& frame) {
    const QScreen* holder = nullptr;
    qint64 most = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->availableGeometry().intersected(frame);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > most) {
            most = area;
            holder = screen;
        }
    }
    if (!holder)
        return std::nullopt;
    const QRect area = holder->availableGeometry();
    return QPoint(std::clamp(frame.left(), area.left(),
                             std::max(area.left(), area.right() - frame.width() + 1)),
                  std::clamp(frame.top(), area.top(),
                             std::max(area.top(), area.bottom() - frame.height() + 1)));
}

namespace {

QMargins frameMargins(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

// The frame a window manager is about to draw: a title bar as high as the style's and a thin
// border; a little more than most draw, so that the frame it does draw fits too.
QMargins expectedFrame(const QWidget* window) {
    if (QGuiApplication::platformName() != u"xcb"_s)
        return {};
    constexpr int kBorder = 4;
    const int title = std::max(window->style()->pixelMetric(QStyle::PM_TitleBarHeight),
                               window->fontMetrics().height() + 2 * kBorder);
    return {kBorder, title + kBorder, kBorder, kBorder};
}

// The frame's top-left corner to `place`. A window being shown on X11 before its frame has come
// takes a plain move as its client area's place: its platform window is told the frame's.
void moveFrame(QWidget* window, const QPoint& place) {
    QWindow* handle = window->windowHandle();
    if (handle && window->isVisible() && frameMargins(window).isNull() &&
        !expectedFrame(window).isNull())
        handle->setFramePosition(place);
    else
        window->move(place);
}

// Once the window manager has framed the window, its real frame is moved in if it sticks out.
class KeepReachable : public QObject {
public:
    static inline const QString kName = u"KeepReachable"_s;

    explicit KeepReachable(QWidget* window)
        : QObject(window)
        , m_window(window) {
        setObjectName(kName);
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        // The window manager may frame the window without moving its client area: the first
        // paint or activation tells as well as a move.
        const QEvent::Type type = event->type();
        if (type != QEvent::Move && type != QEvent::Resize && type != QEvent::Show &&
            type != QEvent::Paint && type != QEvent::WindowActivate)
            return false;
        if (frameMargins(m_window).isNull())
            return false;
        const QRect frame = m_window->frameGeometry();
        if (const std::optional<QPoint> place = reachablePlace(frame);
            place && *place != frame.topLeft() && m_window->windowHandle())
            m_window->windowHandle()->setFramePosition(*place);
        m_window->removeEventFilter(this);
        deleteLater();
        return false;
    }

private:
    QWidget* m_window;
};

} // namespace

bool restorePlace(QWidget* window, const QPoint& stored) {
    QMargins frame = frameMargins(window);
    const bool framed = !frame.isNull();
    if (!framed)
        frame = expectedFrame(window);
    const std::optional<QPoint> place =
        reachablePlace(QRect(stored, window->size().grownBy(frame)));
    if (!place)
        return false;
    moveFrame(window, *place);
    if (!framed && !frame.isNull() &&
        !window->findChild<QObject*>(KeepReachable::kName, Qt::FindDirectChildrenOnly))
        new KeepReachable(window);
    return true;
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, int left, int top) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLineEdit* makeEdit(QWidget* parent, const QString& name, const QString& text,
                    const QRect& geometry, const QString& hint) {
    auto* edit = named(new QLineEdit(text, parent), name);
    edit->setGeometry(geometry);
    if (!hint.isEmpty())
        edit->setToolTip(hint);
    return edit;
}

void tabToCheckedRadio(const QList<QRadioButton*>& group) {
    const auto update = [group] {
        const bool chosen =
            std::any_of(group.cbegin(), group.cend(),
                        [](const QRadioButton* button) { return button->isChecked(); });
        for (QRadioButton* button : group)
            button->setFocusPolicy(!chosen || button->isChecked() ? Qt::StrongFocus
                                                                  : Qt::ClickFocus);
    };
    for (QRadioButton* button : group)
        QObject::connect(button, &QAbstractButton::toggled, button, update);
    update();
}

QGroupBox* makeGroupBox(QWidget* parent, const QString& name, const QString& caption,
                        const QRect& geometry) {
    auto* group = named(new DesignedGroupBox(caption, parent), name);
    group->setGeometry(geometry);
    return group;
}

QFrame* makePanel(QWidget* parent, const QString& name, const QRect& geometry,
                  QFrame::Shadow bevel) {
    auto* panel = named(new QFrame(parent), name);
    panel->setFrameStyle(QFrame::Panel | bevel);
    panel->setLineWidth(1);
    panel->setGeometry(geometry);
    return panel;
}

QFrame* makeEtchedLine(QWidget* parent, const QString& name, QFrame::Shape shape,
                       const QRect& geometry) {
    auto* line = named(new QFrame(parent), name);
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(geometry);
    return line;
}

QAction* addMenuItem(QMenu* menu, const QString& name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

QAction* addMenuSeparator(QMenu* menu, const QString& name) {
    QAction* action = menu->addSeparator();
    action->setObjectName(name);
    return action;
}

QTimer* makeTimer(QObject* parent, const QString& name, int interval) {
    auto* timer = named(new QTimer(parent), name);
    timer->setInterval(interval);
    return timer;
}

QString PathRowDelegate::shownText(const QStyleOptionViewItem& option, const QString& text) const {
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    // The style keeps a margin of one focus frame and a pixel on each side of the text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &option, option.widget) + 1;
    return fittedPath(text, option.fontMetrics, option.rect.width() - 2 * margin);
}

void PathRowDelegate::initStyleOption(QStyleOptionViewItem* option,
                                      const QModelIndex& index) const {
    FixedRowDelegate::initStyleOption(option, index);
    option->text = shownText(*option, option->text);
    option->textElideMode = Qt::ElideNone;
}

bool PathRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return FixedRowDelegate::helpEvent(event, view, option, index);
    QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), view,
                       view->visualRect(index));
    return true;
}

void setItemHeight(QListWidget* list, int height) {
    list->setItemDelegate(new FixedRowDelegate(height, list));
    list->setUniformItemSizes(true);
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption,
                        const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setGeometry(geometry);
    return button;
}

namespace {

bool pressable(const QPushButton* button) {
    return button && button->isVisible() && button->isEnabled();
}

} // namespace

bool handleDialogKeys(QKeyEvent* event, QWidget* focus, QPushButton* defaultButton,
                      QPushButton* cancelButton) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* focused = qobject_cast<QPushButton*>(focus); pressable(focused)) {
            focused->click();
            return true;
        }
        if (pressable(defaultButton))
            defaultButton->click();
        return true;
    case Qt::Key_Escape:
        if (pressable(cancelButton))
            cancelButton->click();
        return true;
    default:
        return false;
    }
}

} // namespace morvex
