// morvex-convert with lists of either encoding, weighted lists and dated entries.
#include "tests/cli/CliSupport.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

using clitest::Outcome;

const std::string kClock = "MORVEX_CLOCK=2026-12-08T10:00:00";

// 山田, 年, 月, 日 in Shift-JIS.
const std::string kSjisYamada = "\x8E\x52\x93\x63";
const std::string kSjisYear = "\x94\x4E";
const std::string kSjisMonth = "\x8C\x8E";
const std::string kSjisDay = "\x93\xFA";

TEST(CliLists, EncodingsAndDatesEndToEnd) {
    const struct {
        const char* name;
        std::map<std::string, std::string> files; // besides memo.up
        std::string memo;
        std::vector<std::string> args; // before memo.up
        int status;
        std::string converted; // memo.up afterwards
        std::string err;       // "|" stands for the scratch folder's path
    } cases[] = {
        {"dated footer, Shift-JIS list into Shift-JIS, aligned by its width",
         {{"f.mfl", "\\D{%Y" + kSjisYear + "%m" + kSjisMonth + "%d" + kSjisDay + "}\r\n"}},
         "body\r\n)\r\n",
         {"--align", "20"},
         0,
         "body\r\n" + std::string(5, ' ') + "2026" + kSjisYear + "12" + kSjisMonth + "08" +
             kSjisDay + "\r\n",
         ""},
        {"dated footer, UTF-8 list into UTF-8, aligned by its columns",
         {{"f.mfl", "\\D{%Y年%m月%d日}\n"}},
         "body\n)\n",
         {"--encoding", "utf-8", "--align", "20"},
         0,
         "body\n" + std::string(5, ' ') + "2026年12月08日\n",
         ""},
        {"dated header, Shift-JIS list into UTF-8",
         {{"h.mhl", kSjisYamada + " \\D{%m/%d} \\H\r\n"}, {"f.mfl", "F\r\n"}},
         "]Re\n",
         {"--encoding", "utf-8"},
         0,
         "山田 12/08 Re\n",
         ""},
        {"a stray byte among kanji lines: only the good lines, into UTF-8",
         {{"f.mfl", "山田です\n東京の鈴木より\nCaf\xE9 au lait\n"}},
         ")\n)\n)\n)\n)\n)\n",
         {"--encoding", "utf-8", "--seed", "11"},
         1,
         "",
         "警告: UTF-8 として読めないバイトを含むため、次の項目を挿入しません: f.mfl:3\n"},
        {"a byte-order mark before Shift-JIS text, into Shift-JIS",
         {{"f.mfl", "\xEF\xBB\xBF" + kSjisYamada + "\r\nplain\r\n"}},
         ")\r\n",
         {},
         1,
         "plain\r\n",
         "警告: UTF-8 として読めないバイトを含むため、次の項目を挿入しません: f.mfl:1\n"},
        {"a byte-order mark before Shift-JIS text, into UTF-8",
         {{"f.mfl", "\xEF\xBB\xBF" + kSjisYamada + "\r\nplain\r\n"}},
         ")\n",
         {"--encoding", "utf-8"},
         1,
         "plain\n",
         "警告: UTF-8 として読めないバイトを含むため、次の項目を挿入しません: f.mfl:1\n"},
        {"Ctrl-Z and a lone CR are a UTF-8 list's text",
         {{"f.mfl", "前\x1A後\r途中\r\n"}},
         ")\n",
         {"--encoding", "utf-8"},
         0,
         "前\x1A後\r途中\n",
         ""},
    };
    for (const auto& c : cases) {
        clitest::Scratch s;
        for (const auto& [name, bytes] : c.files)
            s.write(name, bytes);
        s.write("memo.up", c.memo);
        std::vector<std::string> args = c.args;
        args.push_back("memo.up");
        const Outcome r = clitest::convert(s, args, {kClock, "TMPDIR=" + s.path()});
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
        EXPECT_EQ(r.err, c.err) << c.name;
        const std::string text = s.read("memo.up");
        if (!c.converted.empty()) {
            EXPECT_EQ(text, c.converted) << c.name;
            continue;
        }
        // Drawn at random: every line one of the good lines, none of them the stray one.
        std::size_t good = 0;
        for (const std::string line : {"山田です\n", "東京の鈴木より\n"})
            for (std::size_t at = text.find(line); at != std::string::npos;
                 at = text.find(line, at + 1))
                good += line.size();
        EXPECT_EQ(good, text.size()) << c.name << ": " << text;
    }
}

TEST(CliLists, CheckTellsEncodingsAndShowsBadBytesAsBytes) {
    clitest::Scratch s;
    s.write("a.mfl", "\xEF\xBB\xBF" + kSjisYamada + "\r\n\x83\x7D\r\n");
    s.write("b.mfl", "x\r\n\x1A\r\ny\r\n");
    s.write("c.mfl", ";@weight 3\r\n;@weight many\r\nz\r\n");
    s.write("h.mhl", "H\r\n");
    for (const char* encoding : {"sjis", "utf-8"}) {
        const Outcome r = clitest::convert(s, {"--check", "--encoding", encoding});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out,
                  "a.mfl: 情報: 文字コード UTF-8（BOM 付き）\n"
                  "b.mfl: 情報: 文字コード Shift-JIS\n"
                  "c.mfl: 情報: 文字コード Shift-JIS\n"
                  "h.mhl: 情報: 文字コード Shift-JIS\n"
                  "a.mfl:1: 警告: UTF-8 でないバイトがあるため、この項目は挿入されません"
                  "（1 バイト目: 0x8E）\n"
                  "a.mfl:2: 警告: UTF-8 でないバイトがあるため、この項目は挿入されません"
                  "（1 バイト目: 0x83）\n"
                  "b.mfl:2: 警告: Shift-JIS のリストは Ctrl-Z (0x1A) で終わるため、その後の 1 "
                  "項目は読まれません\n"
                  "c.mfl:2: 警告: 重みの指定が正しくないため、無視されます（;@weight の後に 1 "
                  "から 1000 の数）\n"
                  "フッタリスト 3 ファイル 2 項目、ヘッダリスト 1 ファイル 1 項目: 警告 4 件\n")
            << encoding;
    }
}

// Over 10,000 draws each entry comes up in its weight's share; in rounds, each round of five
// draws gives the weight-3 entry three times and the others once.
TEST(CliLists, WeightedListsInBothEncodingsWithAndWithoutRounds) {
    const std::map<std::string, double> shares = {{"A", 0.6}, {"B", 0.2}, {"C", 0.2}};
    for (const char* encoding : {"sjis", "utf-8"}) {
        for (const bool rounds : {false, true}) {
            clitest::Scratch s;
            s.write("f.mfl", ";@weight 3\nA\n;@weight 1\nB\nC\n");
            std::string memo;
            for (int i = 0; i < 10000; ++i)
                memo += ")\n";
            s.write("memo.up", memo);
            std::vector<std::string> args = {"--encoding", encoding, "--seed", "2026"};
            if (rounds)
                args.push_back("--no-repeat");
            args.push_back("memo.up");
            const Outcome r = clitest::convert(
                s, args, {"XDG_STATE_HOME=" + s.file("state"), "TMPDIR=" + s.path()});
            const std::string name = std::string(encoding) + (rounds ? " rounds" : " free");
            ASSERT_EQ(r.status, 0) << name << ": " << r.err;
            std::vector<std::string> drawn;
            const std::string text = s.read("memo.up");
            for (std::size_t pos = 0; pos < text.size();) {
                const std::size_t end = text.find_first_of("\r\n", pos);
                drawn.push_back(text.substr(pos, end - pos));
                pos = text.find('\n', end) + 1;
            }
            ASSERT_EQ(drawn.size(), 10000u) << name;
            std::map<std::string, int> counts;
            for (const std::string& d : drawn)
                ++counts[d];
            for (const auto& [entry, share] : shares)
                EXPECT_NEAR(counts[entry] / 10000.0, share, 0.02) << name << " " << entry;
            EXPECT_EQ(counts.size(), 3u) << name;
            for (std::size_t round = 0; rounds && round < drawn.size() / 5; ++round) {
                std::map<std::string, int> in;
                for (std::size_t i = round * 5; i < round * 5 + 5; ++i)
                    ++in[drawn[i]];
                ASSERT_EQ(in, (std::map<std::string, int>{{"A", 3}, {"B", 1}, {"C", 1}}))
                    << name << " round " << round;
            }
        }
    }
}

} // namespace
