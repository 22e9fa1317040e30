#include "engine/Engine.h"
#include "engine/TextStream.h"

#include <gtest/gtest.h>
#include <optional>

namespace morvex {
namespace {

struct Rewrite {
    std::string output;
    InsertCounts counts;
};

// Runs the byte loop over `input` with tiny buffers, so that every boundary case is crossed.
Rewrite rewrite(ConvEngine& engine, std::string_view input, const ConvSettings& s = {},
                std::size_t buffer = 3) {
    engine.seed(1);
    Rewrite r;
    MemorySource source(input);
    StringSink sink(r.output);
    TextReader in(source, buffer);
    TextWriter out(sink, buffer);
    r.counts = engine.RewriteStream(in, out, s);
    out.flush();
    return r;
}

struct LoopCase {
    const char* name;
    std::string input;
    std::string expected;
    int footers;
    int headers;
};

TEST(RewriteStream, ByteLoop) {
    ConvEngine engine;
    engine.setPools({"F"}, {"<\\H>"});
    const LoopCase cases[] = {
        {"marker alone", ")\r\n", "F\r\n", 1, 0},
        {"text after a footer stays", ")abc\r\n", "Fabc\r\n", 1, 0},
        {"markers in a row", ")))\r\n", "FFF\r\n", 3, 0},
        {"footer then header", ")]text\r\nnext\r\n", "F<text>\r\nnext\r\n", 1, 1},
        {"header consumes its line", "]Subject\r\nbody\r\n", "<Subject>\r\nbody\r\n", 0, 1},
        {"header on a last line without LF", "a\r\n]end", "a\r\n<end>\r\n", 0, 1},
        {"header with empty rest", "]\r\n", "<>\r\n", 0, 1},
        {"marker not first is text", "a)b\r\n (x\r\n ]y\r\n", "a)b\r\n (x\r\n ]y\r\n", 0, 0},
        {"empty lines keep line start", "\r\n\r\n)\r\n", "\r\n\r\nF\r\n", 1, 0},
        {"lone LF becomes CR LF", "a\n)\n", "a\r\nF\r\n", 1, 0},
        {"lone CR dropped", "a\rb\r\n)\r", "ab\r\nF", 1, 0},
        {"Ctrl-Z ends the input", "a\r\n)\x1A)\r\n", "a\r\nF", 1, 0},
        {"Ctrl-Z mid-line",
         "ab\x1A"
         "cd",
         "ab", 0, 0},
        {"Ctrl-Z in a header's rest",
         "]ab\x1A"
         "cd\r\n",
         "<ab>\r\n", 0, 1},
        {"empty input", "", "", 0, 0},
        {"NUL bytes are text", std::string("a\0b\r\n", 5), std::string("a\0b\r\n", 5), 0, 0},
        {"lead byte before marker", "\x95)\r\n", "\x95)\r\n", 0, 0},
        {"no final line end", "abc", "abc", 0, 0},
    };
    for (const LoopCase& c : cases) {
        const Rewrite r = rewrite(engine, c.input);
        EXPECT_EQ(r.output, c.expected) << c.name;
        EXPECT_EQ(r.counts.footers, c.footers) << c.name;
        EXPECT_EQ(r.counts.headers, c.headers) << c.name;
    }
}

// A marker whose pool has nothing to draw stops the text there: the caller gives the file up.
TEST(RewriteStream, EmptyPoolStopsTheText) {
    struct Case {
        const char* name;
        Pool footers;
        Pool headers;
        std::string input;
        std::optional<EntryKind> stop;
        int wantFooters;
        int wantHeaders;
    };
    const Case cases[] = {
        {"no footer list", {}, {"H"}, "]a\r\n)abc\r\n", EntryKind::Footer, 0, 1},
        {"header list of comments",
         {"F"},
         {";only a comment", ""},
         ")\r\n]abc\r\n",
         EntryKind::Header,
         1,
         0},
        {"second marker on a line", {"F"}, {}, ")]x\r\n", EntryKind::Header, 1, 0},
        {"no marker meets it", {"F"}, {}, ")\r\n ]x\r\n", std::nullopt, 1, 0},
    };
    for (const Case& c : cases) {
        ConvEngine engine;
        engine.setPools(c.footers, c.headers);
        const Rewrite r = rewrite(engine, c.input);
        EXPECT_EQ(r.counts.emptyPool, c.stop) << c.name;
        EXPECT_EQ(r.counts.footers, c.wantFooters) << c.name;
        EXPECT_EQ(r.counts.headers, c.wantHeaders) << c.name;
    }
}

TEST(RewriteStream, MarkerSettings) {
    ConvEngine engine;
    engine.setPools({"F"}, {"H"});
    ConvSettings same;
    same.headerMarker = ')';
    EXPECT_EQ(rewrite(engine, ")x\r\n]y\r\n", same).output, "Fx\r\n]y\r\n")
        << "with equal markers only footers are inserted";

    ConvSettings nul;
    nul.footerMarker = 0;
    EXPECT_EQ(rewrite(engine, std::string("\0a\r\n)\r\n", 7), nul).output, "Fa\r\n)\r\n");

    ConvSettings kana; // half-width katakana markers match as single bytes
    kana.footerMarker = 0xB1;
    kana.headerMarker = 0xDF;
    EXPECT_EQ(rewrite(engine, "\xB1x\r\n\xDFy\r\n)\r\n", kana).output, "Fx\r\nH\r\n)\r\n");
}

TEST(RewriteStream, FooterEscapesAndAlignment) {
    ConvEngine engine;
    engine.setPools({"0123456789"}, engine.headerPool());
    ConvSettings s;
    s.alignFooters = true;
    s.alignColumn = 71;
    const Rewrite r = rewrite(engine, ")\r\n", s);
    EXPECT_EQ(r.output, std::string(60, ' ') + "0123456789\r\n");

    engine.setPools({"a\\Nb"}, engine.headerPool());
    EXPECT_EQ(rewrite(engine, ")\r\n").output, "a\r\nb\r\n") << "LF in an entry becomes CR LF";
}

TEST(RewriteStream, HugeHeaderLineIsKeptWhole) {
    ConvEngine engine;
    engine.setPools(engine.footerPool(), {"[\\H]"});
    const std::string rest(3 * 1024 * 1024, 's');
    const Rewrite r = rewrite(engine, "]" + rest + "\r\nz", {}, TextReader::kDefaultBuffer);
    EXPECT_EQ(r.output, "[" + rest + "]\r\nz");
}

TEST(TextStreams, LargeBuffersAgreeWithTinyOnes) {
    ConvEngine engine;
    engine.setPools({"foot\\N"}, {"head \\H"});
    std::string input;
    for (int i = 0; i < 5000; ++i)
        input += (i % 7 == 0    ? ")"
                  : i % 11 == 0 ? "]"
                                : "") +
                 std::to_string(i) + (i % 3 ? "\r\n" : "\n");
    const Rewrite small = rewrite(engine, input, {}, 1);
    const Rewrite large = rewrite(engine, input, {}, 1 << 20);
    EXPECT_EQ(small.output, large.output);
    EXPECT_EQ(small.counts.footers, large.counts.footers);
    EXPECT_GT(small.counts.footers, 700);
}

TEST(TextStreams, CtrlZAtEveryBufferBoundary) {
    ConvEngine engine;
    engine.setPools({"F"}, {"<\\H>"});
    const std::string input = "ab\r\n)c\r\n]d\r\n\x1A)zz\r\n";
    for (std::size_t buffer = 1; buffer <= input.size() + 1; ++buffer) {
        EXPECT_EQ(rewrite(engine, input, {}, buffer).output, "ab\r\nFc\r\n<d>\r\n") << buffer;
        EXPECT_EQ(rewrite(engine, input.substr(0, 10) + "\x1A", {}, buffer).output,
                  "ab\r\nFc\r\n<d>\r\n")
            << buffer;
    }
}

class FailingSink : public ByteSink {
public:
    bool write(const char*, std::size_t) override { return false; }
};

TEST(TextStreams, WriteErrorsAreSticky) {
    FailingSink sink;
    TextWriter out(sink, 4);
    out.write("abcdefgh");
    EXPECT_TRUE(out.failed());
    out.write("x");
    EXPECT_FALSE(out.flush());
}

class FailingSource : public ByteSource {
public:
    long read(char* data, std::size_t) override {
        if (m_calls++ == 0) {
            data[0] = 'a';
            return 1;
        }
        return -1;
    }

private:
    int m_calls = 0;
};

TEST(TextStreams, ReadErrorsEndTheInputAndAreKept) {
    FailingSource source;
    TextReader in(source, 8);
    EXPECT_EQ(in.get(), 'a');
    EXPECT_EQ(in.get(), -1);
    EXPECT_TRUE(in.failed());
}

} // namespace
} // namespace morvex
