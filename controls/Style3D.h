#pragma once

namespace morvex {

/// Direction of a relief caption: the copy in the second colour lies below-right (lowered) or
/// above-left (raised) of the text.
enum TStyle3D { bsLowered = 0, bsRaised = 1 };

/// The round button's name for the same two values.
using TFontStyle3D = TStyle3D;

} // namespace morvex
