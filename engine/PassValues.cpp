#include "engine/PassValues.h"

#include <cstdio>

namespace morvex {
namespace {

constexpr std::size_t kMaxBackupExt = 4;

// The code point of the UTF-8 sequence at `pos` and its length; length 1 and code point -1 for a
// byte that begins none.
std::pair<long, std::size_t> decode(std::string_view s, std::size_t pos) {
    const unsigned char c = static_cast<unsigned char>(s[pos]);
    const std::size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    if (length == 1)
        return {c, 1};
    if (length == 0 || pos + length > s.size())
        return {-1, 1};
    long code = c & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(s[pos + i]);
        if ((next & 0xC0) != 0x80)
            return {-1, 1};
        code = (code << 6) | (next & 0x3F);
    }
    return {code, length};
}

std::string quoted(std::string_view value) {
    return "\"" + std::string(value) + "\"";
}

std::string refusedMarker(const char* what, const std::optional<std::string>& field,
                          unsigned char marker, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8) {
        // A byte above 0x7F at a line start is part of a UTF-8 character, never a whole one.
        if (field ? field->size() <= 1 : marker < 0x80)
            return {};
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", marker);
        return std::string(what) + " " + (field ? quoted(*field) : std::string(hex)) +
               " は ASCII の 1 文字ではないため、UTF-8 のファイルは変換しませんでした";
    }
    if (!field || shiftJisLength(*field) <= 1)
        return {};
    return std::string(what) + " " + quoted(*field) +
           " は 1 バイトの文字ではないため、変換しませんでした";
}

} // namespace

std::size_t shiftJisLength(std::string_view utf8) {
    std::size_t bytes = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const auto [code, length] = decode(utf8, pos);
        const bool single = code < 0x80 || (code >= 0xFF61 && code <= 0xFF9F);
        bytes += single ? 1 : 2;
        pos += length;
    }
    return bytes;
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
    if (ext.find('/') != std::string::npos)
        return "バックアップの拡張子 " + quoted(ext) + " は \"/\" を含むため、変換しませんでした";
    if (shiftJisLength(ext) > kMaxBackupExt)
        return "バックアップの拡張子 " + quoted(ext) +
               " は 4 バイトを超えるため、変換しませんでした";
    return {};
}

} // namespace morvex
