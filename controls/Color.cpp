#include "Color.h"

#include <optional>

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

} // namespace

QColor toQColor(TColor color, const QPalette& palette) {
    const quint32 value = color;
    if (isSystemColor(color)) {
        const auto role = systemRole(value & 0x00FFFFFFu);
        return role ? palette.color(QPalette::Active, *role) : QColor(Qt::black);
    }
    return QColor(int(value & 0xFF), int(value >> 8 & 0xFF), int(value >> 16 & 0xFF));
}

TColor toTColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return rgbColor(rgb.red(), rgb.green(), rgb.blue());
}
