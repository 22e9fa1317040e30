#include "engine/PassValues.h"

#include "engine/Engine.h"

#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace morvex {
namespace {

constexpr std::size_t kNoForm = std::string_view::npos;

std::string quoted(std::string_view value) {
    return "\"" + std::string(value) + "\"";
}

// The field when the settings carry one, else the marker byte as a field of its own.
std::string markerField(const std::optional<std::string>& field, unsigned char marker) {
    if (field)
        return *field;
    return marker == 0 ? std::string() : std::string(1, static_cast<char>(marker));
}

std::string refusedMarker(const char* what, const std::optional<std::string>& field,
                          unsigned char marker, TextEncoding encoding) {
    const std::string value = markerField(field, marker);
    switch (markerFault(value, encoding)) {
    case ValueFault::None:
        return {};
    case ValueFault::NotAscii: {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", marker);
        return std::string(what) + " " + (field ? quoted(*field) : std::string(hex)) +
               " は ASCII の 1 文字ではないため、UTF-8 のファイルは変換しませんでした";
    }
    default:
        return std::string(what) + " " + quoted(value) +
               " は 1 バイトの文字ではないため、変換しませんでした";
    }
}

} // namespace

std::size_t shiftJisLength(std::string_view utf8) {
    std::size_t bytes = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t length = utf8CharLength(utf8, pos);
        if (length <= 1) {
            ++bytes;
            pos += 1;
            continue;
        }
        const Converted sjis =
            convertLine(utf8.substr(pos, length), TextEncoding::Utf8, TextEncoding::ShiftJis);
        if (!sjis.ok)
            return kNoForm;
        bytes += sjis.text.size();
        pos += length;
    }
    return bytes;
}

ValueFault markerFault(std::string_view field, TextEncoding encoding) {
    const std::size_t length = shiftJisLength(field);
    if (length == kNoForm)
        return ValueFault::NoShiftJis;
    if (length > kMaxMarkerBytes)
        return ValueFault::TooLong;
    // In UTF-8 text a byte above 0x7F at a line start is part of a character, never a whole one.
    if (encoding == TextEncoding::Utf8 && markerByte(field) >= 0x80)
        return ValueFault::NotAscii;
    return ValueFault::None;
}

ValueFault backupExtFault(std::string_view ext) {
    if (ext.find('/') != std::string_view::npos)
        return ValueFault::Slash;
    const std::size_t length = shiftJisLength(ext);
    if (length == kNoForm)
        return ValueFault::NoShiftJis;
    return length > kMaxBackupExtBytes ? ValueFault::TooLong : ValueFault::None;
}

unsigned char markerByte(std::string_view field) {
    if (field.size() <= 1)
        return field.empty() ? 0 : static_cast<unsigned char>(field.front());
    const Converted sjis = convertLine(field, TextEncoding::Utf8, TextEncoding::ShiftJis);
    return sjis.ok && !sjis.text.empty() ? static_cast<unsigned char>(sjis.text.front())
                                         : static_cast<unsigned char>(field.front());
}

std::string userListFolder() {
    // As the base directory rules ask: a relative XDG_DATA_HOME is ignored.
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/')
        return std::string(dataHome) + "/morvex/";
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env)
        home = env;
    else if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        home = entry->pw_dir;
    return home + "/.local/share/morvex/";
}

std::string refusedPassValue(const ConvSettings& settings) {
    if (std::string m = refusedMarker("フッタ記号", settings.footerMarkerField,
                                      settings.footerMarker, settings.encoding);
        !m.empty())
        return m;
    if (std::string m = refusedMarker("ヘッダ記号", settings.headerMarkerField,
                                      settings.headerMarker, settings.encoding);
        !m.empty())
        return m;
    const std::string& ext = settings.backupExt;
    switch (backupExtFault(ext)) {
    case ValueFault::None:
        return {};
    case ValueFault::Slash:
        return "バックアップの拡張子 " + quoted(ext) + " は \"/\" を含むため、変換しませんでした";
    case ValueFault::NoShiftJis:
        return "バックアップの拡張子 " + quoted(ext) +
               " は Shift-JIS にない文字を含むため、変換しませんでした";
    default:
        return "バックアップの拡張子 " + quoted(ext) +
               " は 4 バイトを超えるため、変換しませんでした";
    }
}

} // namespace morvex
