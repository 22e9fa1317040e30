// The layout helpers every designed window shares: captions condensed to fit, designed font
// sizes, rows of a fixed height.
#include "gui/DesignedWindow.h"

#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <climits>
#include <gtest/gtest.h>
#include <vector>

namespace morvex {
namespace {
using namespace Qt::StringLiterals;

int widthAt(QFont font, int stretch, const QString& text) {
    font.setStretch(stretch);
    return QFontMetrics(font).horizontalAdvance(text);
}

TEST(CondensedStretch, FitsWhereItCanNeverBelowTheNarrowestAndGrowsWithTheRoom) {
    const QFont font = designedDialogFont();
    for (const QString& text : {u"ﾍｯﾀﾞ変換数:"_s, u"ﾌｯﾀﾘｽﾄ(L):"_s, u"Shift-JIS"_s}) {
        SCOPED_TRACE(text.toStdString());
        const int natural = QFontMetrics(font).horizontalAdvance(text);
        EXPECT_EQ(condensedStretch(font, text, natural, 1), QFont::Unstretched);
        EXPECT_EQ(condensedStretch(font, text, natural + 20, 1), QFont::Unstretched);
        int previous = 0;
        for (int room = -3; room < natural; ++room) {
            SCOPED_TRACE(room);
            const int stretch = condensedStretch(font, text, room, 50);
            EXPECT_GE(stretch, 50);
            EXPECT_LT(stretch, 100);
            EXPECT_GE(stretch, previous);
            if (stretch > 50) {
                EXPECT_LE(widthAt(font, stretch, text), room);
            }
            previous = stretch;
        }
        // No room at all: the narrowest allowed, whatever it is.
        EXPECT_EQ(condensedStretch(font, text, 0, 1), 1);
        EXPECT_EQ(condensedStretch(font, text, -10, 30), 30);
    }
}

// Against every stretch tried in turn, for each room from none to the natural width.
TEST(WidestStretch, IsTheWidestThatFitsOrTheNarrowest) {
    const QFont font = designedDialogFont();
    for (const QString& text : {u"ﾍｯﾀﾞﾘｽﾄ(H):"_s, u"ﾌｯﾀﾘｽﾄ(L):"_s, u"Shift-JIS"_s}) {
        SCOPED_TRACE(text.toStdString());
        std::vector<int> widths(100);
        for (int stretch = 50; stretch < 100; ++stretch)
            widths[size_t(stretch)] = widthAt(font, stretch, text);
        for (int room = -3; room <= widths[99] + 2; ++room) {
            int widest = 50;
            for (int stretch = 50; stretch < 100; ++stretch) {
                if (widths[size_t(stretch)] <= room)
                    widest = stretch;
            }
            const int natural = QFontMetrics(font).horizontalAdvance(text);
            EXPECT_EQ(widestStretch(font, text, room, 50),
                      natural <= room ? int(QFont::Unstretched) : widest)
                << "room " << room;
        }
    }
}

TEST(EndCaptionBefore, CondensesTheWidestThatFitsAndLeavesAFittingCaptionAlone) {
    QWidget panel;
    panel.setFont(designedDialogFont());
    QLabel* caption = makeLabel(&panel, u"Caption"_s, u"ﾍｯﾀﾞﾘｽﾄﾌｧｲﾙ(&H):"_s, 4, 10);
    const QString shown = u"ﾍｯﾀﾞﾘｽﾄﾌｧｲﾙ(H):"_s;
    const int natural = QFontMetrics(caption->font()).horizontalAdvance(shown);
    const int right = 4 + natural * 3 / 4 + 3;
    endCaptionBefore(caption, right, 3);
    const int stretch = caption->font().stretch();
    ASSERT_GE(stretch, 50);
    ASSERT_LT(stretch, 100);
    const int room = right - 3 - caption->x();
    EXPECT_LE(caption->fontMetrics().horizontalAdvance(shown), room);
    EXPECT_GT(widthAt(caption->font(), stretch + 1, shown), room); // the widest that fits
    EXPECT_EQ(caption->width(), caption->sizeHint().width());
    EXPECT_EQ(caption->pos(), QPoint(4, 10));

    // The accelerator's "&" is not drawn, so it takes no room.
    QLabel* exact = makeLabel(&panel, u"Exact"_s, u"&Open"_s, 0, 0);
    endCaptionBefore(exact, QFontMetrics(exact->font()).horizontalAdvance(u"Open"_s), 0);
    EXPECT_FALSE(exact->testAttribute(Qt::WA_SetFont));

    // However little the room, never below half width.
    QLabel* tight = makeLabel(&panel, u"Tight"_s, shown, 4, 30);
    endCaptionBefore(tight, 10, 3);
    EXPECT_EQ(tight->font().stretch(), 50);
}

TEST(DesignedFontSizes, NinePointsAreTwelvePixelsAndStoredNonsenseIsHeld) {
    EXPECT_EQ(pixelsFromPoints(9), 12);
    EXPECT_EQ(pointsFromPixels(12), 9);
    for (qint32 points = 1; points <= 72; ++points)
        EXPECT_EQ(pointsFromPixels(pixelsFromPoints(points)), points) << points;
    for (const qint32 stored : {0, -7, INT_MIN})
        EXPECT_EQ(pixelsFromPoints(stored), 1) << stored;
    EXPECT_EQ(pixelsFromPoints(INT_MAX), 4096);

    QFont byPixels = designedDialogFont();
    EXPECT_EQ(fontPixels(byPixels), 12);
    QFont byPoints(u"ＭＳ ゴシック"_s);
    byPoints.setPointSizeF(10.5);
    EXPECT_EQ(fontPixels(byPoints), 14);
}

TEST(FixedRows, EveryRowIsTheDesignedHeightWhateverTheFont) {
    for (const int height : {12, 20}) {
        QListWidget list;
        QFont large = designedDialogFont();
        large.setPixelSize(16);
        list.setFont(large);
        setItemHeight(&list, height);
        list.addItems({u"ヘッダ"_s, u"g_y"_s, QString()});
        list.resize(120, 100);
        list.show();
        for (int row = 0; row < list.count(); ++row)
            EXPECT_EQ(list.visualItemRect(list.item(row)).height(), height) << row;
        EXPECT_EQ(list.visualItemRect(list.item(1)).top(), height);
    }
}

} // namespace
} // namespace morvex
