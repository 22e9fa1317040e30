#pragma once

#include <QColor>
#include <QFont>
#include <optional>

class QWidget;

namespace morvex {

/// Qt's font dialog starting at `font`, with the effects (underline, strike-out) and no size
/// limits; the chosen font, or nothing when cancelled.
std::optional<QFont> runFontDialog(QWidget* parent, const QFont& font);

/// Qt's colour dialog starting at `color`; the chosen colour, or nothing when cancelled.
std::optional<QColor> runColorDialog(QWidget* parent, const QColor& color);

/// Test seams: the next dialog of that kind returns this answer without showing anything
/// (std::nullopt answers as a cancel) and records what it was started with.
void queueFontDialogAnswer(std::optional<QFont> answer);
void queueColorDialogAnswer(std::optional<QColor> answer);
QFont lastFontDialogStart();
QColor lastColorDialogStart();

} // namespace morvex
