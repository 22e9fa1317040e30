#include "engine/Draw.h"

#include <cstdint>
#include <gtest/gtest.h>

namespace morvex {
namespace {

struct ExpandCase {
    const char* name;
    std::string entry;
    EntryKind kind;
    std::string rest;
    std::string expected;
};

std::string expand(const ExpandCase& c) {
    DrawGenerator g;
    g.seed(1);
    return ExpandEntry(c.entry, c.kind, c.rest, g);
}

constexpr EntryKind F = EntryKind::Footer;
constexpr EntryKind H = EntryKind::Header;

TEST(ExpandEntry, EscapeTable) {
    const ExpandCase cases[] = {
        {"plain", "abc 100%", F, "", "abc 100%"},
        {"line end", "a\\Nb\\nc", F, "", "a\nb\nc"},
        {"spaces", "[\\S05]", F, "", "[     ]"},
        {"spaces non-digit counts 0", "[\\Sx5]", F, "", "[     ]"},
        {"spaces 99", "\\S99", F, "", std::string(99, ' ')},
        {"spaces none", "[\\S00]", F, "", "[]"},
        {"spaces lower case", "[\\s02]", F, "", "[  ]"},
        {"digits taken whatever they are", "\\S\\N1", F, "", "1"}, // "\N" counts 0 0
        {"backslash", "C:\\\\dir", F, "", "C:\\dir"},
        {"unknown escape vanishes", "a\\Qb", F, "", "ab"},
        {"rest in footer vanishes", "a\\Hb\\Ic", F, "Subject", "abc"},
        {"rest", "Re: \\H", H, "Subject", "Re: Subject"},
        {"rest lower case", "Re: \\h", H, "Subject", "Re: Subject"},
        {"first character", "\\I", H, "Subject", "S"},
        {"first two-byte character", "\\I", H, "\x95\x5C\x8E\xA6", "\x95\x5C"},
        {"empty rest", "<\\H\\I>", H, "", "<>"},
        {"lone lead byte as rest", "\\I", H, "\x82", "\x82"},
        {"trail byte 0x5C is no escape", "\x95\x5CN", F, "", "\x95\x5CN"},
        {"backslash after a pair", "\x83\x5C\\N", F, "", "\x83\x5C\n"},
        {"lone lead byte at the end", "ab\x82", F, "", "ab\x82"},
        {"backslash last", "ab\\", F, "", "ab"},
        {"spaces cut short", "x\\S", F, "", "x"},
        {"spaces one digit left", "x\\S3", F, "", "x" + std::string(30, ' ')},
        {"NUL bytes kept", std::string("a\0b", 3), F, "", std::string("a\0b", 3)},
        {"high bytes kept", "\xA1\xDF\xFF", F, "", "\xA1\xDF\xFF"},
    };
    for (const ExpandCase& c : cases)
        EXPECT_EQ(expand(c), c.expected) << c.name;
}

TEST(ExpandEntry, RandomNumbersTakeOneDrawEach) {
    // Seed 20240101: values 19180, 7352, 24157, 2395 (see the table in support/GoldenCase.h).
    DrawGenerator g;
    g.seed(20240101u);
    // 19180 % 10 + 1 = 1; 7352 % 9910 + 1 = 7353 ("xx" read as 99); 24157 % 1 + 1 = 1.
    EXPECT_EQ(ExpandEntry("\\R0010/\\Rxx10/\\r0001", F, "", g), "1/7353/1");
    EXPECT_EQ(g.next(), 2395);
}

TEST(ExpandEntry, RandomRangeEdges) {
    DrawGenerator g;
    g.seed(20240101u);
    // \R0000 takes its draw (19180) and inserts nothing; a cut-short \R counts missing digits
    // as 9: "\R1" is 1999, so 7352 % 1999 + 1 = 1356; "\R" alone is 9999: 24157 % 9999 + 1 = 4160.
    EXPECT_EQ(ExpandEntry("<\\R0000>", F, "", g), "<>");
    EXPECT_EQ(ExpandEntry("\\R1", F, "", g), "1356");
    EXPECT_EQ(ExpandEntry("\\R", F, "", g), "4160");
    EXPECT_EQ(g.next(), 2395);
}

TEST(ExpandEntry, LongEntriesAreHandledInFull) {
    DrawGenerator g;
    g.seed(5);
    const std::string big(100000, 'x');
    const std::string rest(5000, 'r');
    EXPECT_EQ(ExpandEntry(big + "\\H", H, rest, g), big + rest);
}

} // namespace

// The expansion and the list check read entries through one grammar: its tokens must give back
// every byte of any entry, in order, each token moving on.
TEST(EntryGrammar, TokensCoverEveryEntryExactly) {
    const std::string alphabet = "\\\\SRHIsrN019x \x82\x95\x5C\xE3\x81\xC0\xFF";
    std::uint32_t state = 7;
    for (int round = 0; round < 4000; ++round) {
        std::string entry;
        const int length = static_cast<int>(state % 12);
        for (int i = 0; i < length; ++i) {
            state = state * 1103515245u + 12345u;
            entry += alphabet[(state >> 16) % alphabet.size()];
        }
        for (const TextEncoding encoding : {TextEncoding::ShiftJis, TextEncoding::Utf8}) {
            std::string joined;
            std::size_t pos = 0;
            while (pos < entry.size()) {
                const std::size_t before = pos;
                const EntryToken token = readEntryToken(entry, pos, encoding);
                ASSERT_GT(pos, before) << entry;
                ASSERT_EQ(token.written, std::string_view(entry).substr(before, pos - before));
                if (token.kind == EntryToken::Kind::Escape) {
                    ASSERT_EQ(token.written.front(), '\\');
                }
                joined.append(token.written);
            }
            EXPECT_EQ(joined, entry);
        }
        state = state * 1103515245u + 12345u;
    }
}

TEST(EntryGrammar, EscapesReadTheirLetterAndDigits) {
    auto first = [](std::string_view entry, TextEncoding encoding = TextEncoding::ShiftJis) {
        std::size_t pos = 0;
        return readEntryToken(entry, pos, encoding);
    };
    EXPECT_EQ(first("\\r0042x").letter, 'R');
    EXPECT_EQ(first("\\r0042x").value, 42);
    EXPECT_EQ(first("\\r0042x").written, "\\r0042");
    EXPECT_EQ(first("\\R12").value, 1299); // missing digits count 9
    EXPECT_TRUE(first("\\R12").cutShort);
    EXPECT_EQ(first("\\S7").value, 70); // ... and 0 for \S
    EXPECT_TRUE(first("\\").cutShort);
    EXPECT_FALSE(first("\\Nx").cutShort);
    // In UTF-8 a digit is a whole character: "１" (U+FF11) is one non-digit, not three bytes.
    const EntryToken wide = first("\\S\xEF\xBC\x91"
                                  "5x",
                                  TextEncoding::Utf8);
    EXPECT_EQ(wide.value, 5);
    EXPECT_EQ(wide.written, "\\S\xEF\xBC\x91"
                            "5");
    // In Shift-JIS the pair 0x95 0x5C is one character, so its second byte opens no escape.
    const EntryToken pair = first("\x95\x5CN\\N");
    EXPECT_EQ(pair.kind, EntryToken::Kind::Text);
    EXPECT_EQ(pair.written, "\x95\x5CN");
}

} // namespace morvex
