#include "controls/ExLabel.h"
#include "windows/About_U.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {
using namespace Qt::StringLiterals;
using morvex::TAboutF;

TEST(AboutF, PicturesAreTheDesignedBitmaps) {
    TAboutF f;
    const QImage logo(u":/windows/pictures/logo.bmp"_s);
    ASSERT_EQ(logo.size(), QSize(145, 25));
    EXPECT_EQ(f.SrcImg->pixmap().size(), logo.size());
    EXPECT_LE(logo.colorCount(), 16);
    EXPECT_GT(logo.colorCount(), 0);
    const QImage icon(u":/windows/pictures/icon.bmp"_s);
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_GT(icon.colorCount(), 16);
    EXPECT_LE(icon.colorCount(), 256);
    EXPECT_EQ(f.Icon->pixmap().size(), icon.size());
    EXPECT_FALSE(f.SrcImg->isVisibleTo(&f));
    EXPECT_EQ(f.LogoImg->geometry(), QRect(104, 8, 145, 25));
}

TEST(AboutF, KeyColouredPixelsShowTheButtonFace) {
    TAboutF f;
    const QImage source = f.SrcImg->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage shown = f.LogoImg->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), source.size());
    const QRgb key = source.pixel(0, 0);
    const QRgb face = f.palette().color(QPalette::Window).rgb(); // the button face classically
    ASSERT_NE(key, face);
    int keyPixels = 0;
    int ownPixels = 0;
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            if (source.pixel(x, y) == key) {
                ++keyPixels;
                EXPECT_EQ(shown.pixel(x, y), face) << x << "," << y;
            } else {
                ++ownPixels;
                EXPECT_EQ(shown.pixel(x, y), source.pixel(x, y)) << x << "," << y;
            }
        }
    }
    EXPECT_GT(keyPixels, 0);
    EXPECT_GT(ownPixels, 0);
}

TEST(DrawTransparent, OnlyTheTopLeftColourIsReplaced) {
    QImage source(3, 2, QImage::Format_RGB32);
    source.fill(Qt::red);
    source.setPixel(1, 0, qRgb(0, 0, 255));
    source.setPixel(2, 1, qRgb(255, 0, 1)); // almost the key
    const QImage shown = morvex::DrawTransparent(source, QColor(10, 20, 30));
    EXPECT_EQ(shown.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(shown.pixel(0, 1), qRgb(10, 20, 30));
    EXPECT_EQ(shown.pixel(1, 0), qRgb(0, 0, 255));
    EXPECT_EQ(shown.pixel(2, 1), qRgb(255, 0, 1));
    EXPECT_TRUE(morvex::DrawTransparent(QImage(), Qt::gray).isNull());
}

TEST(AboutF, VersionAndOk) {
    TAboutF f;
    EXPECT_EQ(f.windowTitle(), u"バージョン情報"_s);
    EXPECT_EQ(f.size(), QSize(303, 118));
    EXPECT_EQ(f.Version->text(), u"Version 2.00"_s);
    EXPECT_TRUE(f.Version->font3D());
    EXPECT_EQ(f.Version->geometry(), QRect(56, 34, 245, 12));
    EXPECT_TRUE(f.Version->alignment() & Qt::AlignHCenter);
    f.show();
    QTest::keyClick(&f, Qt::Key_Escape);
    EXPECT_TRUE(f.isVisible());
    QTest::mouseClick(f.OkBtn, Qt::LeftButton);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.result(), QDialog::Accepted);
}

} // namespace
