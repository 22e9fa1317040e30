#include "controls/MaruBtn.h"

#include <QAccessibleWidget>
#include <QCursor>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QShortcutEvent>
#include <cmath>
#include <memory>
#include <numbers>

namespace morvex {

namespace {

std::unique_ptr<QImage>& latchPattern() {
    static std::unique_ptr<QImage> pattern;
    return pattern;
}

/// A checkerboard of the light edge colour (white on the classic scheme) and button face, 8 x 8.
const QImage& makeLatchPattern(const QPalette& palette) {
    auto& pattern = latchPattern();
    if (!pattern) {
        pattern = std::make_unique<QImage>(8, 8, QImage::Format_RGB32);
        pattern->fill(toQColor(clBtnFace, palette));
        const QRgb light = toQColor(clBtnHighlight, palette).rgb();
        for (int y = 0; y < 8; ++y)
            for (int x = y % 2; x < 8; x += 2)
                pattern->setPixel(x, y, light);
    }
    return *pattern;
}

/// A rectangle as (left, top, right, bottom), right and bottom exclusive.
struct Box {
    int left, top, right, bottom;
};

/// Shapes are given by bounding boxes whose right and bottom edges lie outside the shape; with
/// aliased drawing Qt covers one pixel more than the box it is given, hence the -1.
QRectF shapeBox(const Box& box) {
    return QRectF(box.left, box.top, box.right - box.left - 1, box.bottom - box.top - 1);
}

/// Qt's arc angle (degrees, parametric on the ellipse) of the ray from the centre of the box
/// (left, top, right, bottom) towards `toward`.
double rayAngle(const Box& box, QPointF toward) {
    const double cx = (box.left + box.right) / 2.0;
    const double cy = (box.top + box.bottom) / 2.0;
    const double rx = (box.right - box.left) / 2.0;
    const double ry = (box.bottom - box.top) / 2.0;
    const double dx = (toward.x() - cx) / rx;
    const double dyUp = (cy - toward.y()) / ry;
    return std::atan2(dyUp, dx) * 180.0 / std::numbers::pi;
}

/// Draws the arc of the ellipse bounded by `box` (left, top, right, bottom) from the ray towards
/// `from`, counter-clockwise on screen, to the ray towards `to`.
void drawArc(QPainter& painter, const Box& box, QPointF from, QPointF to) {
    const double start = rayAngle(box, from);
    double span = rayAngle(box, to) - start;
    while (span <= 0)
        span += 360.0;
    // Wide pens are filled by pixel centres, without the one-pixel pen's shift to the right and
    // below; half a pixel puts the ring where the outline's rule would.
    painter.drawArc(shapeBox(box).translated(0.5, 0.5), int(std::lround(start * 16)),
                    int(std::lround(span * 16)));
}

constexpr int kCaptionFlags = Qt::AlignHCenter | Qt::TextExpandTabs | Qt::TextShowMnemonic;

/// Measures the caption in the box's width and centres the box vertically on it.
QRect centred(const QPainter& painter, QRect box, const QString& text, int flags) {
    const int height = painter.fontMetrics().boundingRect(box, flags, text).height();
    const int top = (box.top() + box.top() + box.height() - height) / 2;
    return QRect(box.left(), top, box.width(), height);
}

} // namespace

namespace {

// To a screen reader the round button is a button with a press action (a toggle button while it
// belongs to a group), named by its caption or its accessible name.
class AccessibleMaruBtn : public QAccessibleWidget {
public:
    explicit AccessibleMaruBtn(TMaruBtn* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    TMaruBtn* button() const { return static_cast<TMaruBtn*>(widget()); }

    QString text(QAccessible::Text t) const override {
        QString value = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && value.isEmpty())
            value = QKeySequence::mnemonic(button()->caption()).isEmpty()
                        ? button()->caption()
                        : QString(button()->caption()).remove(button()->caption().indexOf(u'&'), 1);
        return value;
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (button()->groupIndex() != 0) {
            state.checkable = true;
            state.checked = button()->down();
        }
        state.pressed = button()->state() == TMaruBtn::StatePressed;
        return state;
    }

    QStringList actionNames() const override {
        return button()->isEnabled() ? QStringList{pressAction()} : QStringList();
    }

    void doAction(const QString& action) override {
        if (action == pressAction())
            button()->accessiblePress();
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }
};

QAccessibleInterface* accessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(TMaruBtn::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new AccessibleMaruBtn(static_cast<TMaruBtn*>(object));
    return nullptr;
}

} // namespace

TMaruBtn::TMaruBtn(QWidget* parent)
    : QWidget(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setGeometry(0, 0, 50, 50);
    setMouseTracking(true);
}

TMaruBtn::~TMaruBtn() {
    latchPattern().reset();
}

const QImage* TMaruBtn::LatchPattern() {
    return latchPattern().get();
}

void TMaruBtn::setAllowAllUp(bool value) {
    m_allowAllUp = value;
    NotifyGroup();
}

void TMaruBtn::setGroupIndex(int value) {
    m_groupIndex = value;
    // Only a group button can be down.
    if (m_groupIndex == 0 && m_down) {
        m_down = false;
        m_state = StateUp;
        update();
    }
    NotifyGroup();
}

void TMaruBtn::setDown(bool value) {
    if (m_groupIndex == 0)
        value = false;
    if (value == m_down || (m_down && !m_allowAllUp))
        return;
    m_down = value;
    m_state = value ? StateLatched : StateUp;
    update();
    if (value)
        NotifyGroup();
}

void TMaruBtn::NotifyGroup() {
    if (m_groupIndex == 0 || !parentWidget())
        return;
    const auto siblings = parentWidget()->findChildren<TMaruBtn*>(Qt::FindDirectChildrenOnly);
    for (TMaruBtn* sibling : siblings)
        sibling->GroupPress(m_groupIndex, this);
}

void TMaruBtn::GroupPress(int groupIndex, TMaruBtn* sender) {
    if (groupIndex != m_groupIndex || sender == this)
        return;
    if (sender->m_down && m_down) {
        m_down = false;
        m_state = StateUp;
        update();
    }
    m_allowAllUp = sender->m_allowAllUp;
}

void TMaruBtn::setColor(TColor value) {
    if (value == m_color)
        return;
    m_color = value;
    update();
}

void TMaruBtn::setStyle3D(TFontStyle3D value) {
    if (value == m_style3D)
        return;
    m_style3D = value;
    update();
}

void TMaruBtn::setFont3D(bool value) {
    if (value == m_font3D)
        return;
    m_font3D = value;
    update();
}

void TMaruBtn::setOutLineColor(TColor value) {
    if (value == m_outLineColor)
        return;
    m_outLineColor = value;
    update();
}

void TMaruBtn::setBackFont(TColor value) {
    if (value == m_backFont)
        return;
    m_backFont = value;
    if (m_font3D)
        update();
}

void TMaruBtn::setFontDepth(int value) {
    value = std::clamp(value, 0, 255);
    if (value == m_fontDepth)
        return;
    m_fontDepth = value;
    if (m_font3D)
        update();
}

void TMaruBtn::setFontColor(TColor value) {
    if (value == m_fontColor)
        return;
    m_fontColor = value;
    update();
}

void TMaruBtn::setCaption(const QString& value) {
    if (value == m_caption)
        return;
    m_caption = value;
    updateShortcut();
    update();
}

void TMaruBtn::updateShortcut() {
    if (m_shortcutId != 0)
        releaseShortcut(m_shortcutId);
    m_shortcutId = grabShortcut(QKeySequence::mnemonic(m_caption));
}

QRect TMaruBtn::InnerTextRect(const QRect& rect) {
    const int left = rect.left();
    const int top = rect.top();
    const int right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();
    const int cx = left / 2 + right / 2;
    const int cy = top / 2 + bottom / 2;
    // lrint rounds ties to even in the default rounding mode.
    const int k = int(std::lrint(std::numbers::sqrt2 * (right - left) / 4));
    const int m = int(std::lrint(std::numbers::sqrt2 * (bottom - top) / 4));
    return QRect(QPoint(cx - k, cy - m), QPoint(cx + k - 1, cy + m - 1));
}

bool TMaruBtn::InEllipse(int x, int y) const {
    return QRegion(rect(), QRegion::Ellipse).contains(QPoint(x, y));
}

void TMaruBtn::Click() {
    const QPoint cursor = mapFromGlobal(QCursor::pos());
    if (InEllipse(cursor.x(), cursor.y()))
        Q_EMIT clicked();
}

void TMaruBtn::press(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (!InEllipse(pos.x(), pos.y()))
        return;
    Q_EMIT mouseDown(event->button(), event->modifiers(), pos);
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    if (!m_down) {
        m_state = StatePressed;
        repaint();
    }
    m_dragging = true;
}

void TMaruBtn::mousePressEvent(QMouseEvent* event) {
    press(event);
}

void TMaruBtn::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        press(event);
        return;
    }
    press(event);
    if (m_down)
        Q_EMIT doubleClicked();
}

void TMaruBtn::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const bool inside = InEllipse(pos.x(), pos.y());
    if (inside)
        Q_EMIT mouseMove(event->modifiers(), pos);
    if (!m_dragging)
        return;
    const RoundButtonState next = m_down ? StateLatched : inside ? StatePressed : StateUp;
    if (next != m_state) {
        m_state = next;
        repaint();
    }
}

void TMaruBtn::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const bool inside = InEllipse(pos.x(), pos.y());
    if (inside)
        Q_EMIT mouseUp(event->button(), event->modifiers(), pos);
    if (!m_dragging)
        return;
    m_dragging = false;
    m_state = StateUp;
    if (m_groupIndex == 0) {
        repaint();
    } else if (inside) {
        setDown(!m_down);
        // A down button that may not go up stays latched, also on screen.
        if (m_down && m_state != StateLatched) {
            m_state = StateLatched;
            repaint();
        }
    } else {
        if (m_down)
            m_state = StateLatched;
        repaint();
    }
    if (inside)
        Click();
}

void TMaruBtn::accessiblePress() {
    if (!isEnabled())
        return;
    m_state = StateUp;
    if (m_groupIndex != 0) {
        setDown(!m_down);
        if (m_down)
            m_state = StateLatched;
    }
    update();
    Q_EMIT clicked();
}

bool TMaruBtn::event(QEvent* event) {
    if (event->type() == QEvent::Shortcut) {
        auto* shortcut = static_cast<QShortcutEvent*>(event);
        if (shortcut->shortcutId() == m_shortcutId && m_shortcutId != 0 && isEnabled()) {
            Click();
            return true;
        }
    }
    return QWidget::event(event);
}

void TMaruBtn::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::EnabledChange:
    case QEvent::FontChange:
    case QEvent::PaletteChange:
        update();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

void TMaruBtn::fixUpState() {
    if (!isEnabled()) {
        m_state = StateDisabled;
        m_dragging = false;
    } else if (m_state == StateDisabled) {
        m_state = m_down && m_groupIndex != 0 ? StateLatched : StateUp;
    }
}

void TMaruBtn::paintEvent(QPaintEvent*) {
    fixUpState();
    QPainter painter(this);
    const QPalette& pal = palette();
    const QColor face = toQColor(m_color, pal);
    painter.setPen(QPen(face, 1));
    if (m_state == StateLatched)
        painter.setBrush(QBrush(makeLatchPattern(pal)));
    else
        painter.setBrush(face);
    painter.drawEllipse(shapeBox({0, 0, width(), height()}));

    paintRing(painter);

    // The designed shadow outline, on a dark scheme barely apart from the window, takes the
    // edge colour that stands out there.
    const QColor outline =
        m_outLineColor == clBtnShadow ? edgeAgainstWindow(pal) : toQColor(m_outLineColor, pal);
    painter.setPen(QPen(outline, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(shapeBox({0, 0, width(), height()}));

    DrawCaption3D(painter, rect(), m_state);
}

void TMaruBtn::paintRing(QPainter& painter) {
    painter.setBrush(Qt::NoBrush);
    // The rays aim at client points, not at points relative to the ring box.
    const Box box{2, 2, width() - 2, height() - 2};
    if (box.right <= box.left || box.bottom <= box.top)
        return;
    const int a = (box.right - box.left) / 5;
    const int b = (box.bottom - box.top) / 5;
    const QPointF p1(a, 4 * b);
    const QPointF p2(4 * a, b);
    const bool sunken = m_state == StatePressed || m_state == StateLatched;
    const QColor highlight = toQColor(clBtnHighlight, palette());
    const QColor shadow = toQColor(clBtnShadow, palette());
    QPen pen(sunken ? highlight : shadow, 3, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    drawArc(painter, box, p1, p2);
    pen.setColor(sunken ? shadow : highlight);
    painter.setPen(pen);
    drawArc(painter, box, p2, p1);
}

void TMaruBtn::DrawCaption3D(QPainter& painter, const QRect& rect, RoundButtonState state) {
    if (m_caption.isEmpty())
        return;
    QRect box = InnerTextRect(rect);
    painter.setBrush(Qt::NoBrush);
    painter.setFont(font());
    const auto draw = [&](const QRect& at, TColor color) {
        painter.setPen(toQColor(color, palette()));
        painter.drawText(at, kCaptionFlags, m_caption);
    };
    // The box is centred once, where the first copy goes; the second copy moves back from there.
    const auto centredAt = [&](int offset) {
        return centred(painter, box.translated(offset, offset), m_caption, kCaptionFlags);
    };
    if (state == StateDisabled) {
        const QRect at = centredAt(1);
        draw(at, clBtnHighlight);
        draw(at.translated(-1, -1), clGrayText);
        return;
    }
    if (state == StatePressed || state == StateLatched)
        box.translate(1, 1);
    if (!m_font3D) {
        draw(centredAt(0), m_fontColor);
        return;
    }
    const int d = m_style3D == bsRaised ? -m_fontDepth : m_fontDepth;
    const QRect at = centredAt(d);
    draw(at, m_backFont);
    draw(at.translated(-d, -d), m_fontColor);
}

} // namespace morvex
