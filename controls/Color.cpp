#include "controls/Color.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace morvex {

namespace {

std::optional<QPalette::ColorRole> systemRole(quint32 index) {
    switch (index) {
    case 1: // desktop
    case 4: // menu
        return QPalette::Window;
    case 5: // window
        return QPalette::Base;
    case 7: // menu text
    case 8: // window text
        return QPalette::Text;
    case 13: // highlight
        return QPalette::Highlight;
    case 14: // highlighted text
        return QPalette::HighlightedText;
    case 15: // button face
        return QPalette::Button;
    case 16: // button shadow
        return QPalette::Dark;
    case 18: // button text
        return QPalette::ButtonText;
    case 20: // button highlight
        return QPalette::Light;
    case 21: // dark 3D shadow
        return QPalette::Shadow;
    case 22: // light 3D edge
        return QPalette::Midlight;
    case 23: // tooltip text
        return QPalette::ToolTipText;
    case 24: // tooltip background
        return QPalette::ToolTipBase;
    default:
        return std::nullopt;
    }
}

QColor halfway(const QColor& a, const QColor& b) {
    return QColor((a.red() + b.red() + 1) / 2, (a.green() + b.green() + 1) / 2,
                  (a.blue() + b.blue() + 1) / 2);
}

QColor grayText(const QPalette& palette) {
    const QColor text = palette.color(QPalette::Active, QPalette::Text);
    const QColor light = palette.color(QPalette::Active, QPalette::Light);
    const QColor window = palette.color(QPalette::Active, QPalette::Window);
    const auto distance = [&text](const QColor& other) {
        return std::abs(other.lightness() - text.lightness());
    };
    return halfway(text, distance(light) >= distance(window) ? light : window);
}

double luminance(const QColor& color) {
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = color.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) +
           0.0722 * channel(rgb.blueF());
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor edgeAgainstWindow(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Active, QPalette::Window);
    const QColor dark = palette.color(QPalette::Active, QPalette::Dark);
    const QColor light = palette.color(QPalette::Active, QPalette::Light);
    return contrastRatio(dark, window) >= contrastRatio(light, window) ? dark : light;
}

QColor toQColor(TColor color, const QPalette& palette) {
    const quint32 value = color;
    if (color == clGrayText)
        return grayText(palette);
    if (isSystemColor(color)) {
        const auto role = systemRole(value & 0x00FFFFFFu);
        return role ? palette.color(QPalette::Active, *role) : QColor(Qt::black);
    }
    return QColor(int(value & 0xFF), int(value >> 8 & 0xFF), int(value >> 16 & 0xFF));
}

QColor etchBeside(const QPalette& palette, const QColor& text) {
    const QColor light = palette.color(QPalette::Active, QPalette::Light);
    const QColor dark = palette.color(QPalette::Active, QPalette::Dark);
    constexpr double kClear = 2.0;
    return contrastRatio(light, text) >= kClear ||
                   contrastRatio(light, text) >= contrastRatio(dark, text)
               ? light
               : dark;
}

TColor toTColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return rgbColor(rgb.red(), rgb.green(), rgb.blue());
}

} // namespace morvex
