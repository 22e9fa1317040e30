#include "controls/ExLabel.h"

#include <QAccessibleWidget>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace morvex {

using namespace Qt::StringLiterals;

namespace {

/// Bounding boxes exclude their right and bottom edges; aliased Qt shapes cover one pixel more
/// than the box they are given.
QRectF shapeBox(const QRect& rect) {
    return QRectF(rect.x(), rect.y(), rect.width() - 1, rect.height() - 1);
}

/// The box moved to the vertical centre of the text measured in its width.
QRect centred(const QFontMetrics& metrics, const QRect& box, int flags, const QString& text) {
    const int height = metrics.boundingRect(box, flags, text).height();
    const int top = (box.top() + box.top() + box.height() - height) / 2;
    return QRect(box.left(), top, box.width(), height);
}

// To a screen reader the label is static text read by its caption (without the accelerator
// mark), unless it is to be passed over.
class AccessibleExLabel : public QAccessibleWidget {
public:
    explicit AccessibleExLabel(TExLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    TExLabel* label() const { return static_cast<TExLabel*>(widget()); }

    QString text(QAccessible::Text t) const override {
        QString value = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && value.isEmpty()) {
            value = label()->text();
            if (label()->showAccelChar())
                value.replace(u"&&"_s, u"\x01"_s).remove(u'&').replace(u'\x01', u'&');
        }
        return value;
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (label()->accessibleHidden())
            state.invisible = true;
        return state;
    }
};

QAccessibleInterface* accessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(TExLabel::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new AccessibleExLabel(static_cast<TExLabel*>(object));
    return nullptr;
}

void installAccessibleFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace

TExLabel::TExLabel(QWidget* parent)
    : QLabel(parent) {
    installAccessibleFactory();
}

TExLabel::TExLabel(const QString& caption, QWidget* parent)
    : QLabel(caption, parent) {
    installAccessibleFactory();
    adjustBounds();
}

// Qt repaints the parent under a widget that is not opaque whenever the widget is updated, so
// "erase the parent's area, then repaint" is a plain update() here.
void TExLabel::setStyle3D(TStyle3D value) {
    if (value == m_style3D)
        return;
    m_style3D = value;
    update();
}

void TExLabel::setFont3D(bool value) {
    if (value == m_font3D)
        return;
    m_font3D = value;
    update();
}

void TExLabel::setLabelType(TLabelType value) {
    if (value == m_labelType)
        return;
    m_labelType = value;
    update();
}

void TExLabel::setBackFont(TColor value) {
    if (value == m_backFont)
        return;
    m_backFont = value;
    update();
}

void TExLabel::setFontDepth(int value) {
    value = std::clamp(value, 0, 255);
    if (value == m_fontDepth)
        return;
    m_fontDepth = value;
    update();
}

void TExLabel::setEdgeDepth(int value) {
    value = std::clamp(value, 0, 255);
    if (value == m_edgeDepth)
        return;
    m_edgeDepth = value;
    update();
}

void TExLabel::setDrawOutLine(bool value) {
    if (value == m_drawOutLine)
        return;
    m_drawOutLine = value;
    update();
}

void TExLabel::setOutLineColor(TColor value) {
    if (value == m_outLineColor)
        return;
    m_outLineColor = value;
    if (m_drawOutLine)
        update();
}

void TExLabel::setColor(TColor value) {
    if (value == m_color)
        return;
    m_color = value;
    update();
}

void TExLabel::setFontColor(TColor value) {
    if (value == m_fontColor)
        return;
    m_fontColor = value;
    update();
}

void TExLabel::setTransparent(bool value) {
    if (value == m_transparent)
        return;
    m_transparent = value;
    update();
}

void TExLabel::setShowAccelChar(bool value) {
    if (value == m_showAccelChar)
        return;
    m_showAccelChar = value;
    adjustBounds();
    update();
}

void TExLabel::setAutoSize(bool value) {
    if (value == m_autoSize)
        return;
    m_autoSize = value;
    adjustBounds();
}

void TExLabel::setCaption(const QString& value) {
    setText(value);
}

void TExLabel::setText(const QString& value) {
    if (value == text())
        return;
    QLabel::setText(value);
    adjustBounds();
    update();
}

void TExLabel::setWordWrap(bool on) {
    if (on == wordWrap())
        return;
    QLabel::setWordWrap(on);
    adjustBounds();
    update();
}

void TExLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        adjustBounds();
}

QString TExLabel::measuringText() const {
    const QString caption = text();
    if (caption.isEmpty() || (m_showAccelChar && caption == u"&"_s))
        return caption + u' ';
    return caption;
}

int TExLabel::textFlags() const {
    int flags = Qt::TextExpandTabs | int(alignment() & Qt::AlignHorizontal_Mask);
    if (m_showAccelChar)
        flags |= Qt::TextShowMnemonic;
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    return flags;
}

void TExLabel::adjustBounds() {
    if (!m_autoSize)
        return;
    const int flags = textFlags() & ~Qt::AlignHorizontal_Mask;
    // Unwrapped text grows to its own width; wrapped text keeps the label's width.
    const QRect box(0, 0, wordWrap() ? width() : QWIDGETSIZE_MAX / 2, QWIDGETSIZE_MAX / 2);
    const QRect measured = fontMetrics().boundingRect(box, flags, measuringText());
    int left = x();
    if (alignment() & Qt::AlignRight)
        left += width() - measured.width();
    setGeometry(left, y(), measured.width(), measured.height());
}

void TExLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_transparent)
        paintBackground(painter);
    paintText(painter);
}

void TExLabel::paintBackground(QPainter& painter) {
    const QColor fill = toQColor(m_color, palette());
    painter.setBrush(fill);
    painter.setPen(m_drawOutLine ? toQColor(m_outLineColor, palette()) : fill);
    const QRectF box = shapeBox(rect());
    switch (m_labelType) {
    case lbRectangle:
        painter.drawRect(box);
        break;
    case lbCircle:
        painter.drawEllipse(box);
        break;
    case lbRoundRect:
        painter.drawRoundedRect(box, m_edgeDepth / 2.0, m_edgeDepth / 2.0);
        break;
    }
}

void TExLabel::paintText(QPainter& painter) {
    painter.setFont(font());
    painter.setBrush(Qt::NoBrush);
    const int flags = textFlags();
    const QString measuring = measuringText();
    const auto draw = [&](const QRect& box, TColor color, const QString& text) {
        painter.setPen(toQColor(color, palette()));
        painter.drawText(box, flags, text);
    };
    // The box is centred once, where the first copy goes; the second copy moves back from there.
    const auto centredAt = [&](int offset) {
        return centred(painter.fontMetrics(), rect().translated(offset, offset), flags, measuring);
    };
    if (!isEnabled()) {
        const QRect box = centredAt(1);
        painter.setPen(etchBeside(palette(), toQColor(clGrayText, palette())));
        painter.drawText(box, flags, measuring);
        draw(box.translated(-1, -1), clGrayText, measuring);
    } else if (!m_font3D) {
        draw(centredAt(0), m_fontColor, measuring);
    } else {
        const int d = m_style3D == bsLowered ? m_fontDepth : -m_fontDepth;
        const QRect box = centredAt(d);
        draw(box, m_backFont, text());
        draw(box.translated(-d, -d), m_fontColor, text());
    }
}

} // namespace morvex
