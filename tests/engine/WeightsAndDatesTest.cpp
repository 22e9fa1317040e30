// Weight directives in list files and date escapes in entries.
#include "engine/Draw.h"
#include "engine/Messages.h"
#include "engine/Pool.h"
#include "engine/Rounds.h"
#include "tests/engine/TestUtil.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>

namespace morvex {
namespace {

using test::TempDir;
using test::writeFile;

TEST(Weights, DirectivesApplyToTheEntriesAfterThemInTheirFile) {
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<std::uint32_t> weights; // empty: the pool draws as designed
    } cases[] = {
        {"no directive", {{"a.mfl", "x\r\ny\r\n"}}, {}},
        {"weight 1 only", {{"a.mfl", ";@weight 1\r\nx\r\n"}}, {}},
        {"first line: the whole file; the next file starts again at 1",
         {{"a.mfl", ";@weight 3\r\nx\r\n\r\n;c\r\ny\r\n"}, {"b.mfl", "z\r\n"}},
         {0, 3, 0, 0, 3, 1}},
        {"later directives, a bad one ignored",
         {{"a.mfl", "x\r\n;@weight 2\r\ny\r\n;@weight 0\r\nz\r\n;@Weight\t5\r\nw\r\n"}},
         {1, 0, 2, 0, 2, 0, 5}},
        {"a line joined across files stays with the first",
         {{"a.mfl", ";@weight 4\r\nx"}, {"b.mfl", "y\r\nz\r\n"}},
         {0, 4, 1}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        for (const auto& [name, bytes] : c.files)
            writeFile(dir.file(name), bytes);
        Pool merged;
        Pool loaded;
        PoolSources sources;
        MergeState state;
        MergeLists(dir.file("*.mfl"), dir.path() + "/", "_Morvex_.tmp", merged, kMsgFooterListOpen,
                   {}, state);
        loadLists(dir.file("*.mfl"), loaded, sources, kMsgFooterListOpen, {});
        EXPECT_EQ(merged.weights, c.weights) << c.name;
        EXPECT_EQ(loaded.weights, c.weights) << c.name;
        std::string text;
        std::vector<std::uint32_t> shown;
        mergeListText(dir.file("*.mfl"), dir.path() + "/", "_Morvex_.tmp", text, kMsgFooterListOpen,
                      {}, state, nullptr, &shown);
        EXPECT_EQ(shown, c.weights) << c.name << " (viewer)";
    }
}

TEST(Weights, WeightedDrawsFollowTheirWeights) {
    Pool weighted{"a", ";@weight 3", "b", "c"};
    weighted.weights = {6, 0, 3, 1};
    DrawGenerator g;
    g.seed(1);
    std::map<std::size_t, int> counts;
    for (int i = 0; i < 10000; ++i)
        ++counts[*drawIndex(weighted, g)];
    EXPECT_NEAR(counts[0] / 10000.0, 0.6, 0.02);
    EXPECT_NEAR(counts[2] / 10000.0, 0.3, 0.02);
    EXPECT_NEAR(counts[3] / 10000.0, 0.1, 0.02);
    EXPECT_EQ(counts.count(1), 0u);

    // Weights beyond one draw's reach take two draws and stay fair.
    std::map<std::size_t, int> wide;
    for (std::size_t i = 0; i < 10000; ++i)
        ++wide[drawBelow(40000, g) / 10000];
    for (std::size_t quarter = 0; quarter < 4; ++quarter)
        EXPECT_NEAR(wide[quarter] / 10000.0, 0.25, 0.02) << quarter;
}

TEST(Weights, ARoundGivesEachEntryAsOftenAsItsWeightAndIsKept) {
    Pool pool{";@weight 3", "a", ";@weight 1", "b", "c"};
    pool.weights = {0, 3, 0, 1, 1};
    const RoundKey key = RoundKey::of(EntryKind::Footer, pool);
    Pool unweighted{";@weight 3", "a", ";@weight 1", "b", "c"};
    EXPECT_NE(key.fileName(), RoundKey::of(EntryKind::Footer, unweighted).fileName());
    Round round;
    DrawGenerator g;
    g.seed(3);
    std::optional<std::size_t> previous;
    for (int r = 0; r < 20; ++r) {
        std::map<std::size_t, int> inRound;
        for (int i = 0; i < 5; ++i) {
            const std::size_t drawn = *drawInRound(key, round, g);
            if (i == 0 && previous) {
                EXPECT_NE(drawn, *previous) << "a new round never starts with the last entry";
            }
            ++inRound[drawn];
            previous = drawn;
            // Every state on the way reads back as it was written.
            const auto back = parseRound(formatRound(key, round), key);
            ASSERT_TRUE(back.has_value()) << formatRound(key, round);
            EXPECT_EQ(back->taken, round.taken);
            EXPECT_EQ(back->last, round.last);
        }
        EXPECT_EQ(inRound, (std::map<std::size_t, int>{{1, 3}, {3, 1}, {4, 1}})) << "round " << r;
    }
    const std::string text = formatRound(key, round);
    const std::size_t taken = text.find("taken ");
    ASSERT_NE(taken, std::string::npos);
    for (const char* bad : {"taken 1:4\n", "taken 0:1\n", "taken 3:1,1:1\n", "taken 1:0\n",
                            "taken 1:1,\n", "drawn 2\n"})
        EXPECT_FALSE(parseRound(text.substr(0, taken) + bad, key).has_value()) << bad;
}

TEST(DateEscape, ExpandsUnderTheFixedClockInEitherEncoding) {
    ::setenv("MORVEX_CLOCK", "2026-12-08T10:00:00", 1);
    const struct {
        const char* name;
        std::string entry;
        TextEncoding encoding;
        std::string expected;
    } cases[] = {
        {"UTF-8 format", "今日は\\D{%Y年%m月%d日(%a) %H:%M}です", TextEncoding::Utf8,
         "今日は2026年12月08日(Tue) 10:00です"},
        // 年 is 0x94 0x4E; マ is 0x83 0x7D, whose second byte is "}" and closes nothing.
        {"Shift-JIS format", "\\d{%Y\x94\x4E\x83\x7D}!", TextEncoding::ShiftJis,
         "2026\x94\x4E\x83\x7D!"},
        {"a bare \\D vanishes", "a\\Db", TextEncoding::Utf8, "ab"},
        {"an unclosed brace stays text", "a\\D{%Y", TextEncoding::Utf8, "a{%Y"},
        {"an empty format", "a\\D{}b", TextEncoding::ShiftJis, "ab"},
        {"%% and a day of the year", "\\D{%j%%}", TextEncoding::Utf8, "342%"},
    };
    for (const auto& c : cases) {
        DrawGenerator g;
        EXPECT_EQ(ExpandEntry(c.entry, EntryKind::Footer, {}, g, c.encoding), c.expected) << c.name;
        EXPECT_EQ(g.state(), 0u) << c.name << ": a date takes no draw";
    }
    // Alignment counts the date as it is written out: 10 columns, then 9 spaces before it.
    DrawGenerator g;
    const std::string footer = ExpandEntry("\\D{%Y/%m/%d}", EntryKind::Footer, {}, g);
    EXPECT_EQ(AlignFooter(footer, 20), std::string(9, ' ') + "2026/12/08");
    ::setenv("MORVEX_CLOCK", "not a time", 1);
    EXPECT_GT(entryClock(), std::time_t(1700000000)) << "a clock it cannot read is not used";
    ::unsetenv("MORVEX_CLOCK");
}

} // namespace
} // namespace morvex
