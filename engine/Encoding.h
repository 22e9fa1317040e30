#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace morvex {

/// The length of the Shift-JIS (code page 932) character at `pos`: 1 or 2, or 0 when the bytes
/// there begin no character (0x80, 0xA0, 0xFD-0xFF, or a lead byte without a valid second byte).
std::size_t sjisCharLength(std::string_view text, std::size_t pos);

/// The offset of the first byte that begins no Shift-JIS character, or npos when there is none.
std::size_t firstInvalidSjis(std::string_view text);

/// True when the text is well-formed UTF-8 (shortest forms, no surrogates).
bool isUtf8(std::string_view text);

/// Shift-JIS text as UTF-8 for a terminal: a byte that is not part of a character, or a control
/// byte other than TAB, is shown as "\xHH" instead of being dropped.
std::string DecodeForTerminal(std::string_view sjis);

} // namespace morvex
