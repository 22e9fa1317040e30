#include "controls/Color.h"

#include <gtest/gtest.h>

using namespace morvex;

namespace {

QPalette knownPalette() {
    QPalette palette;
    palette.setColor(QPalette::Button, QColor(1, 2, 3));
    palette.setColor(QPalette::Dark, QColor(4, 5, 6));
    palette.setColor(QPalette::Light, QColor(7, 8, 9));
    palette.setColor(QPalette::Base, QColor(10, 11, 12));
    palette.setColor(QPalette::Text, QColor(13, 14, 15));
    palette.setColor(QPalette::ButtonText, QColor(16, 17, 18));
    return palette;
}

TEST(TColor, RgbValuesAreBlueGreenRed) {
    const QPalette palette = knownPalette();
    EXPECT_EQ(toQColor(clBlack, palette), QColor(0, 0, 0));
    EXPECT_EQ(toQColor(clWhite, palette), QColor(255, 255, 255));
    EXPECT_EQ(toQColor(clGray, palette), QColor(128, 128, 128));
    EXPECT_EQ(toQColor(clYellow, palette), QColor(255, 255, 0));
    EXPECT_EQ(toQColor(TColor(0x00FF0000), palette), QColor(0, 0, 255));
    EXPECT_EQ(toQColor(TColor(0x00123456), palette), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(rgbColor(0x56, 0x34, 0x12), TColor(0x00123456));
    EXPECT_EQ(toTColor(QColor(0x56, 0x34, 0x12)), TColor(0x00123456));
}

TEST(TColor, NamedValuesAreTheDesignedNumbers) {
    EXPECT_EQ(quint32(clBtnFace), 0x8000000Fu);
    EXPECT_EQ(quint32(clBtnShadow), 0x80000010u);
    EXPECT_EQ(quint32(clBtnHighlight), 0x80000014u);
    EXPECT_TRUE(isSystemColor(clBtnFace));
    EXPECT_FALSE(isSystemColor(clYellow));
    EXPECT_FALSE(isSystemColor(TColor(0x00FFFFFF)));
}

TEST(TColor, SystemColoursComeFromThePalette) {
    const QPalette palette = knownPalette();
    EXPECT_EQ(toQColor(clBtnFace, palette), QColor(1, 2, 3));
    EXPECT_EQ(toQColor(clBtnShadow, palette), QColor(4, 5, 6));
    EXPECT_EQ(toQColor(clBtnHighlight, palette), QColor(7, 8, 9));
    EXPECT_EQ(toQColor(clWindow, palette), QColor(10, 11, 12));
    EXPECT_EQ(toQColor(clWindowText, palette), QColor(13, 14, 15));
    EXPECT_EQ(toQColor(clBtnText, palette), QColor(16, 17, 18));
    // A system colour the platform does not know draws black.
    EXPECT_EQ(toQColor(TColor(0x800000FF), palette), QColor(0, 0, 0));
}

} // namespace
