#pragma once

#include <QString>
#include <string>

namespace morvex {

/// `text` as the engine takes names, patterns and field values: its UTF-8 bytes, as Linux spells
/// file names. Never Shift-JIS: where a limit counts Shift-JIS bytes, the engine counts them.
std::string bytes(const QString& text);

} // namespace morvex
