// UTF-8 upload files: the byte loop in binary mode, pools built from lists of both encodings,
// and the pass choosing its pools by the encoding.
#include "engine/Engine.h"
#include "engine/TextStream.h"
#include "tests/engine/TestUtil.h"

#include <gtest/gtest.h>

namespace morvex {
namespace {

using namespace std::string_literals;

using test::readFile;
using test::TempDir;
using test::writeFile;

constexpr TextEncoding kSjis = TextEncoding::ShiftJis;
constexpr TextEncoding kUtf8 = TextEncoding::Utf8;

ConvSettings utf8Settings() {
    ConvSettings s;
    s.encoding = kUtf8;
    return s;
}

std::string rewrite(ConvEngine& engine, std::string_view input, const ConvSettings& s,
                    std::size_t buffer) {
    engine.seed(1);
    std::string output;
    MemorySource source(input);
    StringSink sink(output);
    TextReader in(source, buffer);
    TextWriter out(sink, buffer);
    engine.RewriteStream(in, out, s);
    out.flush();
    return output;
}

TEST(Utf8RewriteStream, EveryByteKeptAndLineEndsOfTheFilesKind) {
    ConvEngine engine;
    engine.setPools({"F\\Nf"}, {"<\\H>"});
    const struct {
        const char* name;
        std::string input;
        std::string expected;
    } cases[] = {
        {"CR LF file", ")\r\n]件名\r\nbody\r\n", "F\r\nf\r\n<件名>\r\nbody\r\n"},
        {"LF file", ")\n]件名\nbody\n", "F\nf\n<件名>\nbody\n"},
        {"the first line end decides", "a\r\n)\n]x\n", "a\r\nF\r\nf\n<x>\r\n"},
        {"an LF first line end decides too", "a\n)\r\n", "a\nF\nf\r\n"},
        {"footer before the first line end looks ahead", ")tail\r\n", "F\r\nftail\r\n"},
        {"no line end at all", ")", "F\nf"},
        {"header on a last line without line end", "a\r\n]end", "a\r\n<end>\r\n"},
        {"CR before LF belongs to the line end", "]x\r\n", "<x>\r\n"},
        {"lone CR is text", "]a\rb\r\n)\r", "<a\rb>\r\nF\r\nf\r"},
        {"CR at a line start is text", "\r)\n", "\r)\n"},
        {"Ctrl-Z is text", "a\x1A\n)\x1A\n", "a\x1A\nF\nf\x1A\n"},
        {"Ctrl-Z in a header's rest",
         "]a\x1A"
         "b\n",
         "<a\x1A"
         "b>\n"},
        {"invalid UTF-8 kept as bytes", "\xFF)\n)\xE3\x81\n", "\xFF)\nF\nf\xE3\x81\n"},
        {"byte-order mark stays and line 1 starts after it", "\xEF\xBB\xBF]件名\r\n",
         "\xEF\xBB\xBF<件名>\r\n"},
        {"markers after text are text", " )a\n件)\n", " )a\n件)\n"},
        {"empty input", "", ""},
    };
    for (const auto& c : cases)
        for (const std::size_t buffer : {1u, 2u, 3u, 5u, 1u << 20})
            EXPECT_EQ(rewrite(engine, c.input, utf8Settings(), buffer), c.expected)
                << c.name << ", buffer " << buffer;
}

TEST(Utf8RewriteStream, HeaderTakesAWholeCharacterAndFootersAlignByColumns) {
    ConvEngine engine;
    engine.setPools({"署名\\S02😀"}, {"[\\I]"});
    ConvSettings s = utf8Settings();
    s.alignFooters = true;
    s.alignColumn = 12;
    // 署名, two spaces and 😀 take 8 columns: three spaces put the line end in column 12.
    EXPECT_EQ(rewrite(engine, "]😀件名\r\n)\r\n", s, 3), "[😀]\r\n   署名  😀\r\n");
}

TEST(Utf8RewriteStream, ShiftJisModeKeepsTextMode) {
    // The same input in the designed mode: CR dropped, Ctrl-Z ends, CR LF written.
    ConvEngine engine;
    engine.setPools({"F"}, engine.headerPool());
    EXPECT_EQ(rewrite(engine, "a\rb\n)\x1A)\n", {}, 3), "ab\r\nF");
}

TEST(TextReaderBinary, FirstLineEndAndLineEndsAcrossBuffers) {
    const struct {
        const char* name;
        std::string input;
        bool crlf;
    } cases[] = {
        {"CR LF", "abcdef\r\nx\n", true},         {"LF", "abcdef\nx\r\n", false},
        {"lone CR then LF", "a\rbcdef\n", false}, {"none", "abcdef", false},
        {"LF first byte", "\n\r\n", false},
    };
    for (const auto& c : cases) {
        for (std::size_t buffer = 1; buffer <= 9; ++buffer) {
            MemorySource source(c.input);
            TextReader in(source, buffer);
            in.setBinary();
            EXPECT_EQ(in.firstLineEndIsCrLf(), c.crlf) << c.name << ", buffer " << buffer;
            // Reading ahead lost nothing.
            std::string all, line;
            while (in.readLine(line))
                all += line + "|";
            EXPECT_EQ(all + line,
                      [&] {
                          std::string expected;
                          for (std::size_t i = 0; i < c.input.size(); ++i) {
                              if (c.input[i] == '\n') {
                                  if (!expected.empty() && expected.back() == '\r')
                                      expected.pop_back();
                                  expected += '|';
                              } else {
                                  expected += c.input[i];
                              }
                          }
                          return expected;
                      }())
                << c.name << ", buffer " << buffer;
        }
    }
}

TEST(TextReaderBinary, FirstLineEndSeenWhileReading) {
    // Once a line end has been read, the answer is that line end's, whatever follows.
    for (std::size_t buffer = 1; buffer <= 6; ++buffer) {
        MemorySource source("ab\r\ncd\n");
        TextReader in(source, buffer);
        in.setBinary();
        std::string line;
        ASSERT_TRUE(in.readLine(line));
        EXPECT_EQ(line, "ab");
        ASSERT_TRUE(in.readLine(line));
        EXPECT_TRUE(in.firstLineEndIsCrLf()) << buffer;
    }
}

// A footer list in Shift-JIS and one in UTF-8 beside it, merged into a pool of either encoding.
struct MixedLists {
    TempDir lists;
    TempDir temp;
    MixedLists() {
        // "; 署名" and 表 in Shift-JIS, an invalid byte in line 3.
        writeFile(lists.file("a.mfl"), "; \x8F\x90\x96\xBC\r\n\x95\x5C\r\nbad \x80\r\n");
        // With a byte-order mark; line 3 has no Shift-JIS form, line 4 is a comment that has
        // none either, line 5 has a wave dash.
        writeFile(lists.file("b.mfl"), "\xEF\xBB\xBF署名\r\nよろしく\r\nsmile 😀\r\n; 😀\r\n〜\r\n");
        // Without one.
        writeFile(lists.file("c.mfl"), "ｱｲｳ\n");
    }
    Pool merge(TextEncoding target, std::vector<std::string>& messages) {
        Pool pool;
        MergeState state;
        MergeLists(
            lists.file("*.mfl"), temp.path() + "/", "_Morvex_.tmp", pool, kMsgFooterListOpen,
            [&](const std::string& text, const std::string& caption) {
                EXPECT_EQ(caption, kWarningCaption) << "the pass goes on";
                messages.push_back(text);
            },
            state, nullptr, target);
        return pool;
    }
};

TEST(MixedListPools, EachListInItsOwnEncodingConvertedToTheFiles) {
    MixedLists m;
    const struct {
        TextEncoding target;
        Pool pool;
        std::string message;
    } cases[] = {
        {kSjis,
         {"; \x8F\x90\x96\xBC", "\x95\x5C", "bad \x80", "\x8F\x90\x96\xBC",
          "\x82\xE6\x82\xEB\x82\xB5\x82\xAD", "", "; 😀", "\x81\x60", "\xB1\xB2\xB3"},
         "Shift-JIS に変換できない文字を含むため、次の項目を挿入しません: " +
             m.lists.file("b.mfl") + ":3"},
        {kUtf8,
         {"; 署名", "表", "", "署名", "よろしく", "smile 😀", "; 😀", "〜", "ｱｲｳ"},
         "UTF-8 に変換できない文字を含むため、次の項目を挿入しません: " + m.lists.file("a.mfl") +
             ":3"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> messages;
        EXPECT_EQ(m.merge(c.target, messages), c.pool) << encodingName(c.target);
        EXPECT_EQ(messages, std::vector<std::string>{c.message}) << encodingName(c.target);
        // The pool built in memory (filter, dry run, check) is the same, with the same report.
        Pool loaded;
        PoolSources sources;
        std::vector<std::string> loadMessages;
        loadLists(
            m.lists.file("*.mfl"), loaded, sources, kMsgFooterListOpen,
            [&](const std::string& text, const std::string&) { loadMessages.push_back(text); },
            c.target);
        EXPECT_EQ(loaded, c.pool) << encodingName(c.target);
        EXPECT_EQ(loadMessages, messages) << encodingName(c.target);
        // Origins still count the list files' own lines.
        const PoolSources::Origin origin = sources.find(7);
        ASSERT_NE(origin.file, nullptr);
        EXPECT_EQ(*origin.file, m.lists.file("b.mfl"));
        EXPECT_EQ(origin.line, 5u);
    }
}

TEST(MixedListPools, ShiftJisListsIntoShiftJisFilesStayBytes) {
    TempDir lists, temp;
    // Bytes that are no Shift-JIS and no UTF-8 at all; 0xED 0x40 comes back from Unicode as
    // 0xFA 0x5C, so nothing may go through a conversion.
    const std::string text = "\xED\x40\r\n\x80\xFF\xFD\r\n\x95\x5C\\N\r\n";
    writeFile(lists.file("a.mfl"), text);
    Pool pool;
    MergeState state;
    std::vector<std::string> messages;
    MergeLists(
        lists.file("*.mfl"), temp.path() + "/", "_Morvex_.tmp", pool, kMsgFooterListOpen,
        [&](const std::string& t, const std::string&) { messages.push_back(t); }, state);
    EXPECT_EQ(pool, (Pool{"\xED\x40", "\x80\xFF\xFD", "\x95\x5C\\N"}));
    EXPECT_TRUE(messages.empty());
}

TEST(MixedListPools, AnEntryJoinedAcrossFilesIsLeftOutWhole) {
    TempDir lists, temp;
    writeFile(lists.file("a.mfl"), "first\r\nsmile 😀"); // no line end: joined to b's line 1
    writeFile(lists.file("b.mfl"), "\x95\x5C\r\nnext\r\n");
    Pool pool;
    MergeState state;
    MergeLists(lists.file("*.mfl"), temp.path() + "/", "_Morvex_.tmp", pool, kMsgFooterListOpen, {},
               state, nullptr, kSjis);
    EXPECT_EQ(pool, (Pool{"first", "", "next"}));
}

TEST(Utf8Pass, ConvertsFilesWithPoolsInUtf8AndRebuildsPoolsForAnotherEncoding) {
    TempDir dir;
    writeFile(dir.file("sig.mfl"), "\x8F\x90\x96\xBC\r\n"); // 署名 in Shift-JIS
    writeFile(dir.file("memo.up"), ")\n本文\n");
    ConvEngine engine;
    engine.setClock([] { return 1u; });
    ConvSettings s = utf8Settings();
    s.footerListPattern = dir.file("*.mfl");
    s.headerListPattern = dir.file("*.mhl");
    s.sources = {dir.file("memo.up")};
    engine.ConvertAll(s);
    EXPECT_EQ(readFile(dir.file("memo.up")), "署名\n本文\n");
    EXPECT_EQ(readFile(dir.file("memo.bak")), ")\n本文\n");

    // A watch-style conversion in the other encoding first rebuilds the pools for it.
    writeFile(dir.file("sjis.up"), ")\r\n");
    s.encoding = kSjis;
    s.skipConverted = false;
    EXPECT_TRUE(engine.ConvertOne(dir.file("sjis.up"), s));
    EXPECT_EQ(readFile(dir.file("sjis.up")), "\x8F\x90\x96\xBC\r\n");
}

TEST(Utf8Pass, RefusesAMarkerThatIsNoAsciiByte) {
    TempDir dir;
    writeFile(dir.file("memo.up"), "\xEF\xBD\xB1x\n");
    std::vector<std::string> messages;
    ConvEngine engine(
        [&](const std::string& text, const std::string&) { messages.push_back(text); });
    ConvSettings s = utf8Settings();
    s.footerMarkerField = "ｱ";
    s.footerMarker = 0xB1;
    s.sources = {dir.file("memo.up")};
    engine.ConvertAll(s);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("ASCII"), std::string::npos) << messages[0];
    EXPECT_EQ(readFile(dir.file("memo.up")), "\xEF\xBD\xB1x\n");
}

TEST(Utf8Pass, PreviewShowsWhatTheConversionWrites) {
    TempDir dir;
    writeFile(dir.file("h.mhl"), "Re: \\H\r\n");
    writeFile(dir.file("f.mfl"), "\xEF\xBB\xBF--\\N署名\r\n");
    const std::string upload = "\xEF\xBB\xBF]件名\r\n本文\r)\r\n)\r\n";
    writeFile(dir.file("memo.up"), upload);
    ConvSettings s = utf8Settings();
    s.footerListPattern = dir.file("*.mfl");
    s.headerListPattern = dir.file("*.mhl");
    s.sources = {dir.file("memo.up")};
    test::ShownLog log;
    ConvEngine preview;
    preview.setMode(PassMode::Preview, &log);
    preview.setClock([] { return 7u; });
    preview.ConvertAll(s);
    std::vector<std::pair<std::size_t, std::string>> seen;
    for (const test::Shown& i : log.shown)
        seen.emplace_back(i.line, i.text);
    EXPECT_EQ(seen,
              (std::vector<std::pair<std::size_t, std::string>>{{1, "Re: 件名"}, {3, "--\n署名"}}));
    ConvEngine engine;
    engine.setClock([] { return 7u; });
    engine.ConvertAll(s);
    // The lone CR keeps "本文\r)" one line, so its marker is text.
    EXPECT_EQ(readFile(dir.file("memo.up")), "\xEF\xBB\xBFRe: 件名\r\n本文\r)\r\n--\r\n署名\r\n");
}

} // namespace
} // namespace morvex

namespace morvex {
namespace {

// A footer on a first line longer than the reader's buffer: the line end it inserts is found by
// looking ahead in the file, at any distance and with its CR in another block than its LF.
TEST(Utf8Pass, AFooterOnAVeryLongFirstLineTakesTheLineEndFoundAhead) {
    struct Case {
        std::size_t length;
        const char* end;
    };
    const std::size_t block = 64 * 1024, buffer = TextReader::kDefaultBuffer;
    for (const Case c :
         {Case{buffer * 3, "\r\n"}, Case{buffer * 3, "\n"}, Case{buffer + block - 1, "\r\n"},
          Case{buffer + block * 2, "\n"}, Case{buffer * 2, ""}}) {
        TempDir dir;
        writeFile(dir.file("f.mfl"), "a\\Nb\r\n");
        const std::string rest(c.length, 'x');
        writeFile(dir.file("m.up"), ")" + rest + c.end + ")\n");
        ConvSettings s = utf8Settings();
        s.footerListPattern = dir.file("*.mfl");
        s.headerListPattern = dir.file("*.mhl");
        s.sources = {dir.file("m.up")};
        ConvEngine engine;
        engine.ConvertAll(s);
        // Without a line end of its own, the first line runs on to the second marker's.
        const std::string lineEnd = *c.end ? c.end : "\n";
        const std::string expected =
            *c.end ? "a" + lineEnd + "b" + rest + c.end + "a" + lineEnd + "b\n"
                   : "a" + lineEnd + "b" + rest + ")\n";
        const std::string written = readFile(dir.file("m.up"));
        EXPECT_TRUE(written == expected)
            << c.length << (*c.end ? c.end : "(none)") << ": " << written.substr(0, 8) << "..."
            << written.substr(written.size() - std::min<std::size_t>(written.size(), 8));
    }
}

} // namespace
} // namespace morvex
