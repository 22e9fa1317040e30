#include "controls/ExLabel.h"

#include "gui/GuiStartup.h"
#include "tests/controls/ControlsTestUtil.h"

#include <QApplication>
#include <QFontInfo>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace morvex;

using namespace Qt::StringLiterals;

namespace {

const QColor ground(0x12, 0x34, 0x56);
const QColor black(0, 0, 0);
const QColor white(255, 255, 255);
const QColor yellow(255, 255, 0);

class ExLabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<QWidget>();
        QFont font(u"ＭＳ Ｐゴシック"_s);
        font.setPixelSize(12);
        font.setStyleStrategy(QFont::NoAntialias);
        form->setFont(font);
        form->resize(200, 100);
        label = new TExLabel(form.get());
        label->setObjectName(u"Version"_s);
        label->setAutoSize(false);
        label->setGeometry(10, 10, 80, 30);
        label->setColor(clYellow);
        label->setFontColor(clBlack);
        label->setCaption(u"W"_s);
        form->show();
    }

    /// The smallest rectangle holding every pixel of `color`.
    QRect extentOf(QColor color) const {
        QRect extent;
        for (const auto& [x, y] : pixelsOf(renderAt1x(label, ground), color, label->rect()))
            extent |= QRect(x, y, 1, 1);
        return extent;
    }

    std::unique_ptr<QWidget> form;
    TExLabel* label = nullptr;
};

TEST(ExLabelDefaults, StartWithTheDesignedValues) {
    TExLabel label;
    EXPECT_EQ(label.backFont(), clYellow);
    EXPECT_EQ(label.style3D(), bsLowered);
    EXPECT_FALSE(label.font3D());
    EXPECT_FALSE(label.drawOutLine());
    EXPECT_EQ(label.labelType(), lbRectangle);
    EXPECT_EQ(label.fontDepth(), 1);
    EXPECT_EQ(label.edgeDepth(), 10);
    EXPECT_EQ(label.outLineColor(), clBlack);
    EXPECT_EQ(label.color(), clBtnFace);
    EXPECT_FALSE(label.transparent());
    EXPECT_TRUE(label.showAccelChar());
    EXPECT_TRUE(label.autoSize());
    EXPECT_FALSE(label.wordWrap());
}

TEST_F(ExLabelTest, ShapesFillOnlyTheirArea) {
    label->setCaption(QString());
    QImage image = renderAt1x(label, ground);
    EXPECT_EQ(image.pixelColor(0, 0), yellow);
    EXPECT_EQ(image.pixelColor(79, 29), yellow);

    label->setLabelType(lbCircle);
    image = renderAt1x(label, ground);
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(79, 0), QPoint(0, 29), QPoint(79, 29), QPoint(6, 3), QPoint(73, 26)})
        EXPECT_EQ(image.pixelColor(corner), ground);
    EXPECT_EQ(image.pixelColor(40, 15), yellow);
    EXPECT_EQ(image.pixelColor(0, 15), yellow);
    EXPECT_EQ(image.pixelColor(40, 0), yellow);

    label->setLabelType(lbRoundRect);
    label->setEdgeDepth(20);
    image = renderAt1x(label, ground);
    EXPECT_EQ(image.pixelColor(0, 0), ground);
    EXPECT_EQ(image.pixelColor(1, 1), ground);
    EXPECT_EQ(image.pixelColor(10, 0), yellow);
    EXPECT_EQ(image.pixelColor(0, 10), yellow);
    EXPECT_EQ(image.pixelColor(79, 29 - 10), yellow);
}

TEST_F(ExLabelTest, OutlineTakesOutLineColorOnlyWhenAsked) {
    label->setCaption(QString());
    label->setOutLineColor(clGray);
    EXPECT_EQ(renderAt1x(label, ground).pixelColor(40, 0), yellow);
    label->setDrawOutLine(true);
    const QImage image = renderAt1x(label, ground);
    const QColor grey(128, 128, 128);
    EXPECT_EQ(image.pixelColor(40, 0), grey);
    EXPECT_EQ(image.pixelColor(0, 15), grey);
    EXPECT_EQ(image.pixelColor(79, 15), grey);
    EXPECT_EQ(image.pixelColor(40, 29), grey);
    EXPECT_EQ(image.pixelColor(40, 1), yellow);
}

TEST_F(ExLabelTest, TransparentLabelDrawsOnlyItsText) {
    label->setTransparent(true);
    const QImage image = renderAt1x(label, ground);
    EXPECT_EQ(image.pixelColor(0, 0), ground);
    EXPECT_EQ(image.pixelColor(79, 29), ground);
    EXPECT_TRUE(pixelsOf(image, yellow, label->rect()).isEmpty());
    EXPECT_FALSE(pixelsOf(image, black, label->rect()).isEmpty());
}

TEST_F(ExLabelTest, ReliefCopyLiesFontDepthAwayFromTheText) {
    label->setAlignment(Qt::AlignHCenter);
    label->setFont3D(true);
    label->setBackFont(clWhite);
    struct Row {
        TStyle3D style;
        int depth;
        int offset;
    };
    for (const Row& row :
         {Row{bsLowered, 1, 1}, Row{bsRaised, 1, -1}, Row{bsLowered, 2, 2}, Row{bsRaised, 3, -3}}) {
        label->setStyle3D(row.style);
        label->setFontDepth(row.depth);
        const QImage image = renderAt1x(label, ground);
        const auto text = pixelsOf(image, black, label->rect());
        const auto copy = pixelsOf(image, white, label->rect());
        ASSERT_GT(text.size(), 10);
        EXPECT_EQ(copy, shifted(text, row.offset, row.offset) - text);
    }
    // The text itself stays where the flat text is.
    const auto relief = pixelsOf(renderAt1x(label, ground), black, label->rect());
    label->setFont3D(false);
    EXPECT_EQ(pixelsOf(renderAt1x(label, ground), black, label->rect()), relief);
}

TEST_F(ExLabelTest, DisabledTextIsWhiteUnderGrey) {
    label->setEnabled(false);
    const QImage image = renderAt1x(label, ground);
    const auto grey = pixelsOf(image, QColor(128, 128, 128), label->rect());
    const auto light = pixelsOf(image, white, label->rect());
    ASSERT_GT(grey.size(), 10);
    EXPECT_EQ(light, shifted(grey, 1, 1) - grey);
    EXPECT_TRUE(pixelsOf(image, black, label->rect()).isEmpty());
}

TEST_F(ExLabelTest, TextIsCentredVerticallyAndAlignedHorizontally) {
    const QRect low = extentOf(black);
    label->resize(80, 50);
    const QRect tall = extentOf(black);
    EXPECT_EQ(tall.top() - low.top(), 10);
    EXPECT_LT(tall.left(), 5);

    label->setAlignment(Qt::AlignRight);
    EXPECT_GT(extentOf(black).right(), 74);
    label->setAlignment(Qt::AlignHCenter);
    const QRect centred = extentOf(black);
    EXPECT_LE(std::abs(centred.left() + centred.right() - 79), 2);
}

TEST_F(ExLabelTest, AcceleratorCharacterFollowsShowAccelChar) {
    label->setCaption(u"&&W"_s);
    const int withPrefixes = extentOf(black).width();
    label->setShowAccelChar(false);
    const int literal = extentOf(black).width();
    // "&&" draws one "&" with prefixes, two without.
    EXPECT_GT(literal, withPrefixes);

    label->setCaption(u"&W"_s);
    label->setShowAccelChar(true);
    const QRect underlined = extentOf(black);
    label->setCaption(u"W"_s);
    const QRect plain = extentOf(black);
    EXPECT_GT(underlined.bottom(), plain.bottom());
    EXPECT_EQ(underlined.width(), plain.width());
}

TEST_F(ExLabelTest, WordWrapBreaksLongText) {
    label->setCaption(u"wrap this text"_s);
    const QRect single = extentOf(black);
    label->setWordWrap(true);
    const QRect wrapped = extentOf(black);
    label->resize(30, 30);
    const QRect narrow = extentOf(black);
    EXPECT_EQ(wrapped.height(), single.height());
    EXPECT_GT(narrow.height(), single.height() + 8);
    EXPECT_LT(narrow.width(), single.width());
}

// Asking for the stand-in directly must give the font the substitution gives, and a family that
// is installed, or has no stand-in, is asked for as it is.
TEST(DesignedFamily, NamesTheInstalledStandIn) {
    for (const auto& [designed, standIn] : {std::pair{u"ＭＳ Ｐゴシック"_s, u"IPAPGothic"_s},
                                            std::pair{u"MS PGothic"_s, u"IPAPGothic"_s},
                                            std::pair{u"ＭＳ ゴシック"_s, u"IPAGothic"_s},
                                            std::pair{u"MS Gothic"_s, u"IPAGothic"_s}}) {
        EXPECT_EQ(morvex::designedFamily(designed), standIn);
        EXPECT_EQ(QFontInfo(QFont(designed)).family(), standIn) << "the substitution itself";
    }
    EXPECT_EQ(morvex::designedFamily(u"IPAPGothic"_s), u"IPAPGothic"_s);
    EXPECT_EQ(morvex::designedFamily(u"No Such Family Here"_s), u"No Such Family Here"_s);
}

TEST_F(ExLabelTest, AutoSizeFollowsTheText) {
    // The designed font at 12 px: IPAPGothic with 13-pixel lines.
    EXPECT_EQ(QFontInfo(label->font()).family(), u"IPAPGothic"_s);
    const QFontMetrics metrics(label->font());
    label->setAutoSize(true);
    EXPECT_EQ(label->height(), 13);
    label->setCaption(u"10秒"_s);
    EXPECT_NEAR(label->width(), metrics.horizontalAdvance(u"10秒"_s), 1);
    EXPECT_EQ(label->pos(), QPoint(10, 10));
    label->setCaption(QString());
    EXPECT_EQ(label->height(), 13);
    EXPECT_GT(label->width(), 0);

    label->setCaption(u"10秒"_s);
    label->setAlignment(Qt::AlignRight);
    const int right = label->x() + label->width();
    label->setCaption(u"5"_s);
    EXPECT_EQ(label->x() + label->width(), right);
    EXPECT_NEAR(label->width(), metrics.horizontalAdvance(u"5"_s), 1);

    const QSize fixed = label->size();
    label->setAutoSize(false);
    label->setCaption(u"long caption"_s);
    EXPECT_EQ(label->size(), fixed);
}

TEST_F(ExLabelTest, SettersRepaintOnlyOnChange) {
    QCoreApplication::processEvents();
    PaintCounter paints(label);
    EXPECT_EQ(paints.after([&] { label->setFontDepth(1); }), 0);
    EXPECT_GT(paints.after([&] { label->setFontDepth(2); }), 0);
    EXPECT_EQ(paints.after([&] { label->setStyle3D(bsLowered); }), 0);
    EXPECT_GT(paints.after([&] { label->setStyle3D(bsRaised); }), 0);
    EXPECT_EQ(paints.after([&] { label->setLabelType(lbRectangle); }), 0);
    EXPECT_GT(paints.after([&] { label->setLabelType(lbCircle); }), 0);
    EXPECT_EQ(paints.after([&] { label->setEdgeDepth(10); }), 0);
    EXPECT_GT(paints.after([&] { label->setEdgeDepth(12); }), 0);
    EXPECT_EQ(paints.after([&] { label->setOutLineColor(clGray); }), 0);
    EXPECT_EQ(label->outLineColor(), clGray);
    EXPECT_GT(paints.after([&] { label->setDrawOutLine(true); }), 0);
    EXPECT_GT(paints.after([&] { label->setOutLineColor(clWhite); }), 0);
    EXPECT_EQ(paints.after([&] { label->setFont3D(false); }), 0);
    EXPECT_GT(paints.after([&] { label->setFont3D(true); }), 0);
    EXPECT_EQ(paints.after([&] { label->setBackFont(clYellow); }), 0);
    EXPECT_GT(paints.after([&] { label->setBackFont(clWhite); }), 0);
}

TEST_F(ExLabelTest, KeepsTheLabelsBuddy) {
    auto* edit = new QWidget(form.get());
    edit->setFocusPolicy(Qt::StrongFocus);
    edit->show();
    label->setCaption(u"&Time"_s);
    label->setBuddy(edit);
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_T, Qt::AltModifier);
    EXPECT_TRUE(edit->hasFocus());
}

} // namespace
