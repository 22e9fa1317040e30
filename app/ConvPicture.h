#pragma once

#include <QIcon>
#include <QSize>

namespace morvex {

inline constexpr QSize kConvPictureSize{32, 32};

/// The picture of the convert button: a sheet of text whose marked lines turn into entries,
/// drawn for the given device pixel ratio (rounded up to a whole number).
QIcon convButtonPicture(int scale);

} // namespace morvex
