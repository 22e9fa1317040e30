// The custom controls and the about box on a light and on a dark colour scheme: the design's
// look on the classic light one, readable text and visible round buttons on a dark one.
#include "controls/Color.h"
#include "controls/ExLabel.h"
#include "controls/MaruBtn.h"
#include "windows/About_U.h"
#include "windows/Set_U.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <gtest/gtest.h>

namespace {
using namespace Qt::StringLiterals;
using morvex::TAboutF;
using morvex::TSettingF;
using namespace morvex;

// A dark desktop scheme (qt6ct's "darker", as a user picks it).
QPalette darkScheme() {
    QPalette dark;
    const std::pair<QPalette::ColorRole, QColor> roles[] = {
        {QPalette::WindowText, 0xffffff}, {QPalette::Button, 0x424245},
        {QPalette::Light, 0x979797},      {QPalette::Midlight, 0x5e5c5b},
        {QPalette::Dark, 0x302f2e},       {QPalette::Mid, 0x4a4947},
        {QPalette::Text, 0xffffff},       {QPalette::ButtonText, 0xffffff},
        {QPalette::Base, 0x3d3d3d},       {QPalette::Window, 0x222020},
        {QPalette::Shadow, 0xe7e4e0},     {QPalette::Link, 0x0986d3},
    };
    for (const auto& [role, colour] : roles)
        dark.setColor(role, colour);
    return dark;
}

QPalette classicScheme() {
    return QApplication::style()->standardPalette();
}

QImage rendered(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_RGB32);
    widget.render(&image);
    return image;
}

// The highest contrast of any pixel of `area` against `background`.
double strongest(const QImage& image, const QRect& area, const QColor& background) {
    double best = 1.0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            best = std::max(best, contrastRatio(image.pixelColor(x, y), background));
    return best;
}

TEST(Scheme, GreyTextAndItsLightCopyAreTheClassicOnesOnALightScheme) {
    const QPalette light = classicScheme();
    EXPECT_EQ(toQColor(clGrayText, light), QColor(128, 128, 128));
    EXPECT_EQ(toQColor(clBtnHighlight, light), QColor(Qt::white));
    EXPECT_EQ(toQColor(clWindowText, light), QColor(Qt::black));
    EXPECT_EQ(edgeAgainstWindow(light), light.color(QPalette::Dark));

    const QPalette dark = darkScheme();
    const QColor window = dark.color(QPalette::Window);
    const double enabled = contrastRatio(toQColor(clWindowText, dark), window);
    const double disabled = contrastRatio(toQColor(clGrayText, dark), window);
    EXPECT_GT(enabled, disabled) << "enabled text is the readable one";
    EXPECT_GE(disabled, 3.0) << "and disabled text is still there";
    EXPECT_GE(contrastRatio(edgeAgainstWindow(dark), window), 3.0);
}

TEST(Scheme, TheSettingsLabelsReadEnabledAboveDisabledOnADarkScheme) {
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        TSettingF f;
        if (dark)
            f.setPalette(darkScheme());
        f.resize(290, 228);
        const QColor page = f.palette().color(QPalette::Window);
        double look[2] = {};
        for (const bool enabled : {false, true}) {
            f.GoByClose->setChecked(enabled);
            f.GoByCloseClick();
            const QImage image = rendered(f);
            const QRect area(f.MaxLbl->mapTo(&f, QPoint()), f.MaxLbl->size());
            look[enabled] = strongest(image, area, page);
        }
        EXPECT_GE(look[true], 7.0) << "enabled labels read clearly";
        EXPECT_LT(look[false], look[true]) << "disabled labels are the dimmer ones";
    }
}

TEST(Scheme, RoundButtonsStandApartFromTheWindowOnADarkScheme) {
    QWidget form;
    form.setPalette(darkScheme());
    form.resize(40, 40);
    auto* button = new TMaruBtn(&form);
    button->setGeometry(10, 10, 17, 17);
    const QImage image = rendered(form);
    const QColor window = darkScheme().color(QPalette::Window);
    // The outer ring, top and left.
    EXPECT_GE(contrastRatio(image.pixelColor(18, 10), window), 3.0);
    EXPECT_GE(contrastRatio(image.pixelColor(10, 18), window), 3.0);
}

TEST(Scheme, TheAboutBoxNameReadsOnEveryFaceAndIsTheClassicBlueOnALightOne) {
    for (const QPalette& palette : {classicScheme(), darkScheme()}) {
        TAboutF f;
        const QImage source = f.SrcImg->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage logo = morvex::drawLogo(source, palette);
        const QColor face = palette.color(QPalette::Window);
        int letters = 0;
        for (int y = 0; y < source.height(); ++y) {
            for (int x = 0; x < source.width(); ++x) {
                const QRgb own = source.pixel(x, y);
                if (own != qRgb(0, 0, 255) && own != qRgb(0, 0, 128))
                    continue;
                ++letters;
                ASSERT_GE(contrastRatio(logo.pixelColor(x, y), face), 3.0) << x << "," << y;
                if (palette == classicScheme()) {
                    ASSERT_EQ(logo.pixel(x, y), own) << x << "," << y;
                }
            }
        }
        EXPECT_GT(letters, 100);
    }
}

} // namespace
