// The result dialog shows every count whole and always the converted file's name, however long.
#include "tests/support/QtPrinters.h"
#include "windows/ProgresU.h"

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <gtest/gtest.h>

namespace {
using namespace Qt::StringLiterals;
using morvex::TProgressF;

QImage rendered(QWidget* widget) {
    QImage image(widget->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    widget->render(&image);
    return image;
}

// Columns of `image` that hold a dark pixel.
QList<int> inkedColumns(const QImage& image) {
    QList<int> columns;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (qGray(image.pixel(x, y)) < 128) {
                columns << x;
                break;
            }
    return columns;
}

// The count, its caption and "個" lie side by side inside the panel, each wide enough for its
// text, and the count's digits are drawn whole.
void expectWhole(QFrame* panel, QLabel* caption, QLabel* count, QLabel* unit, const QString& text) {
    SCOPED_TRACE(count->objectName().toStdString() + " " + text.toStdString());
    EXPECT_EQ(count->text(), text);
    EXPECT_EQ(count->geometry().right() + 1, unit->x()); // the right edge stays
    EXPECT_GE(count->width(), count->fontMetrics().horizontalAdvance(text));
    EXPECT_GE(caption->width(), caption->fontMetrics().horizontalAdvance(caption->text()));
    EXPECT_LT(caption->geometry().right(), count->x());
    EXPECT_TRUE(panel->contentsRect().contains(caption->geometry()));
    EXPECT_TRUE(panel->contentsRect().contains(count->geometry()));
    // A digit cut at the left would leave ink in the label's first column.
    const QList<int> ink = inkedColumns(rendered(count));
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GT(ink.first(), 0);
    EXPECT_FALSE(inkedColumns(rendered(caption)).isEmpty());
}

TEST(ProgressFit, CountsOfManyDigitsShowWholeBesideTheirCaptions) {
    for (const auto& [footers, headers] :
         {std::pair{888, 8000}, std::pair{8000, 888}, std::pair{123456, 99999}, std::pair{7, 12}}) {
        TProgressF f;
        f.setCounts(footers, headers);
        f.show();
        expectWhole(f.ConvPnl, f.Label2, f.ConvCount, f.Label3, QString::number(footers));
        expectWhole(f.HeadConvPnl, f.Label4, f.HeadConvCount, f.Label5, QString::number(headers));
    }
}

TEST(ProgressFit, SmallCountsKeepTheDesignedBoxesAndFullCaptions) {
    TProgressF f;
    f.setCounts(12, 3);
    EXPECT_EQ(f.ConvCount->geometry(), QRect(64, 4, 20, f.ConvCount->height()));
    EXPECT_EQ(f.Label2->font().stretch(), QFont::Unstretched);
    EXPECT_EQ(f.Label4->font().stretch(), QFont::Unstretched);
    // A count that grew and shrank again gives the caption its room back.
    f.setCounts(8000, 8000);
    f.setCounts(1, 1);
    EXPECT_EQ(f.Label4->font().stretch(), QFont::Unstretched);
    EXPECT_EQ(f.ConvCount->geometry(), QRect(64, 4, 20, f.ConvCount->height()));
}

TEST(ProgressFit, ALongPathIsCutInItsFoldersSoTheFileNameShows) {
    const QString path =
        u"/home/user/とても長いフォルダの名前/その下のフォルダ/もう一つ下/日本語の投稿.up"_s;
    TProgressF f;
    f.setFileName(path);
    f.show();
    const QString shown = f.FileName->text();
    EXPECT_TRUE(shown.startsWith(u"/home/"_s)) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(u"/日本語の投稿.up"_s)) << shown.toStdString();
    EXPECT_TRUE(shown.contains(u"…"_s));
    EXPECT_EQ(f.FileName->toolTip(), path);
    EXPECT_LE(f.FileName->fontMetrics().horizontalAdvance(shown), f.FileName->width());
    EXPECT_TRUE(f.FileNamePnl->contentsRect().contains(f.FileName->geometry()));
    EXPECT_EQ(f.FileNamePnl->geometry(), QRect(10, 8, 205, 21));

    // A short path shows as it is; a name longer than the box keeps both of its ends.
    f.setFileName(u"/tmp/a.up"_s);
    EXPECT_EQ(f.FileName->text(), u"/tmp/a.up"_s);
    const QString longName = u"/tmp/"_s + QString(60, u'長') + u".up"_s;
    f.setFileName(longName);
    EXPECT_TRUE(f.FileName->text().endsWith(u"長.up"_s)) << f.FileName->text().toStdString();
    EXPECT_LE(f.FileName->fontMetrics().horizontalAdvance(f.FileName->text()), f.FileName->width());
}

} // namespace
