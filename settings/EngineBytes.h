#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace morvex {

/// `text` as the engine takes names, patterns and field values: its UTF-8 bytes, as Linux spells
/// file names. Never Shift-JIS: where a limit counts Shift-JIS bytes, the engine counts them.
std::string bytes(const QString& text);

/// The engine's UTF-8 bytes (a default, a name) as text.
QString fromBytes(std::string_view bytes);

} // namespace morvex
