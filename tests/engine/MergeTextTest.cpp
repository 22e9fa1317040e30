// The merge kept as one text, as the list viewer takes it.
#include "engine/Engine.h"
#include "tests/engine/TestUtil.h"

#include <gtest/gtest.h>

namespace morvex {
namespace {

using namespace std::string_literals;
using test::TempDir;
using test::writeFile;

struct TextMerge {
    TempDir lists;
    TempDir temp;
    std::vector<std::string> messages;
    MergeState state;

    bool run(const std::string& pattern, std::string& text, const std::string& tempDir) {
        return mergeListText(
            lists.file(pattern), tempDir, "_Morvex_.tmh", text, kMsgHeaderListOpen,
            [this](const std::string& message, const std::string&) { messages.push_back(message); },
            state);
    }
};

TEST(MergeListText, HoldsTheLinesThePoolWouldHoldEachEndingInLf) {
    TextMerge m;
    writeFile(m.lists.file("a.mhl"), "x\r\n\r\n;comment\r\nlone\rcr\r\ny");
    writeFile(m.lists.file("b.mhl"), "z\nnul\0byte\r\nend\x1Ahidden\r\n"s);
    writeFile(m.lists.file("c.mhl"), "last");
    std::string text = "old";
    ASSERT_TRUE(m.run("*.mhl", text, m.temp.path() + "/"));
    EXPECT_EQ(text, "x\n\n;comment\nlonecr\nyz\nnul\0byte\nendlast"s);
    EXPECT_EQ(m.state.TmpListLbl, m.lists.file("c.mhl"));
    EXPECT_TRUE(m.state.TmpListFile.ends_with(".tmh"));
    EXPECT_EQ(test::listDir(m.temp.path()), "") << "the temporary file is deleted";

    EXPECT_TRUE(m.run("none*.mhl", text, m.temp.path() + "/"));
    EXPECT_EQ(text, "") << "no match: an empty text";
    EXPECT_TRUE(m.messages.empty());
}

TEST(MergeListText, ATemporaryFileThatCannotBeMadeKeepsTheText) {
    TextMerge m;
    writeFile(m.lists.file("a.mhl"), "new\r\n");
    std::string text = "old\n";
    EXPECT_FALSE(m.run("*.mhl", text, m.temp.file("missing") + "/"));
    EXPECT_EQ(text, "old\n");
    EXPECT_EQ(m.messages, std::vector<std::string>{kMsgTempCreate});
}

} // namespace
} // namespace morvex
