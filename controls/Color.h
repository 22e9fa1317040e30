#pragma once

#include <QColor>
#include <QPalette>
#include <QtGlobal>

namespace morvex {

/// A colour as the form files give it: 0x00BBGGRR for an RGB colour, 0x80000000 + n for system
/// colour n (resolved through the palette only when drawn).
enum TColor : quint32 {
    clBlack = 0x00000000,
    clWhite = 0x00FFFFFF,
    clGray = 0x00808080,
    clYellow = 0x0000FFFF,
    clWindow = 0x80000005,
    clWindowText = 0x80000008,
    clBtnFace = 0x8000000F,
    clBtnShadow = 0x80000010,
    clGrayText = 0x80000011,
    clBtnText = 0x80000012,
    clBtnHighlight = 0x80000014,
};

/// True for the 0x80000000 + n system colours.
constexpr bool isSystemColor(TColor color) {
    return (quint32(color) & 0xFF000000u) == 0x80000000u;
}

/// The RGB colour 0x00BBGGRR from its components.
constexpr TColor rgbColor(int red, int green, int blue) {
    return TColor(quint32(red & 0xFF) | quint32(green & 0xFF) << 8 | quint32(blue & 0xFF) << 16);
}

/// The colour to draw with: RGB values as they are, system colours from `palette`'s active
/// group, as system colours do not change with a control's state (unknown ones are black).
/// Grey text (17), which Qt has no active role for, lies halfway between the text and whichever
/// of the light edge and the window stands farther from it: the classic 128 grey on a light
/// scheme, a dimmed text colour on a dark one.
QColor toQColor(TColor color, const QPalette& palette);

/// Of the palette's two edge colours (Dark, Light), the one that stands out more against the
/// window: a round button's outline stays visible on light and dark schemes alike.
QColor edgeAgainstWindow(const QPalette& palette);

/// The copy under etched (disabled) text of colour `text`: the light edge colour, as designed,
/// where it stands clear of the text (a light scheme); else the dark edge colour, since a light
/// copy beside light grey text on a dark scheme only blurs it.
QColor etchBeside(const QPalette& palette, const QColor& text);

/// The WCAG contrast ratio of two colours (1 to 21).
double contrastRatio(const QColor& a, const QColor& b);

/// The RGB form of a colour (alpha dropped).
TColor toTColor(const QColor& color);

} // namespace morvex
