#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace morvex {

/// The encoding of upload-file text and of a list file's lines.
enum class TextEncoding { ShiftJis, Utf8 };

/// "Shift-JIS" or "UTF-8", as messages name the encodings.
const char* encodingName(TextEncoding encoding);

/// How the upload files' encoding is chosen: each file's own (detectTextEncoding), or one for all.
enum class EncodingChoice { Auto, ShiftJis, Utf8 };

/// "auto", "sjis" or "utf-8", as the command line and the settings file spell a choice.
const char* encodingChoiceName(EncodingChoice choice);
/// The choice a name spells ("auto", "sjis", "shift-jis", "utf-8", "utf8"; any case), or none.
std::optional<EncodingChoice> parseEncodingChoice(std::string_view name);

/// The length of the Shift-JIS (code page 932) character at `pos`: 1 or 2, or 0 when the bytes
/// there begin no character (0x80, 0xA0, 0xFD-0xFF, or a lead byte without a valid second byte).
std::size_t sjisCharLength(std::string_view text, std::size_t pos);

/// The offset of the first byte that begins no Shift-JIS character, or npos when there is none.
std::size_t firstInvalidSjis(std::string_view text);

/// The length of the well-formed UTF-8 sequence at `pos` (1 to 4), or 0 when the bytes there
/// begin none (a stray continuation byte, an overlong form, a surrogate, a cut sequence).
std::size_t utf8CharLength(std::string_view text, std::size_t pos);

/// The code point of the well-formed UTF-8 sequence of `length` bytes at `pos`.
char32_t utf8CodePoint(std::string_view text, std::size_t pos, std::size_t length);

/// The offset of the first byte that begins no well-formed UTF-8 sequence, or npos.
std::size_t firstInvalidUtf8(std::string_view text);

/// True when the text is well-formed UTF-8 (shortest forms, no surrogates).
bool isUtf8(std::string_view text);

/// True when the text starts with the UTF-8 byte-order mark (EF BB BF).
bool startsWithUtf8Bom(std::string_view text);

/// The encoding an upload file is in: UTF-8 when it starts with the byte-order mark, or when it
/// is well-formed UTF-8 throughout and holds at least one byte above 0x7F; Shift-JIS otherwise.
/// Real Shift-JIS text is almost never well-formed UTF-8: its lead bytes 0x81-0x9F cannot start
/// a UTF-8 sequence.
TextEncoding detectTextEncoding(std::string_view text);

/// The encoding a list file is read in: UTF-8 when its text starts with the byte-order mark, or
/// when it holds bytes above 0x7F and they are overwhelmingly parts of well-formed UTF-8
/// sequences (at most one stray byte to every kUtf8StrayRatio bytes of sequences); Shift-JIS
/// otherwise. Real Shift-JIS text is never mostly UTF-8: its lead bytes 0x81-0x9F cannot start
/// a UTF-8 sequence, so a list of kana or kanji has at least as many stray bytes as good ones.
inline constexpr std::size_t kUtf8StrayRatio = 8;
TextEncoding detectListEncoding(std::string_view text);

/// detectTextEncoding over a text given in pieces, as a file is read: nothing is kept but the
/// few bytes of a character cut between two pieces. Once a byte breaks UTF-8 the rest is not
/// looked at.
class EncodingSniffer {
public:
    /// The next piece of the text.
    void feed(std::string_view piece);
    /// The text has ended: a character cut at its end breaks UTF-8.
    void finish();
    /// detectTextEncoding of the text fed so far; before finish, a character cut at the end of
    /// the last piece counts as whole (the verdict of a prefix).
    TextEncoding verdict() const;
    /// True while no byte above 0x7F was fed: the text reads the same in both encodings.
    bool ascii() const { return !m_high; }
    /// True while every byte fed is part of well-formed UTF-8.
    bool wellFormed() const { return !m_broken; }

private:
    char m_head[3] = {};
    std::size_t m_headSize = 0;
    char m_carry[4] = {};
    std::size_t m_carrySize = 0;
    bool m_broken = false; ///< a byte that is not UTF-8 was met
    bool m_high = false;   ///< a byte above 0x7F was met
};

/// One line converted between the encodings.
struct Converted {
    std::string text;   ///< the line in the target encoding, when `ok`
    bool ok = false;    ///< false: a character has no form in the target encoding
    std::size_t at = 0; ///< when not ok: the offset of that character in the source line
};

/// Converts a line from one encoding to the other (the same encoding: a copy). A Shift-JIS byte
/// that begins no character, a pair with no Unicode form, or a character with no Shift-JIS form
/// fails the line; so do U+00A5 and U+203E, which Shift-JIS would only take as the backslash and
/// the tilde, turning a yen sign into an escape.
Converted convertLine(std::string_view text, TextEncoding from, TextEncoding to);

/// Shift-JIS text as UTF-8 for a terminal: a byte that is not part of a character, or a control
/// byte other than TAB, is shown as "\xHH" instead of being dropped.
std::string decodeForTerminal(std::string_view sjis);

/// decodeForTerminal for text in either encoding; UTF-8 text shows its characters as they are.
std::string decodeForTerminal(std::string_view text, TextEncoding encoding);

} // namespace morvex
