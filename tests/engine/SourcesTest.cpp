// Where each pool line comes from, and the in-memory merge that builds the same pool.
#include "engine/Engine.h"
#include "tests/engine/TestUtil.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace morvex {
namespace {

using namespace std::string_literals;

using test::TempDir;
using test::writeFile;

struct Where {
    std::string file; // name inside the directory
    std::size_t line;
    bool operator==(const Where&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Where& w) {
    return os << w.file << ":" << w.line;
}

std::vector<Where> origins(const TempDir& dir, const Pool& pool, const PoolSources& sources) {
    std::vector<Where> out;
    for (std::size_t i = 0; i < pool.size(); ++i) {
        const PoolSources::Origin o = sources.find(i);
        out.push_back({o.file ? o.file->substr(dir.path().size() + 1) : "?", o.line});
    }
    return out;
}

struct Lists {
    TempDir dir;
    TempDir temp;
    MergeState state;
    std::vector<std::string> messages;

    ShowError sink() {
        return [this](const std::string& text, const std::string&) {
            messages.push_back(text);
        };
    }
    void merge(Pool& pool, PoolSources& sources) {
        MergeLists(dir.file("*.mfl"), temp.path() + "/", "_Morvex_.tmp", pool, kMsgFooterListOpen,
                   sink(), state, &sources);
    }
};

TEST(PoolSources, FileAndLineOfEveryLineAcrossFilesAndAJoin) {
    Lists l;
    writeFile(l.dir.file("a.mfl"), "; comment\r\n\r\nfirst\r\nlone\rcr\r\njoined");
    writeFile(l.dir.file("b.mfl"), "-here\r\nsecond\nthird\r\n");
    writeFile(l.dir.file("c.mfl"), "");
    writeFile(l.dir.file("d.mfl"), "\r\nlast\x1Ahidden\r\n"s);
    Pool pool;
    PoolSources sources;
    l.merge(pool, sources);
    EXPECT_EQ(pool, (Pool{"; comment", "", "first", "lonecr", "joined-here", "second", "third", "",
                          "last"}));
    EXPECT_EQ(origins(l.dir, pool, sources), (std::vector<Where>{{"a.mfl", 1},
                                                                 {"a.mfl", 2},
                                                                 {"a.mfl", 3},
                                                                 {"a.mfl", 4},
                                                                 {"a.mfl", 5},
                                                                 {"b.mfl", 2},
                                                                 {"b.mfl", 3},
                                                                 {"d.mfl", 1},
                                                                 {"d.mfl", 2}}));
    EXPECT_EQ(sources.files().size(), 4u);
    EXPECT_TRUE(l.messages.empty());
}

TEST(PoolSources, AnOpenLineCarriedThroughSeveralFiles) {
    // "x" + "y" (no line end) + an empty file + "z\n": one line, from a.mfl line 1.
    PoolSources s;
    s.addFile("a", 0, true);
    s.addFile("b", 0, true);
    s.addFile("c", 0, false);
    s.addFile("d", 2, false); // "z\nw\n"
    EXPECT_EQ(*s.find(0).file, "a");
    EXPECT_EQ(s.find(0).line, 1u);
    EXPECT_EQ(*s.find(1).file, "d");
    EXPECT_EQ(s.find(1).line, 2u);
    s.clear();
    EXPECT_EQ(s.find(0).file, nullptr) << "no files, no origin";
    EXPECT_TRUE(s.files().empty());
}

TEST(PoolSources, InMemoryMergeGivesThePoolAndSourcesOfTheTemporaryFile) {
    const std::vector<std::vector<std::pair<std::string, std::string>>> cases = {
        {{"a.mfl", "x\r\ny\r\n"}, {"b.mfl", "z\r\n"}},
        {{"a.mfl", "x\r\ny"}, {"b.mfl", "z"}, {"c.mfl", "w\r\nv"}},
        {{"a.mfl", "only"}, {"b.mfl", ""}, {"c.mfl", "\r\r"}, {"d.mfl", "\nnext\n"}},
        {{"a.mfl", "end\x1A\r\nhidden"}, {"b.mfl", "\x1A"}, {"c.mfl", std::string("n\0l\r\n", 5)}},
        {{"a.mfl", std::string(70000, 'L') + "\r\n;c\r\n\r\n"}},
        {},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        Lists l;
        for (const auto& [name, bytes] : cases[i])
            writeFile(l.dir.file(name), bytes);
        Pool merged{"old"}, loaded{"old"};
        PoolSources mergedSources, loadedSources;
        l.merge(merged, mergedSources);
        loadLists(l.dir.file("*.mfl"), loaded, loadedSources, kMsgFooterListOpen, l.sink());
        EXPECT_EQ(loaded, merged) << "case " << i;
        EXPECT_EQ(origins(l.dir, loaded, loadedSources), origins(l.dir, merged, mergedSources))
            << "case " << i;
        EXPECT_EQ(test::listDir(l.temp.path()), "");
    }
}

TEST(PoolSources, EnginePoolsKeepTheirSourcesAndUnreadableListsAreLeftOut) {
    TempDir dir;
    writeFile(dir.file("f.mfl"), "f1\r\nf2\r\n");
    writeFile(dir.file("h.mhl"), "h1\r\n");
    writeFile(dir.file("locked.mhl"), "secret\r\n");
    writeFile(dir.file("z.mhl"), "h2\r\n");
    ConvEngine engine;
    engine.MakeFooterPool(dir.file("*.mfl"));
    engine.MakeHeaderPool(dir.file("*.mhl"));
    ASSERT_EQ(engine.footerPool(), (Pool{"f1", "f2"}));
    EXPECT_EQ(*engine.footerSources().find(1).file, dir.file("f.mfl"));
    EXPECT_EQ(engine.footerSources().find(1).line, 2u);
    EXPECT_EQ(*engine.headerSources().find(0).file, dir.file("h.mhl"));

    test::SysGuard guard;
    sys::calls().open = [](const char* path, int flags, mode_t mode) {
        if (std::string_view(path).ends_with("locked.mhl")) {
            errno = EACCES;
            return -1;
        }
        return sys::realCalls().open(path, flags, mode);
    };
    std::vector<std::string> messages;
    Pool pool;
    PoolSources sources;
    loadLists(dir.file("*.mhl"), pool, sources, kMsgHeaderListOpen,
              [&](const std::string& text, const std::string&) { messages.push_back(text); });
    EXPECT_EQ(pool, (Pool{"h1", "h2"}));
    EXPECT_EQ(messages, std::vector<std::string>{kMsgHeaderListOpen});
    EXPECT_EQ(*sources.find(1).file, dir.file("z.mhl"));
    EXPECT_EQ(sources.find(1).line, 1u);
}

} // namespace
} // namespace morvex
