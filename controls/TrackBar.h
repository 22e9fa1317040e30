#pragma once

#include <QSlider>

namespace morvex {

/// Where the tick marks go: below/right of the channel, above/left, or on both sides.
enum TTickMark { tmBottomRight, tmTopLeft, tmBoth };
/// No ticks, a tick every Frequency positions, or ticks only at both ends.
enum TTickStyle { tsNone, tsAuto, tsManual };

/// The trackbar with the designed properties, over QSlider. Its channel can show a selection
/// range: the band from SelStart to SelEnd with a small tick at each end.
/// changed() fires when the user moves the position, not when code sets it.
class TTrackBar : public QSlider {
    Q_OBJECT
    Q_PROPERTY(int Min READ min WRITE setMin)
    Q_PROPERTY(int Max READ max WRITE setMax)
    Q_PROPERTY(int Frequency READ frequency WRITE setFrequency)
    Q_PROPERTY(int Position READ position WRITE setPosition)
    Q_PROPERTY(int SelStart READ selStart WRITE setSelStart)
    Q_PROPERTY(int SelEnd READ selEnd WRITE setSelEnd)
    Q_PROPERTY(TTickMark TickMarks READ tickMarks WRITE setTickMarks)
    Q_PROPERTY(TTickStyle TickStyle READ tickStyle WRITE setTickStyle)

public:
    /// Horizontal, range 0 to 10, a tick every position below the channel, 150 x 45.
    explicit TTrackBar(QWidget* parent = nullptr);

    int min() const { return minimum(); }
    void setMin(int value);
    int max() const { return maximum(); }
    void setMax(int value);
    int frequency() const { return m_frequency; }
    void setFrequency(int value);
    int position() const { return value(); }
    /// Moves the thumb without firing changed().
    void setPosition(int value);
    int selStart() const { return m_selStart; }
    void setSelStart(int value);
    int selEnd() const { return m_selEnd; }
    void setSelEnd(int value);
    TTickMark tickMarks() const { return m_tickMarks; }
    void setTickMarks(TTickMark value);
    TTickStyle tickStyle() const { return m_tickStyle; }
    void setTickStyle(TTickStyle value);

    /// True while the channel shows the selection range.
    bool selRangeShown() const { return m_selRangeShown; }
    /// Where the range band lies (empty length when SelStart equals SelEnd), for tests.
    QRect selectionBandRect() const { return selectionBand(); }

Q_SIGNALS:
    /// OnChange: the user moved the position.
    void changed();

protected:
    /// The window style bit of the selection range; the plain trackbar always has it.
    void setSelRangeShown(bool shown);
    void paintEvent(QPaintEvent* event) override;
    void initStyleOption(QStyleOptionSlider* option) const override;

private:
    static constexpr int kChannelInset = 5;

    void applyTicks();
    int pixelOf(int value) const;
    QRect channelRect() const;
    QRect selectionBand() const;
    void paintSelectionEnds(class QPainter& painter, const QRect& channel);

    int m_frequency = 1;
    int m_selStart = 0;
    int m_selEnd = 0;
    TTickMark m_tickMarks = tmBottomRight;
    TTickStyle m_tickStyle = tsAuto;
    bool m_selRangeShown = true;
    bool m_settingByCode = false;
};

} // namespace morvex
