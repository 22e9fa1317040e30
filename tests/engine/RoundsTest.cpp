#include "engine/Rounds.h"

#include "TestUtil.h"
#include "engine/Engine.h"
#include "engine/Messages.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace morvex {
namespace {

using test::listDir;
using test::readFile;
using test::TempDir;
using test::writeFile;

// A pool of `n` entries "e0", "e1", ... with a comment and an empty line among them.
Pool entries(std::size_t n) {
    Pool pool{";comment"};
    for (std::size_t i = 0; i < n; ++i) {
        pool.push_back("e" + std::to_string(i));
        if (i == n / 2)
            pool.push_back("");
    }
    return pool;
}

std::vector<std::size_t> drawMany(const RoundKey& key, Round& round, DrawGenerator& g,
                                  std::size_t n) {
    std::vector<std::size_t> picks;
    for (std::size_t i = 0; i < n; ++i)
        picks.push_back(*DrawInRound(key, round, g));
    return picks;
}

std::set<std::size_t> eligibleOf(const Pool& pool) {
    std::set<std::size_t> lines;
    for (std::size_t i = 0; i < pool.size() && i < 32768; ++i)
        if (isEligible(pool[i]))
            lines.insert(i);
    return lines;
}

TEST(Rounds, EveryRoundGivesEachEligibleEntryOnceAndNeverRepeatsAcrossItsEdge) {
    for (const std::size_t n : {1u, 2u, 3u, 7u, 50u, 1000u}) {
        for (const std::uint32_t seed : {0u, 1u, 4242u, 0xFFFFFFFFu}) {
            const Pool pool = entries(n);
            const RoundKey key = RoundKey::of(EntryKind::Footer, pool);
            DrawGenerator g;
            g.seed(seed);
            Round round;
            std::optional<std::size_t> last;
            for (int r = 0; r < 3; ++r) {
                const std::vector<std::size_t> picks = drawMany(key, round, g, n);
                EXPECT_EQ(std::set<std::size_t>(picks.begin(), picks.end()), eligibleOf(pool))
                    << "n " << n << " seed " << seed << " round " << r;
                if (last && n > 1) {
                    EXPECT_NE(picks.front(), *last) << "n " << n << " seed " << seed;
                }
                last = picks.back();
            }
        }
    }
}

TEST(Rounds, ReachEndsAt32768LinesAndAPoolWithoutEntriesGivesNothing) {
    Pool pool(40000, ";");
    for (std::size_t i : {32760u, 32767u, 32768u, 39999u})
        pool[i] = "entry";
    const RoundKey key = RoundKey::of(EntryKind::Header, pool);
    DrawGenerator g;
    g.seed(7);
    Round round;
    const std::vector<std::size_t> picks = drawMany(key, round, g, 20);
    EXPECT_EQ(std::set<std::size_t>(picks.begin(), picks.end()),
              (std::set<std::size_t>{32760, 32767}));

    Round empty;
    EXPECT_FALSE(DrawInRound(RoundKey::of(EntryKind::Footer, {"", ";x"}), empty, g));
    EXPECT_FALSE(DrawInRound(RoundKey::of(EntryKind::Footer, {}), empty, g));
}

// Values past the last whole multiple of the count are drawn again: taken modulo, the first
// 12768 of 20000 entries would come up 78% of the time instead of 64%.
TEST(Rounds, ChoosesUniformlyAmongTheOpenEntries) {
    const RoundKey key = RoundKey::of(EntryKind::Footer, Pool(20000, "x"));
    DrawGenerator g;
    g.seed(99);
    int low = 0;
    constexpr int kTrials = 4000;
    for (int i = 0; i < kTrials; ++i) {
        Round fresh;
        if (*DrawInRound(key, fresh, g) < 12768)
            ++low;
    }
    EXPECT_NEAR(static_cast<double>(low) / kTrials, 12768.0 / 20000, 0.03);
}

TEST(Rounds, StateTextRoundTripsAndAnythingElseIsNotTrusted) {
    const Pool pool{"a", ";c", "b", "", "c", "d", "e"};
    const RoundKey key = RoundKey::of(EntryKind::Footer, pool);
    Round round;
    round.drawn = {true, false, false, false, true, false, false};
    round.last = 4;
    const std::string text = FormatRound(key, round);
    const auto back = ParseRound(text, key);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->drawn, round.drawn);
    EXPECT_EQ(back->last, round.last);

    const auto replaced = [&text](std::string_view from, std::string_view to) {
        std::string changed = text;
        changed.replace(changed.find(from), from.size(), to);
        return changed;
    };
    const std::string hash = key.fileName().substr(7, 16);
    const std::string bad[] = {
        "",
        text.substr(0, text.size() - 1), // the last line end missing
        text + "x\n",                    // something after the state
        replaced("morvex-round 1", "morvex-round 2"),
        replaced("footer ", "header "), // the header pool's state
        replaced(hash, std::string(16, '0')),
        replaced(" 7\n", " 8\n"),     // another line count
        replaced("last 4", "last 1"), // a comment line
        replaced("last 4", "last 7"), // past the pool
        replaced("last 4", "last 04"),
        replaced("last 4", "last +4"),
        replaced("drawn 11", "drawn 31"), // line 1 is a comment
        replaced("drawn 11", "drawn 19"), // line 7 is past the pool
        replaced("drawn 11", "drawn 1"),  // too short
        replaced("drawn 11", "drawn 1g"),
        replaced("drawn 11", "drawn 11 "),
        replaced("last 4", "last"),
    };
    for (const std::string& damaged : bad)
        EXPECT_FALSE(ParseRound(damaged, key)) << damaged;
    EXPECT_NE(key.fileName(), RoundKey::of(EntryKind::Header, pool).fileName());
    EXPECT_NE(key.fileName(),
              RoundKey::of(EntryKind::Footer, Pool{"a", ";c", "b", "", "c", "d", "e "}).fileName());
}

// The rounds of a pass in a state directory of their own, with the messages they show.
struct Kept {
    TempDir dir;
    std::vector<std::string> messages;

    std::string state() const { return dir.file("state"); }
    DrawRounds rounds(DrawRounds::Mode mode = DrawRounds::Mode::Keep) {
        return DrawRounds(state(), mode, [this](const std::string& text, const std::string&) {
            messages.push_back(text);
        });
    }
};

std::vector<std::size_t> drawKept(DrawRounds& rounds, const Pool& pool, std::uint32_t seed,
                                  std::size_t n, EntryKind kind = EntryKind::Footer) {
    DrawGenerator g;
    g.seed(seed);
    std::vector<std::size_t> picks;
    for (std::size_t i = 0; i < n; ++i)
        picks.push_back(*rounds.draw(kind, pool, g));
    return picks;
}

TEST(KeptRounds, AnEditedListStartsANewRound) {
    Kept k;
    Pool pool = entries(50);
    {
        DrawRounds rounds = k.rounds();
        drawKept(rounds, pool, 1, 49);
    }
    // What the first draw of a round without state gives; a round that went on would have to
    // give the one entry left.
    Round fresh;
    DrawGenerator g;
    g.seed(2);
    const std::size_t expected = *DrawInRound(RoundKey::of(EntryKind::Footer, pool), fresh, g);
    for (int edit = 0; edit < 3; ++edit) {
        pool[10] += "!";
        DrawRounds rounds = k.rounds();
        EXPECT_EQ(drawKept(rounds, pool, 2, 1).front(), expected) << "edit " << edit;
    }
}

TEST(KeptRounds, ADamagedStateIsSetAsideWithAMessage) {
    Kept k;
    const Pool pool = entries(5);
    const std::string name = RoundKey::of(EntryKind::Header, pool).fileName();
    {
        DrawRounds rounds = k.rounds();
        drawKept(rounds, pool, 1, 1, EntryKind::Header);
    }
    writeFile(k.state() + "/" + name, "morvex-round 1\nheader garbage\n");
    DrawRounds rounds = k.rounds();
    const std::vector<std::size_t> picks = drawKept(rounds, pool, 3, 5, EntryKind::Header);
    EXPECT_EQ(std::set<std::size_t>(picks.begin(), picks.end()), eligibleOf(pool))
        << "a new round begins";
    ASSERT_EQ(k.messages.size(), 1u);
    EXPECT_EQ(k.messages[0].rfind(kMsgRoundDamaged, 0), 0u) << k.messages[0];
    const std::string aside = k.messages[0].substr(k.messages[0].find(": ") + 2);
    EXPECT_EQ(readFile(aside), "morvex-round 1\nheader garbage\n");
    EXPECT_TRUE(
        ParseRound(readFile(k.state() + "/" + name), RoundKey::of(EntryKind::Header, pool)));
}

TEST(KeptRounds, WithoutAStateDirectoryAPassStillRepeatsNothing) {
    Kept k;
    writeFile(k.dir.file("state"), "a file where the folder belongs");
    const Pool pool = entries(30);
    DrawRounds rounds = k.rounds();
    const std::vector<std::size_t> picks = drawKept(rounds, pool, 8, 30);
    EXPECT_EQ(std::set<std::size_t>(picks.begin(), picks.end()), eligibleOf(pool));
    ASSERT_EQ(k.messages.size(), 1u) << "one message for the pass";
    EXPECT_EQ(k.messages[0].rfind(kMsgRoundUnsaved, 0), 0u) << k.messages[0];
}

// Both children draw with the same seed: only the shared, locked state keeps them apart.
TEST(KeptRounds, TwoProcessesDrawingAtOnceNeverGiveAnEntryTwiceInARound) {
    Kept k;
    const Pool pool = entries(300);
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            DrawRounds rounds = k.rounds();
            std::string out;
            for (std::size_t pick : drawKept(rounds, pool, 77, 150))
                out += std::to_string(pick) + "\n";
            writeFile(k.dir.file("picks" + std::to_string(c)), out);
            ::_exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::multiset<std::size_t> picks;
    for (int c = 0; c < 2; ++c) {
        const std::string text = readFile(k.dir.file("picks" + std::to_string(c)));
        for (std::size_t at = 0, lf; (lf = text.find('\n', at)) != std::string::npos; at = lf + 1)
            picks.insert(std::stoul(text.substr(at, lf - at)));
    }
    EXPECT_EQ(picks.size(), 300u);
    EXPECT_EQ(std::set<std::size_t>(picks.begin(), picks.end()), eligibleOf(pool));
}

} // namespace
} // namespace morvex
