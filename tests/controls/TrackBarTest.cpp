#include "controls/DisRangeTrackBar.h"
#include "tests/controls/ControlsTestUtil.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace morvex;

namespace {

class TrackBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<QWidget>();
        form->resize(300, 100);
        bar = new TDisRangeTrackBar(form.get());
        bar->setGeometry(72, 52, 157, 17);
        bar->setPosition(5);
        form->show();
    }

    int highlightPixels() const {
        const QColor highlight = bar->palette().color(QPalette::Highlight).rgb();
        return int(pixelsOf(renderAt1x(bar), highlight, bar->rect()).size());
    }

    /// The x of the channel where `value` lies.
    int xOf(int value) const {
        const int start = bar->selStart();
        const int end = bar->selEnd();
        bar->setSelStart(value);
        bar->setSelEnd(value);
        const int x = bar->selectionBandRect().left();
        bar->setSelStart(start);
        bar->setSelEnd(end);
        return x;
    }

    std::unique_ptr<QWidget> form;
    TDisRangeTrackBar* bar = nullptr;
};

TEST(TrackBarDefaults, StartWithTheToolkitValues) {
    TDisRangeTrackBar bar;
    EXPECT_EQ(bar.orientation(), Qt::Horizontal);
    EXPECT_EQ(bar.min(), 0);
    EXPECT_EQ(bar.max(), 10);
    EXPECT_EQ(bar.position(), 0);
    EXPECT_EQ(bar.frequency(), 1);
    EXPECT_EQ(bar.selStart(), 0);
    EXPECT_EQ(bar.selEnd(), 0);
    EXPECT_EQ(bar.tickMarks(), tmBottomRight);
    EXPECT_EQ(bar.tickStyle(), tsAuto);
    EXPECT_EQ(bar.tickPosition(), QSlider::TicksBelow);
    EXPECT_EQ(bar.tickInterval(), 1);
    EXPECT_FALSE(bar.enableSelRange());
    EXPECT_FALSE(bar.selRangeShown());
    // The plain trackbar always shows its range.
    EXPECT_TRUE(TTrackBar().selRangeShown());
}

TEST(TrackBarTicks, TickPropertiesMapToTheSlider) {
    TTrackBar bar;
    bar.setTickMarks(tmTopLeft);
    EXPECT_EQ(bar.tickPosition(), QSlider::TicksAbove);
    bar.setTickMarks(tmBoth);
    EXPECT_EQ(bar.tickPosition(), QSlider::TicksBothSides);
    bar.setFrequency(3);
    EXPECT_EQ(bar.tickInterval(), 3);
    bar.setTickStyle(tsManual);
    EXPECT_EQ(bar.tickInterval(), 10);
    bar.setMax(20);
    EXPECT_EQ(bar.tickInterval(), 20);
    bar.setTickStyle(tsNone);
    EXPECT_EQ(bar.tickPosition(), QSlider::NoTicks);
    bar.setTickStyle(tsAuto);
    EXPECT_EQ(bar.tickPosition(), QSlider::TicksBothSides);
    EXPECT_EQ(bar.tickInterval(), 3);
}

TEST_F(TrackBarTest, RangeBandFollowsEnableSelRange) {
    // Created with the range at 0 to 0: plain ticks, no band.
    EXPECT_EQ(highlightPixels(), 0);
    const QImage plain = renderAt1x(bar);
    bar->setSelStart(1);
    bar->setSelEnd(3);
    EXPECT_EQ(highlightPixels(), 0);

    bar->setEnableSelRange(true);
    EXPECT_TRUE(bar->selRangeShown());
    const QRect band = bar->selectionBandRect();
    EXPECT_EQ(band.left(), xOf(1));
    EXPECT_EQ(band.right(), xOf(3));
    const QColor highlight = bar->palette().color(QPalette::Highlight).rgb();
    const auto lit = pixelsOf(renderAt1x(bar), highlight, bar->rect());
    EXPECT_EQ(int(lit.size()), band.width() * band.height());
    EXPECT_TRUE(lit.contains({band.left(), band.top()}));
    EXPECT_TRUE(lit.contains({band.right(), band.bottom()}));

    bar->setEnableSelRange(false);
    EXPECT_EQ(highlightPixels(), 0);
    EXPECT_EQ(renderAt1x(bar), plain);
}

TEST_F(TrackBarTest, ChangedFiresForTheUserOnly) {
    QSignalSpy changes(bar, &TTrackBar::changed);
    bar->setPosition(7);
    bar->setMax(6);
    EXPECT_EQ(bar->position(), 6);
    bar->setMin(0);
    bar->setMax(10);
    EXPECT_EQ(changes.count(), 0);

    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Right);
    EXPECT_EQ(bar->position(), 7);
    EXPECT_EQ(changes.count(), 1);
}

TEST_F(TrackBarTest, DraggingTheThumbFollowsTheChannel) {
    QSignalSpy changes(bar, &TTrackBar::changed);
    const int y = bar->selectionBandRect().center().y();
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(xOf(5), y));
    QTest::mouseMove(bar, QPoint(xOf(8), y));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(xOf(8), y));
    EXPECT_EQ(bar->position(), 8);
    EXPECT_GE(changes.count(), 1);
    // The channel stays clear of both ends of the control.
    EXPECT_GT(xOf(0), 5);
    EXPECT_LT(xOf(10), bar->width() - 5);
}

} // namespace
