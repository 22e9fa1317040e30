#include "engine/Rounds.h"

#include "engine/Engine.h"
#include "engine/Messages.h"
#include "engine/TakeBack.h"
#include "tests/engine/TestUtil.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace morvex {
namespace {

using test::exists;
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
        picks.push_back(*drawInRound(key, round, g));
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
    EXPECT_FALSE(drawInRound(RoundKey::of(EntryKind::Footer, {"", ";x"}), empty, g));
    EXPECT_FALSE(drawInRound(RoundKey::of(EntryKind::Footer, {}), empty, g));
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
        if (*drawInRound(key, fresh, g) < 12768)
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
    const std::string text = formatRound(key, round);
    const auto back = parseRound(text, key);
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
        EXPECT_FALSE(parseRound(damaged, key)) << damaged;
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

// `n` draws, committed as the draws of files of `perFile` draws each.
std::vector<std::size_t> drawKept(DrawRounds& rounds, const Pool& pool, std::uint32_t seed,
                                  std::size_t n, EntryKind kind = EntryKind::Footer,
                                  std::size_t perFile = 1) {
    DrawGenerator g;
    g.seed(seed);
    std::vector<std::size_t> picks;
    for (std::size_t i = 0; i < n; ++i) {
        picks.push_back(*rounds.draw(kind, pool, g));
        if ((i + 1) % perFile == 0 || i + 1 == n)
            rounds.commit();
    }
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
    const std::size_t expected = *drawInRound(RoundKey::of(EntryKind::Footer, pool), fresh, g);
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
        parseRound(readFile(k.state() + "/" + name), RoundKey::of(EntryKind::Header, pool)));
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
            for (std::size_t pick : drawKept(rounds, pool, 77, 150, EntryKind::Footer, 3))
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

// True when no one holds the state folder's lock.
bool lockFree(const std::string& state) {
    const int fd = ::open((state + "/rounds.lock").c_str(), O_RDONLY | O_CLOEXEC);
    const bool free = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0)
        ::close(fd);
    return free;
}

// A file's draws count only once it is settled: rewound or discarded, the same draws come again
// from the round as it was (kept, its state untouched and the folder locked only meanwhile);
// committed, the round goes on past them.
TEST(KeptRounds, AFilesDrawsArePendingUntilTheFileIsSettled) {
    enum class Where { Kept, LookedAt, Unsaved };
    for (const Where where : {Where::Kept, Where::LookedAt, Where::Unsaved}) {
        const std::string name = where == Where::Kept       ? "kept"
                                 : where == Where::LookedAt ? "looked at"
                                                            : "unsaved";
        Kept k;
        if (where == Where::Unsaved)
            writeFile(k.state(), "a file where the folder belongs");
        const Pool pool = entries(6);
        std::vector<std::size_t> earlier;
        {
            DrawRounds rounds = k.rounds();
            earlier = drawKept(rounds, pool, 1, 2);
        }
        if (where == Where::Unsaved)
            earlier.clear(); // the earlier pass's round lived in its memory only
        const std::string stateFile =
            k.state() + "/" + RoundKey::of(EntryKind::Footer, pool).fileName();
        const std::string before = where == Where::Unsaved ? "" : readFile(stateFile);

        DrawRounds rounds =
            k.rounds(where == Where::LookedAt ? DrawRounds::Mode::Look : DrawRounds::Mode::Keep);
        DrawGenerator g;
        const auto drawTwo = [&] {
            g.seed(2);
            return std::vector<std::size_t>{*rounds.draw(EntryKind::Footer, pool, g),
                                            *rounds.draw(EntryKind::Footer, pool, g)};
        };
        const std::vector<std::size_t> first = drawTwo();
        if (where == Where::Kept) {
            EXPECT_FALSE(lockFree(k.state())) << "locked until the file is settled";
        }
        rounds.rewind();
        EXPECT_EQ(drawTwo(), first) << name << ": rewound";
        rounds.discard();
        if (where == Where::Kept) {
            EXPECT_TRUE(lockFree(k.state()));
        }
        EXPECT_EQ(drawTwo(), first) << name << ": discarded";
        if (where != Where::Unsaved) {
            EXPECT_EQ(readFile(stateFile), before) << name;
        }
        rounds.commit();
        if (where == Where::Kept) {
            EXPECT_TRUE(lockFree(k.state()));
            EXPECT_NE(readFile(stateFile), before);
        } else if (where == Where::LookedAt) {
            EXPECT_EQ(readFile(stateFile), before) << "a look writes nothing";
        }
        // The rest of the round: the entries neither pass has given.
        std::vector<std::size_t> round = earlier;
        round.insert(round.end(), first.begin(), first.end());
        const std::vector<std::size_t> rest = drawKept(rounds, pool, 3, 6 - round.size());
        round.insert(round.end(), rest.begin(), rest.end());
        const std::set<std::size_t> eligible = eligibleOf(pool);
        EXPECT_EQ(std::multiset<std::size_t>(round.begin(), round.end()),
                  std::multiset<std::size_t>(eligible.begin(), eligible.end()))
            << name;
    }
    // Rounds that end with draws still pending take them back.
    Kept k;
    const Pool pool = entries(4);
    {
        DrawRounds rounds = k.rounds();
        DrawGenerator g;
        rounds.draw(EntryKind::Footer, pool, g);
    }
    EXPECT_FALSE(exists(k.state() + "/" + RoundKey::of(EntryKind::Footer, pool).fileName()));
    EXPECT_TRUE(lockFree(k.state()));
}

// The entries the kept footer round has given (nothing without a state; 99 when it is damaged).
std::set<std::size_t> footersDrawn(const std::string& state, const Pool& pool) {
    const RoundKey key = RoundKey::of(EntryKind::Footer, pool);
    const std::string path = state + "/" + key.fileName();
    if (!exists(path))
        return {};
    const auto round = parseRound(readFile(path), key);
    if (!round)
        return {99};
    std::set<std::size_t> drawn;
    for (std::size_t i = 0; i < round->drawn.size(); ++i)
        if (round->drawn[i])
            drawn.insert(i);
    return drawn;
}

// A folder of lists and upload files, converted without repeats with a fixed seed.
struct NoRepeatPass : test::Pass {
    NoRepeatPass()
        : test::Pass({}, {}) {
        keepRounds();
    }
};

// A file left as it was, for an empty pool or because its new text is its text, gives the user no
// draw: the round keeps none of its draws, in a pass as in a dry run.
TEST(NoRepeatPasses, AFileLeftAsItWasMovesNoRound) {
    const struct Case {
        const char* name;
        std::string footers;
        std::string left;  // the file left as it was (no header list)
        std::string other; // two files converted after it, with two footers each
        bool sameDraws;    // the other file's draws are those of a pass without the left one
    } cases[] = {
        {"an empty pool", "F0\r\nF1\r\nF2\r\nF3\r\nF4\r\n", ")\r\n]Subject\r\n", ")\r\n)\r\n",
         true},
        // Every footer is the marker itself; the other file changes for its lone LF.
        {"no change", ")\r\n)\r\n)\r\n)\r\n)\r\n", ")\r\n)\r\n", "a\n)\r\n)\r\n", false},
    };
    for (const Case& c : cases) {
        std::string alone; // the other file converted in a pass of its own
        for (const bool withLeft : {false, true}) {
            const std::string name = std::string(c.name) + (withLeft ? ", with" : ", without");
            NoRepeatPass p;
            writeFile(p.path("f.mfl"), c.footers);
            writeFile(p.path("left.up"), c.left);
            writeFile(p.path("other.up"), c.other);
            writeFile(p.path("other2.up"), c.other);
            p.settings.sources = {p.path("other.up"), p.path("other2.up")};
            if (withLeft)
                p.settings.sources.insert(p.settings.sources.begin(), p.path("left.up"));
            // The entries a dry run shows for the other files, as pool indices.
            test::ShownLog log;
            ConvEngine preview;
            preview.setMode(PassMode::Preview, &log);
            preview.setClock([] { return NoRepeatPass::kSeed; });
            preview.setStateDirectory(p.state());
            preview.ConvertAll(p.settings);
            std::set<std::size_t> shown;
            for (const test::Shown& i : log.shown)
                if (i.path != p.path("left.up"))
                    shown.insert(i.listLine - 1);
            EXPECT_TRUE(footersDrawn(p.state(), preview.footerPool()).empty()) << name;

            p.engine.ConvertAll(p.settings);
            EXPECT_EQ(readFile(p.path("left.up")), c.left) << name;
            EXPECT_FALSE(exists(p.path("left.bak"))) << name;
            const std::set<std::size_t> drawn = footersDrawn(p.state(), p.engine.footerPool());
            EXPECT_EQ(drawn.size(), 4u) << name << ": the other files' draws only";
            EXPECT_EQ(shown, drawn) << name << ": the dry run shows what the pass draws";
            if (!withLeft)
                alone = readFile(p.path("other.up"));
            else if (c.sameDraws) {
                EXPECT_EQ(readFile(p.path("other.up")), alone) << name;
            }
        }
    }
}

// --redraw keeps the rules of a pass: a backup whose marker meets an empty pool, or a redraw that
// gives the file's text, writes nothing and moves no round; a new text is put in place.
TEST(NoRepeatPasses, ARedrawWritesOnlyANewTextAndKeepsOnlyItsDraws) {
    const struct Case {
        const char* name;
        std::string footers;
        std::string backup;
        std::string file;
        bool written;
        std::size_t drawn;
        bool emptyPool;
    } cases[] = {
        {"an empty pool", "F0\r\nF1\r\n", ")\r\n]Subject\r\n", "F0\r\nRe: x\r\n", false, 0, true},
        {"the file's text", ")\r\n)\r\n)\r\n", ")\r\n", ")\r\n", false, 0, false},
        {"a new text", "F0\r\nF1\r\nF2\r\n", ")\r\n)\r\n", "old\r\n", true, 2, false},
    };
    for (const Case& c : cases) {
        NoRepeatPass p;
        writeFile(p.path("f.mfl"), c.footers);
        writeFile(p.path("memo.up"), c.file);
        writeFile(p.path("memo.bak"), c.backup);
        const test::FileVersion before = test::versionOf(p.path("memo.up"));
        const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
        ::utimensat(AT_FDCWD, p.path("memo.up").c_str(), old, 0);
        p.settings.sources = {p.path("memo.up")};
        p.engine.redrawAll(p.settings);
        const test::FileVersion after = test::versionOf(p.path("memo.up"));
        EXPECT_EQ(after.inode != before.inode, c.written) << c.name;
        EXPECT_EQ(after.seconds != 1000000000, c.written) << c.name;
        EXPECT_EQ(readFile(p.path("memo.bak")), c.backup) << c.name;
        if (!c.written) {
            EXPECT_EQ(readFile(p.path("memo.up")), c.file) << c.name;
        }
        EXPECT_EQ(p.engine.convertedList().size(), c.written ? 1u : 0u) << c.name;
        EXPECT_EQ(footersDrawn(p.state(), p.engine.footerPool()).size(), c.drawn) << c.name;
        EXPECT_EQ(p.messages.size(), c.emptyPool ? 1u : 0u) << c.name;
        if (c.emptyPool && !p.messages.empty()) {
            EXPECT_NE(p.messages[0].find("ヘッダリスト「"), std::string::npos) << p.messages[0];
        }
        EXPECT_EQ(listDir(p.dir.path()).find(".morvex-"), std::string::npos) << c.name;
    }
}

} // namespace
} // namespace morvex
