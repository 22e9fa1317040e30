#pragma once

#include "engine/Engine.h"

#include <cstddef>
#include <string>
#include <string_view>

// Values that would break a pass (a marker of two bytes cuts characters apart, an extension with a
// "/" names another file) are refused before the pass touches anything.
namespace morvex {

/// The length of UTF-8 text in Shift-JIS: one byte for ASCII and half-width katakana, two for any
/// other character; a byte that begins no UTF-8 character counts as one.
std::size_t shiftJisLength(std::string_view utf8);

/// The message refusing the first value of `settings` that would break a pass, naming the value;
/// empty when every value is sound.
std::string refusedPassValue(const ConvSettings& settings);

} // namespace morvex
