#include "engine/Draw.h"

#include "engine/detail/Columns.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace morvex {
namespace {

char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The expansion as one string.
class StringOut {
public:
    explicit StringOut(std::string& out)
        : m_out(out) {}
    void add(char c) { m_out += c; }
    void add(std::string_view piece) { m_out.append(piece); }
    void spaces(std::size_t n) { m_out.append(n, ' '); }

private:
    std::string& m_out;
};

// The expansion in pieces of bounded size; a long piece goes out as it is, uncopied.
class PieceOut {
public:
    explicit PieceOut(const std::function<void(std::string_view)>& emit)
        : m_emit(emit) {}
    void add(char c) {
        m_buffer += c;
        if (m_buffer.size() >= kPiece)
            flush();
    }
    void add(std::string_view piece) {
        if (piece.size() < kPiece) {
            m_buffer.append(piece);
            if (m_buffer.size() >= kPiece)
                flush();
            return;
        }
        flush();
        m_emit(piece);
    }
    void spaces(std::size_t n) {
        m_buffer.append(n, ' ');
        if (m_buffer.size() >= kPiece)
            flush();
    }
    void flush() {
        if (!m_buffer.empty())
            m_emit(m_buffer);
        m_buffer.clear();
    }

private:
    static constexpr std::size_t kPiece = 64 * 1024;
    const std::function<void(std::string_view)>& m_emit;
    std::string m_buffer;
};

template <typename Out>
void appendFirstCharacter(Out& out, std::string_view rest, TextEncoding encoding) {
    if (rest.empty())
        return;
    if (encoding == TextEncoding::Utf8) {
        // A byte that begins no character is taken alone, as a stray Shift-JIS byte is.
        out.add(rest.substr(0, std::max<std::size_t>(1, utf8CharLength(rest, 0))));
        return;
    }
    const bool pair = isLeadByte(static_cast<unsigned char>(rest[0])) && rest.size() > 1;
    out.add(rest.substr(0, pair ? 2 : 1));
}

template <typename Out>
void expandEscape(Out& out, const EntryToken& token, EntryKind kind, std::string_view rest,
                  DrawGenerator& generator, TextEncoding encoding) {
    const bool header = kind == EntryKind::Header;
    switch (token.letter) {
    case 'N':
        out.add('\n');
        break;
    case 'S':
        out.spaces(static_cast<std::size_t>(token.value));
        break;
    case 'R': {
        const int v = generator.next(); // taken even for an empty range, so later draws keep
        if (token.value > 0)            // their place
            out.add(std::string_view(std::to_string(v % token.value + 1)));
        break;
    }
    case '\\':
        out.add('\\');
        break;
    case 'D':
        if (token.braced)
            out.add(std::string_view(formatDate(token.argument, entryClock())));
        break;
    case 'H':
        if (header)
            out.add(rest);
        break;
    case 'I':
        if (header)
            appendFirstCharacter(out, rest, encoding);
        break;
    default:
        break;
    }
}

template <typename Out>
void expandInto(Out& out, std::string_view entry, EntryKind kind, std::string_view rest,
                DrawGenerator& generator, TextEncoding encoding) {
    std::size_t pos = 0;
    while (pos < entry.size()) {
        const EntryToken token = readEntryToken(entry, pos, encoding);
        if (token.kind == EntryToken::Kind::Text)
            out.add(token.written);
        else
            expandEscape(out, token, kind, rest, generator, encoding);
    }
}

// The bytes an escape's letter or one of its digits takes at `pos`; one past the end counts as
// one.
std::size_t escapeUnit(std::string_view text, std::size_t pos, TextEncoding encoding) {
    if (encoding == TextEncoding::ShiftJis || pos >= text.size())
        return 1;
    return std::max<std::size_t>(1, utf8CharLength(text, pos));
}

int readEscapeDigits(std::string_view text, std::size_t& pos, int width, int fallback,
                     TextEncoding encoding) {
    int value = 0;
    for (int i = 0; i < width; ++i) {
        const char c = pos < text.size() ? text[pos] : 'x';
        const std::size_t n = escapeUnit(text, pos, encoding);
        value = value * 10 + ((n == 1 && c >= '0' && c <= '9') ? c - '0' : fallback);
        pos += n;
    }
    return value;
}

// The offset of the "}" that closes a date format begun at `pos`, or npos; a Shift-JIS second
// byte may be 0x7D and never closes it.
std::size_t closingBrace(std::string_view entry, std::size_t pos, TextEncoding encoding) {
    const bool sjis = encoding == TextEncoding::ShiftJis;
    while (pos < entry.size() && entry[pos] != '}')
        pos += sjis && isLeadByte(static_cast<unsigned char>(entry[pos])) ? 2 : 1;
    return pos < entry.size() ? pos : std::string_view::npos;
}

bool asciiCaseEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return upperAscii(x) == upperAscii(y);
           });
}

} // namespace

std::optional<WeightDirective> readWeightDirective(std::string_view line) {
    constexpr std::string_view kWord = ";@weight";
    if (line.size() < kWord.size() || !asciiCaseEqual(line.substr(0, kWord.size()), kWord))
        return std::nullopt;
    WeightDirective directive;
    std::string_view rest = line.substr(kWord.size());
    const std::size_t number = rest.find_first_not_of(" \t");
    if (number == 0 || number == std::string_view::npos)
        return directive; // ";@weights", or no number
    rest.remove_prefix(number);
    const std::size_t end = std::min(rest.find_first_not_of("0123456789"), rest.size());
    std::uint32_t weight = 0;
    const auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + end, weight);
    if (end == 0 || ec != std::errc() || weight < 1 || weight > kMaxWeight ||
        rest.find_first_not_of(" \t", end) != std::string_view::npos)
        return directive;
    directive.valid = true;
    directive.weight = weight;
    return directive;
}

std::size_t drawBelow(std::size_t count, DrawGenerator& generator) {
    constexpr std::size_t kWide = std::size_t(1) << 30;
    const std::size_t range = count <= kDrawReach ? kDrawReach : kWide;
    const std::size_t limit = range - range % count;
    for (;;) {
        std::size_t value = static_cast<std::size_t>(generator.next());
        if (range == kWide)
            value = (value << 15) | static_cast<std::size_t>(generator.next());
        if (value < limit)
            return value % count;
    }
}

std::time_t entryClock() {
    if (const char* fixed = std::getenv("MORVEX_CLOCK"); fixed && *fixed) {
        std::tm tm{};
        char extra = 0;
        if (std::sscanf(fixed, "%4d-%2d-%2dT%2d:%2d:%2d%c", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                        &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &extra) == 6) {
            tm.tm_year -= 1900;
            tm.tm_mon -= 1;
            tm.tm_isdst = -1;
            if (const std::time_t t = std::mktime(&tm); t != static_cast<std::time_t>(-1))
                return t;
        }
    }
    return std::time(nullptr);
}

std::string formatDate(std::string_view format, std::time_t time) {
    if (format.empty())
        return {};
    std::tm local{};
    if (!::localtime_r(&time, &local))
        return {};
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", nullptr);
    // An empty result and a full buffer look alike: a guard character tells them apart.
    const std::string guarded = std::string(format) + "|";
    std::string out(guarded.size() * 4 + 64, '\0');
    for (int tries = 0; tries < 8; ++tries) {
        const std::size_t n = c ? ::strftime_l(out.data(), out.size(), guarded.c_str(), &local, c)
                                : std::strftime(out.data(), out.size(), guarded.c_str(), &local);
        if (n > 0) {
            out.resize(n - 1);
            return out;
        }
        out.resize(out.size() * 4);
    }
    return {};
}

EntryToken readEntryToken(std::string_view entry, std::size_t& pos, TextEncoding encoding) {
    EntryToken token;
    const std::size_t start = pos;
    if (entry[pos] != '\\') {
        // No byte of a UTF-8 sequence is a backslash, so UTF-8 text needs no lead-byte rule; a
        // lone Shift-JIS lead byte at the very end is copied alone.
        const bool sjis = encoding == TextEncoding::ShiftJis;
        while (pos < entry.size() && entry[pos] != '\\')
            pos += sjis && isLeadByte(static_cast<unsigned char>(entry[pos])) ? 2 : 1;
        pos = std::min(pos, entry.size());
        token.written = entry.substr(start, pos - start);
        return token;
    }
    token.kind = EntryToken::Kind::Escape;
    if (pos + 1 >= entry.size()) {
        // A backslash as the last byte ends the entry.
        pos = entry.size();
        token.written = entry.substr(start);
        token.cutShort = true;
        return token;
    }
    token.letter = upperAscii(entry[pos + 1]);
    pos += 1 + escapeUnit(entry, pos + 1, encoding);
    if (token.letter == 'S')
        token.value = readEscapeDigits(entry, pos, 2, 0, encoding);
    else if (token.letter == 'R')
        token.value = readEscapeDigits(entry, pos, 4, 9, encoding);
    else if (token.letter == 'D' && pos < entry.size() && entry[pos] == '{') {
        const std::size_t close = closingBrace(entry, pos + 1, encoding);
        token.unclosed = close == std::string_view::npos;
        if (!token.unclosed) {
            token.braced = true;
            token.argument = entry.substr(pos + 1, close - pos - 1);
            pos = close + 1;
        }
    }
    token.cutShort = pos > entry.size();
    pos = std::min(pos, entry.size());
    token.written = entry.substr(start, pos - start);
    return token;
}

bool isEligible(std::string_view line) {
    return !line.empty() && line.front() != ';';
}

std::optional<std::string_view> DrawEntry(const Pool& pool, DrawGenerator& generator) {
    const auto index = drawIndex(pool, generator);
    if (!index)
        return std::nullopt;
    return std::string_view(pool[*index]);
}

bool canDraw(const Pool& pool) {
    const std::size_t reach = std::min(pool.size(), kDrawReach);
    return std::any_of(pool.begin(), pool.begin() + static_cast<long>(reach),
                       [](const std::string& line) { return isEligible(line); });
}

std::optional<std::size_t> drawIndex(const Pool& pool, DrawGenerator& generator) {
    if (!canDraw(pool))
        return std::nullopt;
    if (pool.weighted()) {
        // A draw among the reachable entries, each as often as its weight says.
        const std::size_t reach = std::min(pool.size(), kDrawReach);
        const auto weight = [&pool](std::size_t i) -> std::size_t {
            return isEligible(pool[i]) ? pool.weights[i] : 0;
        };
        std::size_t total = 0;
        for (std::size_t i = 0; i < reach; ++i)
            total += weight(i);
        std::size_t chosen = total > 0 ? drawBelow(total, generator) : 0;
        for (std::size_t i = 0; i < reach && total > 0; ++i) {
            if (chosen < weight(i))
                return i;
            chosen -= weight(i);
        }
    }
    // The generator has full period, so every value 0..32767 comes up: the loop ends.
    for (;;) {
        const std::size_t index = static_cast<std::size_t>(generator.next()) % pool.size();
        if (isEligible(pool[index]))
            return index;
    }
}

std::string ExpandEntry(std::string_view entry, EntryKind kind, std::string_view rest,
                        DrawGenerator& generator, TextEncoding encoding) {
    std::string text;
    text.reserve(entry.size());
    StringOut out(text);
    expandInto(out, entry, kind, rest, generator, encoding);
    return text;
}

void expandEntryTo(std::string_view entry, EntryKind kind, std::string_view rest,
                   DrawGenerator& generator, const std::function<void(std::string_view)>& emit,
                   TextEncoding encoding) {
    PieceOut out(emit);
    expandInto(out, entry, kind, rest, generator, encoding);
    out.flush();
}

namespace {

// A TAB counts as eight spaces and the ideographic space as two, in either encoding.
std::string normaliseFooter(std::string_view text, TextEncoding encoding) {
    const std::string_view ideographicSpace =
        encoding == TextEncoding::Utf8 ? std::string_view("\xE3\x80\x80") : "\x81\x40";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\t') {
            out.append(8, ' ');
        } else if (text.compare(i, ideographicSpace.size(), ideographicSpace) == 0) {
            out.append(2, ' ');
            i += ideographicSpace.size() - 1;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

std::string AlignFooter(std::string_view footer, int column, TextEncoding encoding) {
    const std::size_t n = static_cast<std::size_t>(std::clamp(column, 0, 80));
    std::string norm = normaliseFooter(footer, encoding);
    // The text plus the column after it: bytes are columns in Shift-JIS.
    const std::size_t width =
        (encoding == TextEncoding::Utf8 ? utf8Columns(norm) : norm.size()) + 1;
    if (width < n)
        return std::string(n - width, ' ') + norm;
    if (width > n) {
        // Spaces take one column and one byte each, so the excess counts in either.
        const std::size_t k = width - n;
        const bool leadingSpaces = k <= norm.size() && norm.find_first_not_of(' ') >= k;
        return leadingSpaces ? norm.substr(k) : std::string(footer);
    }
    return norm;
}

} // namespace morvex
