#include "engine/Encoding.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <iconv.h>

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

void appendHex(std::string& out, unsigned char c) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[c >> 4];
    out += kDigits[c & 0xF];
}

// One converter for the process; glibc's CP932 maps 0x5C and 0x7E to their ASCII characters.
class Cp932 {
public:
    Cp932()
        : m_cd(::iconv_open("UTF-8", "CP932")) {}
    ~Cp932() {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            ::iconv_close(m_cd);
    }
    Cp932(const Cp932&) = delete;
    Cp932& operator=(const Cp932&) = delete;

    // Appends the UTF-8 form of one character; false when it has none.
    bool append(std::string& out, std::string_view character) {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            return false;
        std::array<char, 8> buffer{};
        char* in = const_cast<char*>(character.data());
        std::size_t inLeft = character.size();
        char* to = buffer.data();
        std::size_t toLeft = buffer.size();
        ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        if (::iconv(m_cd, &in, &inLeft, &to, &toLeft) == static_cast<std::size_t>(-1) ||
            inLeft != 0)
            return false;
        out.append(buffer.data(), static_cast<std::size_t>(to - buffer.data()));
        return true;
    }

private:
    iconv_t m_cd;
};

} // namespace

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

bool isUtf8(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[pos]);
        std::size_t n = 0;
        unsigned char low = 0x80, high = 0xBF; // the range of the second byte
        if (c <= 0x7F) {
            ++pos;
            continue;
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
            return false;
        }
        if (pos + n >= text.size())
            return false;
        for (std::size_t i = 1; i <= n; ++i) {
            const unsigned char t = static_cast<unsigned char>(text[pos + i]);
            if (t < (i == 1 ? low : 0x80) || t > (i == 1 ? high : 0xBF))
                return false;
        }
        pos += n + 1;
    }
    return true;
}

std::string DecodeForTerminal(std::string_view sjis) {
    static Cp932 converter;
    std::string out;
    out.reserve(sjis.size() * 3 / 2);
    for (std::size_t pos = 0; pos < sjis.size();) {
        const unsigned char c = static_cast<unsigned char>(sjis[pos]);
        const std::size_t n = sjisCharLength(sjis, pos);
        if (c <= 0x7F) {
            if ((c < 0x20 && c != '\t') || c == 0x7F)
                appendHex(out, c);
            else
                out += static_cast<char>(c);
            ++pos;
        } else if (n == 0 || !converter.append(out, sjis.substr(pos, n))) {
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

} // namespace morvex
