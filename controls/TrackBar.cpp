#include "controls/TrackBar.h"

#include <QPainter>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <qdrawutil.h>

namespace morvex {

TTrackBar::TTrackBar(QWidget* parent)
    : QSlider(Qt::Horizontal, parent) {
    setRange(0, 10);
    setPageStep(2);
    setSingleStep(1);
    resize(150, 45);
    applyTicks();
    connect(this, &QAbstractSlider::valueChanged, this, [this] {
        if (!m_settingByCode)
            Q_EMIT changed();
    });
}

void TTrackBar::setMin(int value) {
    const QScopedValueRollback guard(m_settingByCode, true);
    setMinimum(value);
    applyTicks();
    update();
}

void TTrackBar::setMax(int value) {
    const QScopedValueRollback guard(m_settingByCode, true);
    setMaximum(value);
    applyTicks();
    update();
}

void TTrackBar::setFrequency(int value) {
    m_frequency = value;
    applyTicks();
}

void TTrackBar::setPosition(int value) {
    const QScopedValueRollback guard(m_settingByCode, true);
    setValue(value);
}

void TTrackBar::setSelStart(int value) {
    if (m_selStart == value)
        return;
    m_selStart = value;
    update();
}

void TTrackBar::setSelEnd(int value) {
    if (m_selEnd == value)
        return;
    m_selEnd = value;
    update();
}

void TTrackBar::setTickMarks(TTickMark value) {
    m_tickMarks = value;
    applyTicks();
}

void TTrackBar::setTickStyle(TTickStyle value) {
    m_tickStyle = value;
    applyTicks();
}

void TTrackBar::setSelRangeShown(bool shown) {
    if (m_selRangeShown == shown)
        return;
    m_selRangeShown = shown;
    update();
}

void TTrackBar::applyTicks() {
    if (m_tickStyle == tsNone) {
        setTickPosition(NoTicks);
        return;
    }
    switch (m_tickMarks) {
    case tmBottomRight:
        setTickPosition(TicksBelow);
        break;
    case tmTopLeft:
        setTickPosition(TicksAbove);
        break;
    case tmBoth:
        setTickPosition(TicksBothSides);
        break;
    }
    // Manual ticks are only the two ends until ticks are added, which nothing here does.
    setTickInterval(m_tickStyle == tsManual ? std::max(1, maximum() - minimum())
                                            : std::max(1, m_frequency));
}

void TTrackBar::initStyleOption(QStyleOptionSlider* option) const {
    QSlider::initStyleOption(option);
    // The channel keeps clear of the ends, as the platform's trackbar does; drawing and mouse
    // mapping both follow this rectangle.
    if (orientation() == Qt::Horizontal)
        option->rect.adjust(kChannelInset, 0, -kChannelInset, 0);
    else
        option->rect.adjust(0, kChannelInset, 0, -kChannelInset);
}

int TTrackBar::pixelOf(int value) const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const bool horizontal = orientation() == Qt::Horizontal;
    const int handleLength = horizontal ? handle.width() : handle.height();
    const int span = (horizontal ? groove.width() : groove.height()) - handleLength;
    const int start = (horizontal ? groove.left() : groove.top()) + handleLength / 2;
    const int clamped = std::clamp(value, minimum(), maximum());
    return start +
           QStyle::sliderPositionFromValue(minimum(), maximum(), clamped, span, option.upsideDown);
}

QRect TTrackBar::channelRect() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QPoint middle = groove.center();
    if (orientation() == Qt::Horizontal)
        return QRect(groove.left(), middle.y() - 2, groove.width(), 6);
    return QRect(middle.x() - 2, groove.top(), 6, groove.height());
}

QRect TTrackBar::selectionBand() const {
    const QRect channel = channelRect().adjusted(2, 2, -2, -2);
    const int from = pixelOf(m_selStart);
    const int to = pixelOf(m_selEnd);
    if (orientation() == Qt::Horizontal)
        return QRect(QPoint(std::min(from, to), channel.top()),
                     QPoint(std::max(from, to), channel.bottom()));
    return QRect(QPoint(channel.left(), std::min(from, to)),
                 QPoint(channel.right(), std::max(from, to)));
}

void TTrackBar::paintSelectionEnds(QPainter& painter, const QRect& channel) {
    // A small triangle at each end of the range, pointing at the channel from the tick side.
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::WindowText));
    const bool horizontal = orientation() == Qt::Horizontal;
    const bool before = tickPosition() == TicksAbove;
    for (const int at : {pixelOf(m_selStart), pixelOf(m_selEnd)}) {
        const int tip = before ? (horizontal ? channel.top() : channel.left()) - 2
                               : (horizontal ? channel.bottom() : channel.right()) + 2;
        const int base = before ? tip - 3 : tip + 3;
        const QPolygon triangle =
            horizontal ? QPolygon({QPoint(at, tip), QPoint(at - 3, base), QPoint(at + 3, base)})
                       : QPolygon({QPoint(tip, at), QPoint(base, at - 3), QPoint(base, at + 3)});
        painter.drawPolygon(triangle);
    }
}

void TTrackBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderTickmarks;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);

    // The channel: a sunken white slot, with the range band inside when the style bit is on.
    const QRect channel = channelRect();
    const QBrush slot = palette().brush(QPalette::Base);
    qDrawWinPanel(&painter, channel, palette(), true, &slot);
    if (m_selRangeShown) {
        painter.fillRect(selectionBand(), palette().color(QPalette::Highlight));
        paintSelectionEnds(painter, channel);
    }

    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderHandle;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}

} // namespace morvex
