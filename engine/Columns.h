#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Display columns of UTF-8 text, as a terminal or a fixed-pitch editor lays it out.
namespace morvex {

/// The columns a code point takes: 2 for East Asian Wide and Fullwidth characters, 0 for
/// combining marks, 1 for every other.
int CodePointColumns(char32_t code);

/// The columns of UTF-8 text; a byte that begins no character, like a control byte, takes 1.
std::size_t Utf8Columns(std::string_view text);

/// AlignFooter for UTF-8 footers: the same steps with display columns in place of bytes; a TAB
/// counts as eight spaces and the ideographic space (U+3000) as two.
std::string AlignFooterUtf8(std::string_view footer, int column);

} // namespace morvex
