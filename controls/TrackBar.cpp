#include "TrackBar.h"

#include <QPainter>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>

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
    update();
}

void TTrackBar::setMax(int value) {
    const QScopedValueRollback guard(m_settingByCode, true);
    setMaximum(value);
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

QRect TTrackBar::selectionBand() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const int from = pixelOf(std::min(m_selStart, m_selEnd));
    const int to = pixelOf(std::max(m_selStart, m_selEnd));
    if (orientation() == Qt::Horizontal) {
        const int middle = groove.center().y();
        return QRect(QPoint(std::min(from, to), middle - 1),
                     QPoint(std::max(from, to), middle + 1));
    }
    const int middle = groove.center().x();
    return QRect(QPoint(middle - 1, std::min(from, to)), QPoint(middle + 1, std::max(from, to)));
}

void TTrackBar::paintEvent(QPaintEvent* event) {
    if (!m_selRangeShown) {
        QSlider::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderTickmarks;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);

    const QRect band = selectionBand();
    painter.fillRect(band, palette().color(QPalette::Highlight));
    // The end ticks of the range, on the tick side of the channel.
    painter.setPen(palette().color(QPalette::WindowText));
    const bool horizontal = orientation() == Qt::Horizontal;
    for (const int at : {pixelOf(m_selStart), pixelOf(m_selEnd)}) {
        if (horizontal)
            painter.drawLine(at, band.bottom() + 3, at, band.bottom() + 5);
        else
            painter.drawLine(band.right() + 3, at, band.right() + 5, at);
    }

    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderHandle;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}
