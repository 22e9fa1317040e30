#pragma once

#include "engine/Encoding.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvex {

/// A draw reaches the first 32768 lines of a pool: the generator yields at most 0x7FFF.
inline constexpr std::size_t kDrawReach = 32768;

/// An ordered list of list-file lines, comments and empty lines included, without line ends,
/// with the weights the lines' directives give their entries.
class Pool : public std::vector<std::string> {
public:
    using std::vector<std::string>::vector;
    Pool() = default;
    Pool(std::vector<std::string> lines)
        : std::vector<std::string>(std::move(lines)) {}

    /// Per line, how many draws' worth its entry has (0 for a line that is no entry); empty while
    /// every entry weighs 1. Set by the merges; lines changed since (their count no longer
    /// matching) make the pool unweighted again.
    std::vector<std::uint32_t> weights;
    /// True when the weights apply: draws then follow them instead of the designed draw.
    bool weighted() const { return !weights.empty() && weights.size() == size(); }
};

/// The largest weight a directive may give.
inline constexpr std::uint32_t kMaxWeight = 1000;

/// A weight directive: a comment line ";@weight N" (the word in either case, then spaces or TABs
/// and N from 1 to kMaxWeight) that gives every entry after it in its list file N draws' worth,
/// until the next directive. To a reader that knows no directives it is a comment.
struct WeightDirective {
    bool valid = false; ///< false: the line begins ";@weight" but gives no usable weight
    std::uint32_t weight = 1;
};

/// The directive a pool line holds, or nothing when it holds none.
std::optional<WeightDirective> readWeightDirective(std::string_view line);

/// The engine's linear congruential generator on one 32-bit state word.
class DrawGenerator {
public:
    /// Sets the state word to the seed.
    void seed(std::uint32_t seed) { m_state = seed; }
    /// Advances the state (state * 22695477 + 1) and returns its bits 16 to 30 (0 to 32767).
    int next() {
        m_state = m_state * 22695477u + 1u;
        return static_cast<int>((m_state >> 16) & 0x7FFFu);
    }
    /// The current state word.
    std::uint32_t state() const { return m_state; }

private:
    std::uint32_t m_state = 0;
};

enum class EntryKind { Footer, Header };

/// A uniform choice from 0 to count - 1 (count from 1 to 2^30) with the generator: one draw while
/// count is at most 32768, two (30 bits) above; a value past the last whole multiple of count is
/// drawn again, so that no choice is favoured.
std::size_t drawBelow(std::size_t count, DrawGenerator& generator);

/// True when the byte begins a two-byte Shift-JIS character (0x81-0x9F, 0xE0-0xF0).
constexpr bool isLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xF0);
}

/// One piece of an entry as the escape grammar reads it: a run of plain text, or one escape.
/// The draw, the expansion and the list check all read entries through this grammar.
struct EntryToken {
    enum class Kind {
        Text,   ///< plain text, copied as it is (a Shift-JIS second byte is never a backslash)
        Escape, ///< a backslash, its letter and the digits the letter takes
    };
    Kind kind = Kind::Text;
    std::string_view written; ///< the bytes as they stand in the entry
    char letter = 0;          ///< the escape's letter in upper case (ASCII letters only)
    int value = 0;            ///< the number of `\S` (two digits) or `\R` (four digits)
    bool cutShort = false;    ///< the entry ends inside the escape (a lone final backslash too)
    /// `\D{format}`: the format between the braces (`braced`); a `\D` without braces stands
    /// for nothing, as every unknown letter does, and so does one whose "{" is never closed
    /// (`unclosed`: the brace and what follows stay text).
    std::string_view argument;
    bool braced = false;
    bool unclosed = false;
};

/// The clock of date escapes: the time MORVEX_CLOCK gives (local time, "YYYY-MM-DDTHH:MM:SS"),
/// so that tests and previews can be repeated, else the current time.
std::time_t entryClock();

/// A `\D{format}` escape's text: strftime's conversions of the time, in the local time zone and
/// the C locale (so its names are English and its text ASCII; the format's own characters are
/// copied in either encoding, as no Shift-JIS second byte is a "%").
std::string formatDate(std::string_view format, std::time_t time);

/// Reads the token at `pos` and moves `pos` past it. In an escape the letter and each digit take
/// one byte in Shift-JIS, as designed, and a whole character in UTF-8, so that no escape cuts a
/// character apart; a digit that is not one counts as 0 for `\S` and 9 for `\R`, and so do
/// digits missing at the end of the entry.
EntryToken readEntryToken(std::string_view entry, std::size_t& pos, TextEncoding encoding);

/// True for a pool line that a draw may return: not empty and not starting with ";".
bool isEligible(std::string_view line);

/// True when a draw from the pool can return an entry: an eligible line among the first 32768.
bool canDraw(const Pool& pool);

/// Draws entries until an eligible one comes up; no entry when none can (empty pool, only
/// comments and empty lines, or none among the first 32768 lines).
std::optional<std::string_view> DrawEntry(const Pool& pool, DrawGenerator& generator);

/// DrawEntry giving the drawn line's index in the pool.
std::optional<std::size_t> drawIndex(const Pool& pool, DrawGenerator& generator);

/// Expands the backslash escapes of an entry; `rest` is the rest of the marker line (headers).
/// The encoding decides what a character is: a Shift-JIS second byte is never a backslash, and
/// `\I` takes a whole character of either encoding.
std::string ExpandEntry(std::string_view entry, EntryKind kind, std::string_view rest,
                        DrawGenerator& generator, TextEncoding encoding = TextEncoding::ShiftJis);

/// Expands like ExpandEntry, handing the text to `emit` in pieces instead of building it whole,
/// so that an expansion larger than memory (a long rest repeated by many "\H") can be written.
void expandEntryTo(std::string_view entry, EntryKind kind, std::string_view rest,
                   DrawGenerator& generator, const std::function<void(std::string_view)>& emit,
                   TextEncoding encoding = TextEncoding::ShiftJis);

/// Pads or trims an expanded footer so that the byte after it stands in column `column`; bytes
/// are columns in Shift-JIS, display columns in UTF-8
/// (a TAB counts as eight spaces, the ideographic space as two).
std::string AlignFooter(std::string_view footer, int column,
                        TextEncoding encoding = TextEncoding::ShiftJis);

} // namespace morvex
