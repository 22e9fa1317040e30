#pragma once

#include <QColor>
#include <QFont>
#include <optional>

class QWidget;

namespace morvex {

/// A font with the colour it is drawn in.
struct FontChoice {
    QFont font;
    QColor color;
};

/// Qt's font dialog starting at `start`, with the effects (underline, strike-out and the
/// colour, from the sixteen basic colours) and no size limits; the choice, or nothing when
/// cancelled.
std::optional<FontChoice> runFontDialog(QWidget* parent, const FontChoice& start);

/// Qt's colour dialog starting at `color`; the chosen colour, or nothing when cancelled.
std::optional<QColor> runColorDialog(QWidget* parent, const QColor& color);

/// Test seams: the next dialog of that kind returns this answer without showing anything
/// (std::nullopt answers as a cancel) and records what it was started with.
void queueFontDialogAnswer(std::optional<FontChoice> answer);
void queueColorDialogAnswer(std::optional<QColor> answer);
FontChoice lastFontDialogStart();
QColor lastColorDialogStart();

} // namespace morvex
