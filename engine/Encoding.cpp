#include "engine/Encoding.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvex {
namespace {

bool isSingle(unsigned char c) {
    return c <= 0x7F || (c >= 0xA1 && c <= 0xDF);
}

bool isLead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool isTrail(unsigned char c) {
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void appendHex(std::string& out, unsigned char c) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[c >> 4];
    out += kDigits[c & 0xF];
}

// One converter per direction for the process; glibc's CP932 maps 0x5C and 0x7E to their ASCII
// characters and refuses bytes that begin no character.
class Converter {
public:
    Converter(const char* to, const char* from)
        : m_cd(::iconv_open(to, from)) {}
    ~Converter() {
        if (usable())
            ::iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool usable() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Appends the converted text; on failure returns false with `at` at the offending offset.
    bool append(std::string& out, std::string_view text, std::size_t growth, std::size_t& at) {
        at = 0;
        if (!usable())
            return false;
        const std::size_t start = out.size();
        out.resize(start + text.size() * growth + 8);
        char* in = const_cast<char*>(text.data());
        std::size_t inLeft = text.size();
        char* to = out.data() + start;
        std::size_t toLeft = out.size() - start;
        ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        const bool ok = ::iconv(m_cd, &in, &inLeft, &to, &toLeft) != static_cast<std::size_t>(-1) &&
                        inLeft == 0;
        at = static_cast<std::size_t>(in - text.data());
        out.resize(static_cast<std::size_t>(to - out.data()));
        return ok;
    }

private:
    iconv_t m_cd;
};

Converter& fromSjis() {
    static Converter converter("UTF-8", "CP932");
    return converter;
}

Converter& toSjis() {
    static Converter converter("CP932", "UTF-8");
    return converter;
}

// U+00A5 and U+203E, which CP932 would write as 0x5C and 0x7E.
std::size_t findAsciiLookalike(std::string_view utf8) {
    for (std::size_t pos = 0; pos + 1 < utf8.size(); ++pos) {
        const unsigned char c = static_cast<unsigned char>(utf8[pos]);
        if (c == 0xC2 && static_cast<unsigned char>(utf8[pos + 1]) == 0xA5)
            return pos;
        if (c == 0xE2 && pos + 2 < utf8.size() && utf8.compare(pos, 3, "\xE2\x80\xBE") == 0)
            return pos;
    }
    return std::string_view::npos;
}

// The length of a prefix of the text, ending between two characters, that is well-formed UTF-8;
// it may stop short of the first fault (the caller checks on from there). `high` is set when a
// byte above 0x7F lies in the prefix. Whole 64-byte blocks are classified at once: in well-formed
// text every continuation byte is owed by a lead byte one, two or three places before it, so the
// continuation bytes and the places the leads owe must be the same set. Blocks holding a byte
// whose second byte has a narrower range (E0, ED, F0-F4) or that never begins a character
// (C0, C1, F5-FF) are left to the caller's character-by-character check.
std::size_t wellFormedBlocks(const char* data, std::size_t size, bool& high) {
    std::size_t i = 0;
#if defined(__SSE2__)
    constexpr std::size_t kBlock = 64;
    const __m128i c0 = _mm_set1_epi8(static_cast<char>(0xC0));
    const __m128i c2 = _mm_set1_epi8(static_cast<char>(0xC2));
    const __m128i e0 = _mm_set1_epi8(static_cast<char>(0xE0));
    const __m128i ed = _mm_set1_epi8(static_cast<char>(0xED));
    const __m128i f0 = _mm_set1_epi8(static_cast<char>(0xF0));
    const auto atLeast = [](__m128i v, __m128i bound) {
        return _mm_cmpeq_epi8(_mm_max_epu8(v, bound), v);
    };
    const auto bits = [](__m128i v, int chunk) {
        return static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(v)))
               << (16 * chunk);
    };
    std::uint64_t owed = 0; // continuation bytes the last block's leads owe this one
    for (; i + kBlock <= size; i += kBlock) {
        std::uint64_t highBits = 0, leads = 0, leads3 = 0, rare = 0;
        for (int chunk = 0; chunk < 4; ++chunk) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i) + chunk);
            if (_mm_movemask_epi8(v) == 0)
                continue;
            highBits |= bits(v, chunk);
            const __m128i lead = atLeast(v, c0);
            leads |= bits(lead, chunk);
            leads3 |= bits(atLeast(v, e0), chunk);
            const __m128i odd =
                _mm_or_si128(_mm_or_si128(_mm_andnot_si128(atLeast(v, c2), lead), atLeast(v, f0)),
                             _mm_or_si128(_mm_cmpeq_epi8(v, e0), _mm_cmpeq_epi8(v, ed)));
            rare |= bits(odd, chunk);
        }
        const std::uint64_t continuations = highBits & ~leads;
        if (rare != 0 || continuations != ((leads << 1) | (leads3 << 2) | owed))
            break;
        high = high || highBits != 0;
        owed = (leads >> 63) | (leads3 >> 62);
    }
    if (owed != 0) {
        // Back to the lead byte of the character the last block left unfinished.
        do
            --i;
        while ((static_cast<unsigned char>(data[i]) & 0xC0) == 0x80);
    }
#else
    (void)data;
    (void)size;
    (void)high;
#endif
    return i;
}

} // namespace

const char* encodingName(TextEncoding encoding) {
    return encoding == TextEncoding::Utf8 ? "UTF-8" : "Shift-JIS";
}

std::size_t sjisCharLength(std::string_view text, std::size_t pos) {
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    if (isSingle(c))
        return 1;
    if (isLead(c) && pos + 1 < text.size() && isTrail(static_cast<unsigned char>(text[pos + 1])))
        return 2;
    return 0;
}

std::size_t firstInvalidSjis(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t n = sjisCharLength(text, pos);
        if (n == 0)
            return pos;
        pos += n;
    }
    return std::string_view::npos;
}

std::size_t utf8CharLength(std::string_view text, std::size_t pos) {
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (c <= 0x7F) {
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        n = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 2;
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 3;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (pos + n >= text.size())
        return 0;
    for (std::size_t i = 1; i <= n; ++i) {
        const unsigned char t = static_cast<unsigned char>(text[pos + i]);
        if (t < (i == 1 ? low : 0x80) || t > (i == 1 ? high : 0xBF))
            return 0;
    }
    return n + 1;
}

char32_t utf8CodePoint(std::string_view text, std::size_t pos, std::size_t length) {
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    if (length <= 1)
        return c;
    char32_t code = c & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i)
        code = (code << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
    return code;
}

std::size_t firstInvalidUtf8(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t n = utf8CharLength(text, pos);
        if (n == 0)
            return pos;
        pos += n;
    }
    return std::string_view::npos;
}

bool isUtf8(std::string_view text) {
    EncodingSniffer sniffer;
    sniffer.feed(text);
    sniffer.finish();
    return sniffer.wellFormed();
}

bool startsWithUtf8Bom(std::string_view text) {
    return text.substr(0, 3) == "\xEF\xBB\xBF";
}

TextEncoding detectTextEncoding(std::string_view text) {
    if (startsWithUtf8Bom(text))
        return TextEncoding::Utf8;
    return !isAscii(text) && isUtf8(text) ? TextEncoding::Utf8 : TextEncoding::ShiftJis;
}

TextEncoding detectListEncoding(std::string_view text) {
    if (startsWithUtf8Bom(text))
        return TextEncoding::Utf8;
    // A list saved as UTF-8 with one stray byte (a Latin-1 "é" pasted in) is still UTF-8: its
    // good lines are read as such and the stray line is left out, never inserted as mojibake.
    std::size_t good = 0;
    std::size_t stray = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[pos]);
        if (c < 0x80) {
            ++pos;
            continue;
        }
        // Shift-JIS lead bytes 0x81-0x9F begin no UTF-8 sequence: no need to look further.
        const std::size_t n = c < 0xC2 || c > 0xF4 ? 0 : utf8CharLength(text, pos);
        (n == 0 ? stray : good) += std::max<std::size_t>(n, 1);
        pos += std::max<std::size_t>(n, 1);
        // Even if every byte left were UTF-8 it could no longer outweigh the stray ones.
        if (stray * kUtf8StrayRatio > good + (text.size() - pos))
            return TextEncoding::ShiftJis;
    }
    return good > 0 && stray * kUtf8StrayRatio <= good ? TextEncoding::Utf8
                                                       : TextEncoding::ShiftJis;
}

const char* encodingChoiceName(EncodingChoice choice) {
    switch (choice) {
    case EncodingChoice::ShiftJis:
        return "sjis";
    case EncodingChoice::Utf8:
        return "utf-8";
    case EncodingChoice::Auto:
        break;
    }
    return "auto";
}

std::optional<EncodingChoice> parseEncodingChoice(std::string_view name) {
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (folded == "auto")
        return EncodingChoice::Auto;
    if (folded == "sjis" || folded == "shift-jis" || folded == "shift_jis")
        return EncodingChoice::ShiftJis;
    if (folded == "utf-8" || folded == "utf8")
        return EncodingChoice::Utf8;
    return std::nullopt;
}

namespace {

// The length of the UTF-8 sequence a lead byte begins, 0 for a byte that begins none.
std::size_t utf8LeadLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

} // namespace

void EncodingSniffer::feed(std::string_view piece) {
    for (std::size_t k = 0; m_headSize < sizeof m_head && k < piece.size(); ++k)
        m_head[m_headSize++] = piece[k];
    if (m_broken)
        return;
    std::size_t i = 0;
    if (m_carrySize > 0) {
        const std::size_t need = utf8LeadLength(static_cast<unsigned char>(m_carry[0]));
        while (m_carrySize < need && i < piece.size())
            m_carry[m_carrySize++] = piece[i++];
        if (m_carrySize < need)
            return;
        m_carrySize = 0;
        if (utf8CharLength(std::string_view(m_carry, need), 0) != need) {
            m_broken = true;
            return;
        }
    }
    const std::size_t n = piece.size();
    const char* const data = piece.data();
    while (i < n) {
        i += wellFormedBlocks(data + i, n - i, m_high);
        // Character by character past whatever stopped the blocks, then blocks again.
        for (const std::size_t stop = std::min(n, i + 64); i < stop;) {
            const auto c = static_cast<unsigned char>(data[i]);
            if (c < 0x80) {
                ++i;
                continue;
            }
            m_high = true;
            if (const std::size_t length = utf8CharLength(piece, i); length > 0) {
                i += length;
                continue;
            }
            const std::size_t need = utf8LeadLength(c);
            if (need > n - i) {
                // Perhaps cut by the end of the piece: checked when the next one comes.
                m_carrySize = n - i;
                std::memcpy(m_carry, data + i, m_carrySize);
                return;
            }
            m_broken = true;
            return;
        }
    }
}

void EncodingSniffer::finish() {
    if (m_carrySize > 0)
        m_broken = true;
    m_carrySize = 0;
}

TextEncoding EncodingSniffer::verdict() const {
    if (startsWithUtf8Bom(std::string_view(m_head, m_headSize)))
        return TextEncoding::Utf8;
    return m_high && !m_broken ? TextEncoding::Utf8 : TextEncoding::ShiftJis;
}

Converted convertLine(std::string_view text, TextEncoding from, TextEncoding to) {
    Converted result;
    if (from == to || isAscii(text)) {
        result.text.assign(text);
        result.ok = true;
        return result;
    }
    if (to == TextEncoding::ShiftJis) {
        if (const std::size_t at = findAsciiLookalike(text); at != std::string_view::npos) {
            result.at = at;
            return result;
        }
        result.ok = toSjis().append(result.text, text, 1, result.at);
    } else {
        result.ok = fromSjis().append(result.text, text, 3, result.at);
    }
    if (!result.ok)
        result.text.clear();
    return result;
}

std::string decodeForTerminal(std::string_view sjis) {
    std::string out;
    out.reserve(sjis.size() * 3 / 2);
    for (std::size_t pos = 0; pos < sjis.size();) {
        const unsigned char c = static_cast<unsigned char>(sjis[pos]);
        const std::size_t n = sjisCharLength(sjis, pos);
        std::size_t at = 0;
        if (c <= 0x7F) {
            if ((c < 0x20 && c != '\t') || c == 0x7F)
                appendHex(out, c);
            else
                out += static_cast<char>(c);
            ++pos;
        } else if (n == 0 || !fromSjis().append(out, sjis.substr(pos, n), 3, at)) {
            // An unassigned pair shows both bytes; a stray byte shows alone.
            for (std::size_t i = 0; i < std::max<std::size_t>(n, 1); ++i)
                appendHex(out, static_cast<unsigned char>(sjis[pos + i]));
            pos += std::max<std::size_t>(n, 1);
        } else {
            pos += n;
        }
    }
    return out;
}

std::string decodeForTerminal(std::string_view text, TextEncoding encoding) {
    if (encoding == TextEncoding::ShiftJis)
        return decodeForTerminal(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[pos]);
        const std::size_t n = utf8CharLength(text, pos);
        // C1 controls (U+0080-U+009F) would reach the terminal as controls too.
        const bool control =
            (c < 0x20 && c != '\t') || c == 0x7F ||
            (n == 2 && c == 0xC2 && static_cast<unsigned char>(text[pos + 1]) < 0xA0);
        if (n == 0 || control) {
            for (std::size_t i = 0; i < std::max<std::size_t>(n, 1); ++i)
                appendHex(out, static_cast<unsigned char>(text[pos + i]));
            pos += std::max<std::size_t>(n, 1);
        } else {
            out.append(text.substr(pos, n));
            pos += n;
        }
    }
    return out;
}

} // namespace morvex
