#include "controls/MaruBtn.h"

#include "tests/controls/ControlsTestUtil.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace morvex;

using namespace Qt::StringLiterals;

namespace {

QFont crispFont() {
    QFont font(u"ＭＳ Ｐゴシック"_s);
    font.setPixelSize(12);
    // Exact colours in pixel checks.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

class MaruBtnTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<QWidget>();
        form->setFont(crispFont());
        // A ring highlight that is not white keeps it apart from white caption pixels.
        QPalette palette = form->palette();
        palette.setColor(QPalette::Light, QColor(0xC0, 0xD0, 0xE0));
        form->setPalette(palette);
        form->resize(200, 100);
        first = new TMaruBtn(form.get());
        first->setObjectName(u"HeaderBtn"_s);
        first->setGeometry(10, 10, 50, 50);
        second = new TMaruBtn(form.get());
        second->setObjectName(u"FutterBtn"_s);
        second->setGeometry(100, 10, 50, 50);
        form->show();
    }

    /// A full left click at `pos` with the cursor resting there.
    static void clickAt(TMaruBtn* button, QPoint pos = QPoint(25, 25)) {
        setCursorAt(button, pos);
        QTest::mousePress(button, Qt::LeftButton, {}, pos);
        QTest::mouseRelease(button, Qt::LeftButton, {}, pos);
    }

    void makeGroup(bool allowAllUp) {
        for (TMaruBtn* button : {first, second}) {
            button->setGroupIndex(1);
            button->setAllowAllUp(allowAllUp);
        }
    }

    std::unique_ptr<QWidget> form;
    TMaruBtn* first = nullptr;
    TMaruBtn* second = nullptr;
};

TEST_F(MaruBtnTest, StartsWithTheDesignedValues) {
    TMaruBtn button;
    EXPECT_EQ(button.geometry(), QRect(0, 0, 50, 50));
    EXPECT_FALSE(button.allowAllUp());
    EXPECT_EQ(button.backFont(), clYellow);
    EXPECT_EQ(button.color(), clBtnFace);
    EXPECT_FALSE(button.down());
    EXPECT_FALSE(button.font3D());
    EXPECT_EQ(button.fontDepth(), 1);
    EXPECT_EQ(button.groupIndex(), 0);
    EXPECT_EQ(button.outLineColor(), clBtnShadow);
    EXPECT_EQ(button.style3D(), bsRaised);
    EXPECT_TRUE(button.caption().isEmpty());
    EXPECT_EQ(button.state(), TMaruBtn::StateUp);
    EXPECT_FALSE(button.dragging());
    EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
}

TEST(MaruBtnGeometry, InnerTextRectIsTheInscribedSquare) {
    struct Row {
        QRect rect;
        int left, top, right, bottom;
    };
    const Row rows[] = {
        {QRect(0, 0, 17, 17), 2, 2, 14, 14},
        {QRect(0, 0, 50, 50), 7, 7, 43, 43},
        {QRect(0, 0, 40, 20), 6, 3, 34, 17},
        {QRect(1, 3, 17, 17), 3, 5, 15, 17},
        // Each half of the centre is truncated towards zero: -3 div 2 = -1.
        {QRect(-3, -3, 17, 17), 0, 0, 12, 12},
    };
    for (const Row& row : rows) {
        const QRect inner = TMaruBtn::InnerTextRect(row.rect);
        EXPECT_EQ(inner.left(), row.left);
        EXPECT_EQ(inner.top(), row.top);
        EXPECT_EQ(inner.left() + inner.width(), row.right);
        EXPECT_EQ(inner.top() + inner.height(), row.bottom);
    }
}

TEST_F(MaruBtnTest, HitTestIsTheEllipse) {
    EXPECT_TRUE(first->InEllipse(25, 25));
    EXPECT_TRUE(first->InEllipse(1, 25));
    EXPECT_TRUE(first->InEllipse(25, 48));
    for (const QPoint corner : {QPoint(1, 1), QPoint(48, 1), QPoint(1, 48), QPoint(48, 48)})
        EXPECT_FALSE(first->InEllipse(corner.x(), corner.y()));
    EXPECT_FALSE(first->InEllipse(-1, 25));
    EXPECT_FALSE(first->InEllipse(50, 25));
}

TEST_F(MaruBtnTest, PressInACornerIsIgnored) {
    QSignalSpy downs(first, &TMaruBtn::mouseDown);
    QSignalSpy clicks(first, &TMaruBtn::clicked);
    const QPoint corner(2, 2);
    setCursorAt(first, corner);
    QTest::mousePress(first, Qt::LeftButton, {}, corner);
    EXPECT_EQ(first->state(), TMaruBtn::StateUp);
    EXPECT_FALSE(first->dragging());
    QTest::mouseRelease(first, Qt::LeftButton, {}, corner);
    EXPECT_EQ(downs.count(), 0);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(first->state(), TMaruBtn::StateUp);
}

TEST_F(MaruBtnTest, DraggingOutAndReleasingOutsideGivesNoClick) {
    QSignalSpy clicks(first, &TMaruBtn::clicked);
    QSignalSpy downs(first, &TMaruBtn::mouseDown);
    QSignalSpy ups(first, &TMaruBtn::mouseUp);
    QTest::mousePress(first, Qt::LeftButton, {}, QPoint(25, 25));
    EXPECT_EQ(downs.count(), 1);
    EXPECT_EQ(first->state(), TMaruBtn::StatePressed);
    EXPECT_TRUE(first->dragging());
    QTest::mouseMove(first, QPoint(2, 2));
    EXPECT_EQ(first->state(), TMaruBtn::StateUp);
    QTest::mouseMove(first, QPoint(20, 20));
    EXPECT_EQ(first->state(), TMaruBtn::StatePressed);
    QTest::mouseMove(first, QPoint(70, 25));
    EXPECT_EQ(first->state(), TMaruBtn::StateUp);
    // Even with the cursor back over the button, a release outside is no click.
    setCursorAt(first, QPoint(25, 25));
    QTest::mouseRelease(first, Qt::LeftButton, {}, QPoint(70, 25));
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(ups.count(), 0);
    EXPECT_FALSE(first->dragging());
    EXPECT_EQ(first->state(), TMaruBtn::StateUp);
}

TEST_F(MaruBtnTest, PushButtonNeverStaysDown) {
    QSignalSpy clicks(first, &TMaruBtn::clicked);
    first->setAllowAllUp(true);
    first->setDown(true);
    EXPECT_FALSE(first->down());
    clickAt(first);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(first->down());
    EXPECT_EQ(first->state(), TMaruBtn::StateUp);
}

TEST_F(MaruBtnTest, GroupWithAllowAllUpLatchesSwitchesAndReleasesAll) {
    makeGroup(true);
    QSignalSpy firstClicks(first, &TMaruBtn::clicked);
    QSignalSpy secondClicks(second, &TMaruBtn::clicked);
    clickAt(first);
    EXPECT_TRUE(first->down());
    EXPECT_EQ(first->state(), TMaruBtn::StateLatched);
    clickAt(second);
    EXPECT_TRUE(second->down());
    EXPECT_FALSE(first->down());
    EXPECT_EQ(first->state(), TMaruBtn::StateUp);
    clickAt(second);
    EXPECT_FALSE(first->down());
    EXPECT_FALSE(second->down());
    EXPECT_EQ(second->state(), TMaruBtn::StateUp);
    EXPECT_EQ(firstClicks.count(), 1);
    EXPECT_EQ(secondClicks.count(), 2);
}

TEST_F(MaruBtnTest, GroupWithoutAllowAllUpKeepsItsButtonDown) {
    makeGroup(false);
    clickAt(first);
    ASSERT_TRUE(first->down());
    clickAt(first);
    EXPECT_TRUE(first->down());
    // It also still looks latched.
    EXPECT_EQ(first->state(), TMaruBtn::StateLatched);
    first->setDown(false);
    EXPECT_TRUE(first->down());
    // Another member may still take over.
    second->setDown(true);
    EXPECT_TRUE(second->down());
    EXPECT_FALSE(first->down());
}

TEST_F(MaruBtnTest, GroupSharesAllowAllUpAndIgnoresOtherGroups) {
    makeGroup(false);
    auto* stranger = new TMaruBtn(form.get());
    stranger->setGroupIndex(2);
    stranger->setDown(true);
    first->setAllowAllUp(true);
    EXPECT_TRUE(second->allowAllUp());
    EXPECT_FALSE(stranger->allowAllUp());
    first->setDown(true);
    EXPECT_TRUE(stranger->down());
    // A button of another parent is no member either.
    QWidget otherForm;
    auto* outsider = new TMaruBtn(&otherForm);
    outsider->setGroupIndex(1);
    outsider->setAllowAllUp(true);
    outsider->setDown(true);
    EXPECT_TRUE(first->down());
    EXPECT_TRUE(outsider->down());
}

TEST_F(MaruBtnTest, LeavingTheGroupReleasesTheButton) {
    makeGroup(true);
    first->setDown(true);
    first->setGroupIndex(0);
    EXPECT_FALSE(first->down());
    EXPECT_EQ(first->state(), TMaruBtn::StateUp);
}

TEST_F(MaruBtnTest, ClickNeedsTheCursorOverTheEllipse) {
    QSignalSpy clicks(first, &TMaruBtn::clicked);
    QSignalSpy ups(first, &TMaruBtn::mouseUp);
    setCursorAt(first, QPoint(2, 2));
    QTest::mousePress(first, Qt::LeftButton, {}, QPoint(25, 25));
    QTest::mouseRelease(first, Qt::LeftButton, {}, QPoint(25, 25));
    EXPECT_EQ(ups.count(), 1);
    EXPECT_EQ(clicks.count(), 0);
    clickAt(first, QPoint(25, 25));
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(MaruBtnTest, RightButtonNeitherPressesNorClicks) {
    QSignalSpy clicks(first, &TMaruBtn::clicked);
    QSignalSpy downs(first, &TMaruBtn::mouseDown);
    setCursorAt(first, QPoint(25, 25));
    QTest::mousePress(first, Qt::RightButton, {}, QPoint(25, 25));
    EXPECT_EQ(downs.count(), 1);
    EXPECT_EQ(downs.first().at(0).value<Qt::MouseButton>(), Qt::RightButton);
    EXPECT_EQ(first->state(), TMaruBtn::StateUp);
    QTest::mouseRelease(first, Qt::RightButton, {}, QPoint(25, 25));
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(MaruBtnTest, MouseMoveIsReportedOnlyOverTheEllipse) {
    QSignalSpy moves(first, &TMaruBtn::mouseMove);
    QMouseEvent inside(QEvent::MouseMove, QPointF(25, 25), first->mapToGlobal(QPointF(25, 25)),
                       Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QMouseEvent corner(QEvent::MouseMove, QPointF(2, 2), first->mapToGlobal(QPointF(2, 2)),
                       Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(first, &corner);
    EXPECT_EQ(moves.count(), 0);
    QApplication::sendEvent(first, &inside);
    ASSERT_EQ(moves.count(), 1);
    EXPECT_EQ(moves.first().at(1).toPoint(), QPoint(25, 25));
}

TEST_F(MaruBtnTest, DoubleClickReportsOnlyWhileDown) {
    makeGroup(true);
    QSignalSpy doubles(first, &TMaruBtn::doubleClicked);
    QSignalSpy downs(first, &TMaruBtn::mouseDown);
    QTest::mouseDClick(first, Qt::LeftButton, {}, QPoint(25, 25));
    QTest::mouseRelease(first, Qt::LeftButton, {}, QPoint(25, 25));
    EXPECT_EQ(doubles.count(), 0);
    EXPECT_EQ(downs.count(), 1);
    first->setDown(false);
    first->setDown(true);
    QTest::mouseDClick(first, Qt::LeftButton, {}, QPoint(25, 25));
    EXPECT_EQ(doubles.count(), 1);
    EXPECT_TRUE(first->dragging());
    // Outside the ellipse there is no press, but a down button still reports it.
    QTest::mouseRelease(first, Qt::LeftButton, {}, QPoint(25, 25));
    first->setDown(true);
    QTest::mouseDClick(first, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(doubles.count(), 2);
    EXPECT_FALSE(first->dragging());
}

TEST_F(MaruBtnTest, AcceleratorClicksOnlyOverTheEllipse) {
    first->setCaption(u"&Header"_s);
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QSignalSpy clicks(first, &TMaruBtn::clicked);
    setCursorAt(first, QPoint(25, 25));
    QTest::keyClick(form.get(), Qt::Key_H, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    setCursorAt(first, QPoint(2, 2));
    QTest::keyClick(form.get(), Qt::Key_H, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    setCursorAt(first, QPoint(25, 25));
    first->setEnabled(false);
    QTest::keyClick(form.get(), Qt::Key_H, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    first->setEnabled(true);
    first->setCaption(u"&Footer"_s);
    QTest::keyClick(form.get(), Qt::Key_H, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    QTest::keyClick(form.get(), Qt::Key_F, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 2);
}

TEST_F(MaruBtnTest, DisabledButtonTakesNoPress) {
    QSignalSpy downs(first, &TMaruBtn::mouseDown);
    first->setEnabled(false);
    QTest::mousePress(first, Qt::LeftButton, {}, QPoint(25, 25));
    EXPECT_EQ(downs.count(), 0);
    EXPECT_FALSE(first->dragging());
    renderAt1x(first);
    EXPECT_EQ(first->state(), TMaruBtn::StateDisabled);
    first->setEnabled(true);
    renderAt1x(first);
    EXPECT_EQ(first->state(), TMaruBtn::StateUp);
}

TEST_F(MaruBtnTest, DisabledCaptionIsLightEdgeUnderGreyTextOnePixelApart) {
    first->setCaption(u"W"_s);
    first->setEnabled(false);
    const QImage image = renderAt1x(first);
    const QRect box = TMaruBtn::InnerTextRect(first->rect()).adjusted(0, 0, 1, 1);
    // White under 128 grey on the classic scheme; here the palette's own light edge.
    const auto grey = pixelsOf(image, toQColor(clGrayText, first->palette()).rgb(), box);
    ASSERT_GT(grey.size(), 10);
    // The ring is drawn in the light edge as well: look around the caption only.
    QRect caption;
    for (const auto& [x, y] : grey)
        caption |= QRect(x, y, 2, 2);
    const auto white = pixelsOf(image, QColor(0xC0, 0xD0, 0xE0), caption);
    EXPECT_EQ(white, shifted(grey, 1, 1) - grey);
}

TEST_F(MaruBtnTest, RaisedAndLoweredCaptionsPutTheCopyOnOppositeSides) {
    first->setCaption(u"W"_s);
    first->setColor(clYellow);
    first->setFontColor(clBlack);
    first->setBackFont(clWhite);
    first->setFont3D(true);
    const QRect box = TMaruBtn::InnerTextRect(first->rect()).adjusted(-1, -1, 1, 1);
    for (const auto& [style, offset] : {std::pair(bsRaised, -1), std::pair(bsLowered, 1)}) {
        first->setStyle3D(style);
        const QImage image = renderAt1x(first);
        const auto text = pixelsOf(image, QColor(0, 0, 0), box);
        const auto copy = pixelsOf(image, QColor(255, 255, 255), box);
        ASSERT_GT(text.size(), 10);
        EXPECT_EQ(copy, shifted(text, offset, offset) - text);
    }
    // A pressed caption moves by one pixel.
    first->setFont3D(false);
    const auto up = pixelsOf(renderAt1x(first), QColor(0, 0, 0), box);
    QTest::mousePress(first, Qt::LeftButton, {}, QPoint(25, 25));
    const auto pressed = pixelsOf(renderAt1x(first), QColor(0, 0, 0), box);
    EXPECT_EQ(pressed, shifted(up, 1, 1));
}

TEST_F(MaruBtnTest, SmallFaceIsLightUpperLeftWhenUpAndReversedWhenLatched) {
    auto* button = new TMaruBtn(form.get());
    button->setGeometry(20, 70, 17, 17);
    button->setGroupIndex(1);
    button->setAllowAllUp(true);
    // Rendered pixels have 8 bits a channel, the palette may have more.
    const QColor light = toQColor(clBtnHighlight, button->palette()).rgb();
    const QColor dark = toQColor(clBtnShadow, button->palette()).rgb();
    const QColor face = toQColor(clBtnFace, button->palette()).rgb();
    ASSERT_NE(light, dark);

    QImage image = renderAt1x(button);
    EXPECT_EQ(image.pixelColor(4, 4), light);  // upper left
    EXPECT_EQ(image.pixelColor(12, 12), dark); // lower right
    EXPECT_EQ(image.pixelColor(12, 4), dark);  // upper right
    EXPECT_EQ(image.pixelColor(4, 12), dark);  // lower left
    // The light part runs from just above nine o'clock to just left of twelve o'clock.
    EXPECT_EQ(image.pixelColor(2, 6), light);
    EXPECT_EQ(image.pixelColor(2, 10), dark);
    EXPECT_EQ(image.pixelColor(6, 2), light);
    EXPECT_EQ(image.pixelColor(10, 2), dark);
    EXPECT_EQ(image.pixelColor(8, 8), face);
    EXPECT_EQ(image.pixelColor(8, 0), dark);                     // outer ring
    EXPECT_EQ(image.pixelColor(0, 0), QColor(0x12, 0x34, 0x56)); // corner untouched

    button->setDown(true);
    image = renderAt1x(button);
    EXPECT_EQ(image.pixelColor(4, 4), dark);
    EXPECT_EQ(image.pixelColor(12, 12), light);
    EXPECT_EQ(image.pixelColor(12, 4), light);
    // The latched face is a checkerboard of the light edge (white, classically) and the face.
    EXPECT_EQ(image.pixelColor(8, 8), light);
    EXPECT_EQ(image.pixelColor(9, 8), face);
    EXPECT_EQ(image.pixelColor(9, 9), light);

    button->setDown(false);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(8, 8));
    image = renderAt1x(button);
    EXPECT_EQ(image.pixelColor(4, 4), dark);
    EXPECT_EQ(image.pixelColor(12, 12), light);
    EXPECT_EQ(image.pixelColor(8, 8), face);
    EXPECT_EQ(image.pixelColor(9, 8), face);
}

TEST_F(MaruBtnTest, TinyButtonsStillPaintTheirFace) {
    auto* button = new TMaruBtn(form.get());
    button->setGroupIndex(1);
    button->setDown(true);
    button->setCaption(u"&A"_s);
    // Below two pixels there is no ellipse to draw; the paint must merely survive it.
    for (const int side : {0, 1}) {
        button->resize(side, side);
        EXPECT_EQ(renderAt1x(button).size(), QSize(side, side));
    }
    for (const int side : {2, 3, 4, 5, 6}) {
        button->resize(side, side);
        const QImage image = renderAt1x(button);
        EXPECT_NE(image.pixelColor(side / 2, side / 2), QColor(0x12, 0x34, 0x56)) << side;
    }
}

TEST_F(MaruBtnTest, LatchPatternLivesFromTheFirstLatchedPaintUntilAButtonDies) {
    delete new TMaruBtn;
    ASSERT_EQ(TMaruBtn::LatchPattern(), nullptr);
    makeGroup(true);
    renderAt1x(first);
    EXPECT_EQ(TMaruBtn::LatchPattern(), nullptr);
    first->setDown(true);
    renderAt1x(first);
    const QImage* pattern = TMaruBtn::LatchPattern();
    ASSERT_NE(pattern, nullptr);
    EXPECT_EQ(pattern->size(), QSize(8, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(pattern->pixelColor(x, y) == QColor(0xC0, 0xD0, 0xE0), x % 2 == y % 2);
    delete second;
    second = nullptr;
    EXPECT_EQ(TMaruBtn::LatchPattern(), nullptr);
    renderAt1x(first);
    EXPECT_NE(TMaruBtn::LatchPattern(), nullptr);
}

TEST_F(MaruBtnTest, SettersRepaintOnlyWhenTheLookChanges) {
    QCoreApplication::processEvents();
    PaintCounter paints(first);
    EXPECT_EQ(paints.after([&] { first->setColor(clBtnFace); }), 0);
    EXPECT_GT(paints.after([&] { first->setColor(clYellow); }), 0);
    EXPECT_EQ(paints.after([&] { first->setOutLineColor(clBtnShadow); }), 0);
    EXPECT_GT(paints.after([&] { first->setOutLineColor(clBlack); }), 0);
    EXPECT_EQ(paints.after([&] { first->setBackFont(clWhite); }), 0);
    EXPECT_EQ(paints.after([&] { first->setFontDepth(2); }), 0);
    EXPECT_EQ(first->backFont(), clWhite);
    EXPECT_EQ(first->fontDepth(), 2);
    EXPECT_GT(paints.after([&] { first->setFont3D(true); }), 0);
    EXPECT_GT(paints.after([&] { first->setBackFont(clGray); }), 0);
    EXPECT_GT(paints.after([&] { first->setFontDepth(3); }), 0);
    EXPECT_EQ(paints.after([&] { first->setStyle3D(bsRaised); }), 0);
    EXPECT_GT(paints.after([&] { first->setStyle3D(bsLowered); }), 0);
    EXPECT_GT(paints.after([&] { first->setCaption(u"&A"_s); }), 0);
}

} // namespace
