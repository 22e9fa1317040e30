// The list check: each kind of finding on a list made for it, and the text helpers it uses.
#include "engine/Check.h"

#include "engine/Draw.h"
#include "engine/Encoding.h"
#include "tests/engine/TestUtil.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace morvex {
namespace {

using namespace std::string_literals;

using test::TempDir;
using test::writeFile;

struct Lists {
    TempDir dir;
    CheckResult check(int alignColumn = -1, TextEncoding encoding = TextEncoding::ShiftJis) {
        return checkLists(dir.file("*.mfl"), dir.file("*.mhl"), alignColumn, encoding);
    }
    // "name:line: message" (or "name: message") for each finding.
    std::vector<std::string> findings(int alignColumn = -1,
                                      TextEncoding encoding = TextEncoding::ShiftJis) {
        std::vector<std::string> out;
        for (const CheckFinding& f : check(alignColumn, encoding).findings) {
            std::string text = f.file.substr(dir.path().size() + 1);
            if (f.line)
                text.append(":").append(std::to_string(f.line));
            out.push_back(text.append(": ").append(f.message));
        }
        return out;
    }
};

TEST(CheckLists, CleanListsFindNothing) {
    Lists l;
    // "; 署名" and "表" in Shift-JIS; 表 ends in the byte of a backslash.
    writeFile(l.dir.file("sig.mfl"),
              "; \x8F\x90\x96\xBC\r\n\r\n-- \\NYamada \\R0050\\S02\x95\x5C\\\\\r\n");
    writeFile(l.dir.file("hdr.mhl"), "Re: \\H\r\n[\\I] \\r0007\r\n");
    const CheckResult r = l.check(71);
    EXPECT_TRUE(r.findings.empty()) << r.findings.front().message;
    EXPECT_EQ(r.footers.files, 1u);
    EXPECT_EQ(r.footers.entries, 1u);
    EXPECT_EQ(r.headers.entries, 2u);
}

TEST(CheckLists, EscapeFindingsFollowTheExpansionRules) {
    Lists l;
    writeFile(l.dir.file("a.mfl"), "ok \\H\r\n"               // 1: \H in a footer
                                   ";comment \\H \\R0000\r\n" // 2: comments are not entries
                                   "\x95\\H\r\n"              // 3: 表 then H: no escape
                                   "\\\\H \\S\\I\r\n"         // 4: \\ and \S's digits hide both
                                   "\\ix\r\n"                 // 5: \I in a footer
                                   "n \\R0000\r\n"            // 6
                                   "cut \\S1\r\n"             // 7
                                   "cut \\R12\r\n"            // 8
                                   "cut \\\r\n");             // 9
    writeFile(l.dir.file("h.mhl"), "\\H \\I\r\n\\R0000x\r\n");
    EXPECT_EQ(l.findings(), (std::vector<std::string>{
                                "a.mfl:1: \\H と \\I はフッタでは何も挿入しません",
                                "a.mfl:5: \\H と \\I はフッタでは何も挿入しません",
                                "a.mfl:6: \\R0000 は範囲がなく、数を挿入しません",
                                "a.mfl:7: エスケープ \"\\S1\" が項目の終わりで途切れています",
                                "a.mfl:8: エスケープ \"\\R12\" が項目の終わりで途切れています",
                                "a.mfl:9: エスケープ \"\\\" が項目の終わりで途切れています",
                                "h.mhl:2: \\R0000 は範囲がなく、数を挿入しません",
                            }));
}

TEST(CheckLists, EncodingFindingsForEitherUploadEncoding) {
    Lists l;
    writeFile(l.dir.file("a.mfl"), "\x88\x9f ok\r\nbad \x80\r\n\xB1\xDF kana\r\nlead\x88\r\n"
                                   "pair \x88\x20\r\n");
    writeFile(l.dir.file("h.mhl"), "h\r\n");
    // A UTF-8 list is read as UTF-8: only what Shift-JIS cannot take is a finding, and a
    // comment never is.
    writeFile(l.dir.file("b.mfl"), "\xEF\xBB\xBF"
                                   "署名\r\n; コメント 😀\r\nplain\r\n¥100\r\nよろしく 😀\r\n");
    EXPECT_EQ(l.findings(),
              (std::vector<std::string>{
                  "a.mfl:2: Shift-JIS でないバイトがあります（5 バイト目: 0x80）",
                  "a.mfl:4: Shift-JIS でないバイトがあります（5 バイト目: 0x88）",
                  "a.mfl:5: Shift-JIS でないバイトがあります（6 バイト目: 0x88 0x20）",
                  "b.mfl:4: Shift-JIS に変換できない文字 U+00A5 \"¥\" を含むため、この項目は"
                  "挿入されません",
                  "b.mfl:5: Shift-JIS に変換できない文字 U+1F600 \"😀\" を含むため、この項目は"
                  "挿入されません",
              }));
    EXPECT_EQ(l.check().footers.entries, 7u) << "the two left out are not entries";
    // Into UTF-8 files the UTF-8 list is whole, and the Shift-JIS lines that hold no character
    // are left out.
    EXPECT_EQ(l.findings(-1, TextEncoding::Utf8),
              (std::vector<std::string>{
                  "a.mfl:2: UTF-8 に変換できないバイト 0x80 を含むため、この項目は挿入されません",
                  "a.mfl:4: UTF-8 に変換できないバイト 0x88 を含むため、この項目は挿入されません",
                  "a.mfl:5: UTF-8 に変換できないバイト 0x88 を含むため、この項目は挿入されません",
              }));
}

TEST(CheckLists, Utf8EscapesCountCharacters) {
    Lists l;
    writeFile(l.dir.file("a.mfl"), "ok \\Sあ1\r\ncut \\S署\r\n\\R署署署署\r\n");
    writeFile(l.dir.file("h.mhl"), "h\r\n");
    EXPECT_EQ(
        l.findings(-1, TextEncoding::Utf8),
        std::vector<std::string>{"a.mfl:2: エスケープ \"\\S署\" が項目の終わりで途切れています"});
}

TEST(CheckLists, Utf8AlignmentCountsColumns) {
    Lists l;
    writeFile(l.dir.file("a.mfl"), "署名署名署名\r\n"    // 1: 12 columns, too long for 12
                                   "署名署名署\r\n"      // 2: 10 columns, fits
                                   "e\xCC\x81\t12\r\n"); // 3: 11 columns, fits
    writeFile(l.dir.file("h.mhl"), "h\r\n");
    EXPECT_EQ(l.findings(12, TextEncoding::Utf8),
              std::vector<std::string>{"a.mfl:1: 桁 12 に揃えられないため、そのまま挿入されます"});
}

TEST(CheckLists, MissingLineEndsUnreachableLinesAndEmptyPools) {
    Lists l;
    writeFile(l.dir.file("a.mfl"), "one\r\ntwo");
    writeFile(l.dir.file("b.mfl"), "");
    std::string many;
    for (int i = 0; i < 32768; ++i)
        many += i == 32765 ? ";\r\n" : "e\r\n";
    writeFile(l.dir.file("c.mfl"), many + "tail");
    writeFile(l.dir.file("h.mhl"), "; only a comment\r\n\r\n");
    const std::string base = l.dir.path() + "/";
    EXPECT_EQ(l.findings(),
              (std::vector<std::string>{
                  "a.mfl:2: 最後の行に改行がないため、次のファイル " + base +
                      "c.mfl の 1 行目とつながって 1 つの項目になります",
                  // c.mfl's first line completes a.mfl's last, so pool line 32768 (from 0) is
                  // c.mfl line 32768.
                  "c.mfl:32768: プールの 32768 行目より後にあるため、選ばれることがありません（こ"
                  "のファイルではこの行から 2 項目）",
                  "c.mfl:32769: 最後の行に改行がありません（後にリストが続くと、その 1 行目とつ"
                  "ながって 1 つの項目になります）",
                  "*.mhl: ヘッダリストに挿入できる項目がありません",
              }));
    writeFile(l.dir.file("h.mhl"), "h\r\n");
    ::unlink(l.dir.file("a.mfl").c_str());
    ::unlink(l.dir.file("b.mfl").c_str());
    ::unlink(l.dir.file("c.mfl").c_str());
    EXPECT_EQ(l.findings(),
              (std::vector<std::string>{
                  "*.mfl: フッタリストに当てはまるファイルがなく、挿入できる項目がありません"}));
}

TEST(CheckLists, AListThatCannotBeReadIsAFinding) {
    Lists l;
    // Found as a regular file, but reading address 0 of a process fails, for root too.
    ASSERT_EQ(::symlink("/proc/self/mem", l.dir.file("a.mfl").c_str()), 0);
    writeFile(l.dir.file("b.mfl"), "b\r\n");
    writeFile(l.dir.file("h.mhl"), "h\r\n");
    EXPECT_EQ(l.findings(), std::vector<std::string>{"a.mfl: フッタリストが開けませんでした"});
    EXPECT_EQ(l.check().footers.files, 2u);
    EXPECT_EQ(l.check().footers.entries, 1u);
}

TEST(CheckLists, FootersThatCannotBeAligned) {
    Lists l;
    writeFile(l.dir.file("a.mfl"), "0123456789\r\n"          // 1: fits 12
                                   "0123456789ABC\r\n"       // 2: too long
                                   "    0123456789\r\n"      // 3: leading spaces give way
                                   "\t0123\r\n"              // 4: a TAB counts eight
                                   "123456789\\R0100\r\n"    // 5: fits with a short number
                                   "0123456789AB\\R0009\r\n" // 6: never
                                   "a\tb\r\n");              // 7: 3 bytes, 10 columns
    writeFile(l.dir.file("h.mhl"), "a header far longer than twelve bytes\r\n");
    EXPECT_EQ(l.findings(12),
              (std::vector<std::string>{
                  "a.mfl:2: 桁 12 に揃えられないため、そのまま挿入されます",
                  "a.mfl:5: \\R の数によっては桁 12 に揃えられず、そのまま挿入されます",
                  "a.mfl:6: 桁 12 に揃えられないため、そのまま挿入されます",
              }));
    const std::vector<std::string> at4 = l.findings(4);
    EXPECT_EQ(at4.size(), 7u) << "none fits before column 4";
    EXPECT_EQ(at4.back(), "a.mfl:7: 桁 4 に揃えられないため、そのまま挿入されます")
        << "returned as it is, though its 3 bytes would end before column 4";
    EXPECT_TRUE(l.findings().empty()) << "no alignment asked";
}

TEST(Encoding, DecodingShowsWhatCannotBeDecoded) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain ~\\", "plain ~\\"}, {"\x88\x9f\x95\\", "亜表"}, {"\xB1\xDF", "ｱﾟ"},
        {"\x81\x40|\t|", "　|\t|"}, {"a\x80z", "a\\x80z"},      {"\xFD\xFF", "\\xFD\\xFF"},
        {"end\x88", "end\\x88"},    {"\x88\x20x", "\\x88 x"},   {"\x1B[2J\x7F", "\\x1B[2J\\x7F"},
        {"\x85\x40", "\\x85\\x40"}, // a valid pair with no character
    };
    for (const auto& [sjis, shown] : cases)
        EXPECT_EQ(decodeForTerminal(sjis), shown) << shown;
}

TEST(Encoding, ShiftJisAndUtf8Validity) {
    EXPECT_EQ(firstInvalidSjis("abc\x88\x9f\xB1"), std::string::npos);
    EXPECT_EQ(firstInvalidSjis("ab\xA0"), 2u);
    EXPECT_EQ(firstInvalidSjis("\x88\x7F"), 0u);
    EXPECT_EQ(firstInvalidSjis("\xFC\xFC\xFC"), 2u);
    for (const char* good : {"", "ascii", "署名", "\xF0\x9F\x98\x80", "\xEF\xBB\xBF"})
        EXPECT_TRUE(isUtf8(good)) << good;
    for (const char* bad : {"\x88\x9f", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                            "\xF4\x90\x80\x80", "\xE3\x81", "\x80"})
        EXPECT_FALSE(isUtf8(bad)) << bad;
}

} // namespace
} // namespace morvex
