// The text rules of the two encodings: which a list is read in, converting its lines, display
// columns, and what expansion and alignment make of UTF-8 text.
#include "engine/Encoding.h"

#include "engine/Draw.h"
#include "engine/Engine.h"
#include "engine/PassValues.h"
#include "engine/detail/Columns.h"

#include <gtest/gtest.h>
#include <random>

namespace morvex {
namespace {

using namespace std::string_literals;

constexpr TextEncoding kSjis = TextEncoding::ShiftJis;
constexpr TextEncoding kUtf8 = TextEncoding::Utf8;

TEST(DetectListEncoding, ByteOrderMarkOrValidUtf8WithAByteAboveAscii) {
    const struct {
        const char* name;
        std::string text;
        TextEncoding expected;
    } cases[] = {
        {"empty", "", kSjis},
        {"ASCII only", "-- \\NYamada\r\n", kSjis},
        {"byte-order mark, ASCII after it", "\xEF\xBB\xBFplain\r\n", kUtf8},
        {"byte-order mark alone", "\xEF\xBB\xBF", kUtf8},
        {"byte-order mark before invalid bytes", "\xEF\xBB\xBF\x80\r\n", kUtf8},
        {"Japanese in UTF-8", "署名\r\nよろしく\r\n", kUtf8},
        {"Japanese in Shift-JIS", "\x8F\x90\x96\xBC\r\n", kSjis},
        {"half-width katakana in Shift-JIS", "\xB1\xB2\xB3\r\n", kSjis},
        {"UTF-8 but one stray byte", "署名\r\n\x80\r\n", kSjis},
        {"a cut UTF-8 sequence at the end", "署名\xE3\x81", kSjis},
        {"surrogate encoded in UTF-8", "\xED\xA0\x80", kSjis},
        {"overlong form", "\xC0\xAF", kSjis},
    };
    for (const auto& c : cases)
        EXPECT_EQ(detectListEncoding(c.text), c.expected) << c.name;
}

TEST(ConvertLine, CharactersWithoutAFormFailAtTheirOffset) {
    const struct {
        const char* name;
        std::string text;
        TextEncoding from, to;
        bool ok;
        std::string expected; // the converted text, or the offset of the failure as a number
    } cases[] = {
        {"UTF-8 kanji to Shift-JIS", "署名", kUtf8, kSjis, true, "\x8F\x90\x96\xBC"},
        {"wave dash takes the Shift-JIS tilde", "〜", kUtf8, kSjis, true, "\x81\x60"},
        {"half-width katakana stays one byte", "ｱ", kUtf8, kSjis, true, "\xB1"},
        {"backslash stays a backslash", "\\N", kUtf8, kSjis, true, "\\N"},
        {"emoji has no Shift-JIS form", "ab😀", kUtf8, kSjis, false, "2"},
        {"accented letter has none", "café", kUtf8, kSjis, false, "3"},
        {"yen sign would become a backslash", "¥100", kUtf8, kSjis, false, "0"},
        {"overline would become a tilde", "x‾", kUtf8, kSjis, false, "1"},
        {"Shift-JIS kanji to UTF-8", "\x95\x5C\\N", kSjis, kUtf8, true, "表\\N"},
        {"Shift-JIS half-width katakana", "\xB1", kSjis, kUtf8, true, "ｱ"},
        {"a byte that begins no character", "ab\x80", kSjis, kUtf8, false, "2"},
        {"an unassigned pair", "\x85\x40", kSjis, kUtf8, false, "0"},
        {"the same encoding is a copy", "\x80\xFF", kSjis, kSjis, true, "\x80\xFF"},
        {"ASCII is a copy", "plain", kSjis, kUtf8, true, "plain"},
    };
    for (const auto& c : cases) {
        const Converted r = convertLine(c.text, c.from, c.to);
        ASSERT_EQ(r.ok, c.ok) << c.name;
        if (c.ok)
            EXPECT_EQ(r.text, c.expected) << c.name;
        else
            EXPECT_EQ(std::to_string(r.at), c.expected) << c.name;
    }
}

TEST(Utf8Columns, WideFullwidthAndCombiningCharacters) {
    const struct {
        const char* text;
        std::size_t columns;
    } cases[] = {
        {"abc", 3},
        {"あいう", 6},         // hiragana: wide
        {"ＡＢ", 4},           // fullwidth Latin
        {"ｱｲｳ", 3},            // half-width katakana: narrow
        {"e\xCC\x81", 1},      // e and a combining acute accent
        {"が", 2},             // precomposed
        {"か\xE3\x82\x99", 2}, // か and the combining voiced sound mark
        {"😀", 2},
        {"\xF0\xA0\x80\x8B", 2}, // an ideograph of the second plane
        {"é", 1},
        {"\t", 1},       // alignment counts a TAB itself
        {"\x80\xFF", 2}, // bytes that begin no character take one column each
        {"\xE3\x81", 2}, // so do the bytes of a cut sequence
    };
    for (const auto& c : cases)
        EXPECT_EQ(utf8Columns(c.text), c.columns) << c.text;
}

TEST(ExpandEntry, Utf8TextHasNoLeadByteRule) {
    DrawGenerator g;
    // あ is E3 81 82: read as Shift-JIS, 0x82 would take the backslash after it as its
    // second byte and the escape would never start.
    EXPECT_EQ(ExpandEntry("あ\\N", EntryKind::Footer, {}, g, kUtf8), "あ\n");
    EXPECT_EQ(ExpandEntry("あ\\N", EntryKind::Footer, {}, g, kSjis), "あ\\N");
    EXPECT_EQ(ExpandEntry("署名\\S02表", EntryKind::Footer, {}, g, kUtf8), "署名  表");
}

TEST(ExpandEntry, Utf8EscapesTakeWholeCharacters) {
    const struct {
        const char* entry;
        std::string expected;
    } cases[] = {
        {"a\\あb", "ab"},                       // an unknown escape drops the whole character
        {"\\Sあ5x", "     x"},                  // a character that is no digit counts as 0
        {"\\S5😀x", std::string(50, ' ') + "x"}, // 5 and a character counting as 0
        {"[\\Rあ001]", "[1]"},                  // a range of 9001; the first draw of seed 0 gives 1
        {"\\S\x80\x80z", "z"},                  // stray bytes are one unit each
    };
    for (const auto& c : cases) {
        DrawGenerator g;
        const std::string expanded = ExpandEntry(c.entry, EntryKind::Footer, {}, g, kUtf8);
        EXPECT_EQ(expanded, c.expected) << c.entry;
    }
}

TEST(ExpandEntry, FirstCharacterOfTheRestIsWhole) {
    const struct {
        const char* name;
        std::string rest;
        TextEncoding encoding;
        std::string expected;
    } cases[] = {
        {"four-byte character", "😀abc", kUtf8, "[😀]"},
        {"three-byte character", "件名", kUtf8, "[件]"},
        {"two-byte character", "élan", kUtf8, "[é]"},
        {"ASCII", "Subject", kUtf8, "[S]"},
        {"a byte that begins no character", "\x80x", kUtf8, "[\x80]"},
        {"a cut sequence", "\xF0\x9F\x98", kUtf8, "[\xF0]"},
        {"empty rest", "", kUtf8, "[]"},
        {"Shift-JIS pair", "\x95\x5C\x8C\x76", kSjis, "[\x95\x5C]"},
    };
    for (const auto& c : cases) {
        DrawGenerator g;
        EXPECT_EQ(ExpandEntry("[\\I]", EntryKind::Header, c.rest, g, c.encoding), c.expected)
            << c.name;
    }
}

TEST(AlignFooter, Utf8CountsDisplayColumns) {
    const struct {
        const char* name;
        std::string footer;
        int column;
        std::string expected;
    } cases[] = {
        {"wide characters take two", "署名", 11, "      署名"},
        {"combining marks take none", "e\xCC\x81", 5, "   e\xCC\x81"},
        {"emoji take two", "😀", 5, "  😀"},
        {"TAB becomes eight spaces", "a\tb", 12, " a        b"},
        {"ideographic space becomes two", "\xE3\x80\x80x", 5, "   x"},
        {"exact fit is the normalised text", "\tあ", 11, "        あ"},
        {"leading spaces give way", "    署名", 6, " 署名"},
        {"excess that is not spaces keeps the footer", "x\t署名", 6, "x\t署名"},
        {"column 0 keeps every footer", "\tあ", 0, "\tあ"},
        {"column 1 empties a blank footer", "\xE3\x80\x80 ", 1, ""},
        {"line ends count one column", "a\nb", 5, " a\nb"},
        {"invalid bytes count one column each", "\x80\x81", 4, " \x80\x81"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AlignFooter(c.footer, c.column, kUtf8), c.expected) << c.name;
    // The same footer in Shift-JIS counts bytes: 署名 is four bytes there too.
    EXPECT_EQ(AlignFooter("\x8F\x90\x96\xBC", 11, kSjis), "      \x8F\x90\x96\xBC");
}

TEST(RefusedPassValue, Utf8MarkersAreOneAsciiByte) {
    const struct {
        const char* name;
        std::optional<std::string> field;
        unsigned char marker;
        TextEncoding encoding;
        bool refused;
    } cases[] = {
        {"ASCII field", ")", ')', kUtf8, false},
        {"empty field", "", 0, kUtf8, false},
        {"half-width katakana field", "ｱ", 0xB1, kUtf8, true},
        {"half-width katakana field in Shift-JIS", "ｱ", 0xB1, kSjis, false},
        {"byte above ASCII without a field", std::nullopt, 0xB1, kUtf8, true},
        {"byte above ASCII in Shift-JIS", std::nullopt, 0xB1, kSjis, false},
        {"ASCII byte without a field", std::nullopt, ']', kUtf8, false},
    };
    for (const auto& c : cases) {
        ConvSettings s;
        s.encoding = c.encoding;
        s.footerMarker = c.marker;
        s.footerMarkerField = c.field;
        EXPECT_EQ(refusedPassValue(s).empty(), !c.refused) << c.name;
    }
}

TEST(DecodeForTerminal, Utf8TextShowsItsCharactersAndEscapesTheRest) {
    EXPECT_EQ(decodeForTerminal("署名 é", kUtf8), "署名 é");
    EXPECT_EQ(decodeForTerminal("a\x80"
                                "b\x1B\t",
                                kUtf8),
              "a\\x80b\\x1B\t");
    EXPECT_EQ(decodeForTerminal("\xC2\x9B", kUtf8), "\\xC2\\x9B"); // a C1 control
    EXPECT_EQ(decodeForTerminal("\x95\x5C", kSjis), "表");
}

// The block-at-a-time check of whole files must agree with the character-by-character rule
// wherever a sequence falls against the blocks and however the file is cut into pieces.
TEST(Utf8Check, AgreesWithTheCharacterRuleAtEveryOffsetAndCut) {
    const std::string pieces[] = {"é",
                                  "あ",
                                  "\xE0\xA0\x80",
                                  "\xED\x9F\xBF",
                                  "😀",
                                  "\xF4\x8F\xBF\xBF",
                                  "\xEF\xBB\xBF",
                                  "\x80",
                                  "\xBF",
                                  "\xC0\xAF",
                                  "\xC1\xBF",
                                  "\xE0\x9F\xBF",
                                  "\xED\xA0\x80",
                                  "\xF0\x8F\xBF\xBF",
                                  "\xF4\x90\x80\x80",
                                  "\xF5\x80\x80\x80",
                                  "\xFF",
                                  "\xE3\x81",
                                  "\xC3",
                                  "\xE3\x81\x82\x82",
                                  "\x8F\x90\x96\xBC",
                                  "\x1A",
                                  "\r\n"};
    const auto reference = [](const std::string& text) {
        const bool high = std::any_of(text.begin(), text.end(),
                                      [](char c) { return static_cast<unsigned char>(c) > 0x7F; });
        return startsWithUtf8Bom(text) || (high && firstInvalidUtf8(text) == std::string::npos)
                   ? kUtf8
                   : kSjis;
    };
    const auto check = [&](const std::string& text, const std::string& label) {
        const TextEncoding expected = reference(text);
        EXPECT_EQ(isUtf8(text), firstInvalidUtf8(text) == std::string::npos) << label;
        EXPECT_EQ(detectTextEncoding(text), expected) << label;
        for (const std::size_t cut :
             {std::size_t{1}, std::size_t{7}, std::size_t{64}, std::size_t{100}, text.size() + 1}) {
            EncodingSniffer sniffer;
            for (std::size_t at = 0; at < text.size(); at += cut)
                sniffer.feed(std::string_view(text).substr(at, cut));
            sniffer.finish();
            EXPECT_EQ(sniffer.verdict(), expected) << label << ", pieces of " << cut;
        }
    };
    // Each piece at every offset across three blocks, in ASCII and in kana.
    for (const char* filler : {"a", "かな"}) {
        for (const std::string& piece : pieces) {
            for (std::size_t offset = 0; offset < 140; ++offset) {
                std::string text;
                while (text.size() < offset)
                    text += filler;
                text += piece;
                while (text.size() < 260)
                    text += filler;
                check(text, "piece at " + std::to_string(offset));
            }
        }
    }
    // Long mixes of the pieces; every other one of the well-formed pieces alone.
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 200);
        const std::size_t kinds = round % 2 == 0 ? 7 : std::size(pieces);
        for (int k = 0; k < length; ++k)
            text += random() % 16 == 0 ? pieces[random() % kinds]
                                       : (random() % 2 == 0 ? "かな漢字"s : "text "s);
        check(text, "mix " + std::to_string(round));
    }
}

} // namespace
} // namespace morvex
