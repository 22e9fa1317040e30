#pragma once

#include "engine/Encoding.h"

#include <cstddef>
#include <string>
#include <string_view>

// A pass's values, checked here for every front end alike (the window's fields as they are typed,
// the settings as they are loaded, the command line's options): values that would break a pass
// (a marker of two bytes cuts characters apart, an extension with a "/" names another file) are
// refused before the pass touches anything. Their defaults are declared here too.
namespace morvex {

struct ConvSettings;

inline constexpr unsigned char kDefaultFooterMarker = ')';
inline constexpr unsigned char kDefaultHeaderMarker = ']';
inline constexpr std::string_view kDefaultBackupExt = ".bak";
/// The list patterns' file part; the front ends put the list folder before it.
inline constexpr std::string_view kFooterListName = "*.mfl";
inline constexpr std::string_view kHeaderListName = "*.mhl";
/// The designed field limits, in Shift-JIS bytes.
inline constexpr std::size_t kMaxMarkerBytes = 1;
inline constexpr std::size_t kMaxBackupExtBytes = 4;

/// Why a value cannot be a pass's.
enum class ValueFault {
    None,
    TooLong,    ///< over its limit in Shift-JIS bytes
    NoShiftJis, ///< a character without a Shift-JIS form, which has no length to count
    Slash,      ///< a backup extension with "/", which would leave the file's folder
    NotAscii,   ///< a marker above 0x7F for UTF-8 files, where it is part of a character
};

/// The length of UTF-8 text in Shift-JIS, or npos when a character has no Shift-JIS form. A byte
/// that begins no UTF-8 character counts as one byte, as given.
std::size_t shiftJisLength(std::string_view utf8);

/// The check of a marker field as typed or stored (UTF-8), for files in `encoding`: at most one
/// Shift-JIS byte; for UTF-8 files one ASCII byte. Empty is sound (the NUL byte).
ValueFault markerFault(std::string_view field, TextEncoding encoding);
/// The check of a backup extension: at most 4 Shift-JIS bytes and no "/". Empty is sound.
ValueFault backupExtFault(std::string_view ext);

/// The marker byte a sound marker field stands for: its Shift-JIS byte, the NUL byte when empty.
/// A single byte is taken as it is.
unsigned char markerByte(std::string_view field);

/// The user's list folder, where the list patterns look by default on every front end:
/// $XDG_DATA_HOME/morvex/ when that is an absolute path, else ~/.local/share/morvex/, with a
/// trailing "/". It stands for the designed program's folder, which an installed program's user
/// may not write. Not created here.
std::string userListFolder();

/// The message refusing the first value of `settings` that would break a pass, naming the value;
/// empty when every value is sound.
std::string refusedPassValue(const ConvSettings& settings);

} // namespace morvex
