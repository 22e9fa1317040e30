#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Display columns of UTF-8 text, as a terminal or a fixed-pitch editor lays it out.
namespace morvex {

/// The columns a code point takes: 2 for East Asian Wide and Fullwidth characters, 0 for
/// combining marks, 1 for every other.
int codePointColumns(char32_t code);

/// The columns of UTF-8 text; a byte that begins no character, like a control byte, takes 1.
std::size_t utf8Columns(std::string_view text);

} // namespace morvex
