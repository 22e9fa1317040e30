// The preview: the conversion pass itself, every insertion reported, nothing written.
#include "engine/Engine.h"
#include "engine/TextStream.h"
#include "tests/engine/TestUtil.h"

#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace morvex {
namespace {

using namespace std::string_literals;

using test::readFile;
using test::TempDir;
using test::writeFile;

struct Seen {
    std::string path;
    std::size_t line;
    EntryKind kind;
    std::string listFile;
    std::size_t listLine;
    std::string text;
};

// A preview pass collecting what it shows.
struct Preview : InsertionObserver {
    std::vector<Seen> seen;
    std::vector<FileResult> results;
    std::vector<std::string> messages;
    ConvEngine pass{
        [this](const std::string& text, const std::string&) { messages.push_back(text); },
        [this](const FileResult& r) {
            results.push_back(r);
        }};

    Preview() { pass.setMode(PassMode::Preview, this); }
    void begin(const Insertion& i) override {
        seen.push_back({std::string(i.path), i.line, i.kind, i.origin.file ? *i.origin.file : "",
                        i.origin.line, ""});
    }
    void text(std::string_view piece) override { seen.back().text += piece; }
    void end() override {}
};

// The text a conversion writes, put together from the input and the reported insertions: each
// marker at a line start became one insertion; a header took the rest of its line.
std::string assemble(std::string_view input, const std::vector<Seen>& seen) {
    std::map<std::size_t, std::vector<const Seen*>> byLine;
    for (const Seen& s : seen)
        byLine[s.line].push_back(&s);
    MemorySource source(input);
    TextReader in(source, 7);
    std::string lf, line;
    for (std::size_t number = 1;; ++number) {
        const bool ended = in.readLine(line);
        if (!ended && line.empty())
            break;
        const auto& here = byLine[number];
        bool header = false;
        for (const Seen* s : here) {
            lf += s->text;
            if (s->kind == EntryKind::Header) {
                lf += '\n';
                header = true;
            }
        }
        if (!header)
            lf += line.substr(here.size()) + (ended ? "\n" : "");
        if (!ended)
            break;
    }
    std::string crlf;
    StringSink sink(crlf);
    TextWriter out(sink);
    out.write(lf);
    out.flush();
    return crlf;
}

// Lists of exactly these lines: every pool line stays one list line.
void writeList(const std::string& path, const Pool& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    writeFile(path, text);
}

TEST(Preview, ReportsExactlyWhatAConversionWithTheSameSeedInserts) {
    const Pool footers{"; c",       "F\\R0003", "", "-- \\NYamada \\R0012\\S03",
                       "\\S05x\\t", "\x95\\\\R"};
    const Pool headers{"Re: \\H \\R0099", ";", "[\\I]\\N\\R0002", "\\h\\h"};
    const std::string alphabet = ")])]ab \n\n\r\x95\\";
    std::mt19937 random(7);
    TempDir dir;
    writeList(dir.file("f.mfl"), footers);
    writeList(dir.file("h.mhl"), headers);
    for (int round = 0; round < 150; ++round) {
        std::string input;
        const std::size_t length = random() % 60;
        for (std::size_t i = 0; i < length; ++i)
            input += alphabet[random() % alphabet.size()];
        if (round % 50 == 0)
            input += "\x1A)))\n";
        ConvSettings settings;
        settings.footerListPattern = dir.file("*.mfl");
        settings.headerListPattern = dir.file("*.mhl");
        settings.sources = {dir.file("memo.up")};
        settings.alignFooters = round % 3 == 0;
        settings.alignColumn = static_cast<int>(random() % 30);
        if (round % 7 == 0)
            settings.headerMarker = ')'; // the footer test comes first
        const std::uint32_t seed = static_cast<std::uint32_t>(random());
        writeFile(dir.file("memo.up"), input);

        Preview p;
        p.pass.setClock([seed] { return seed; });
        p.pass.ConvertAll(settings);
        ConvEngine engine;
        engine.setClock([seed] { return seed; });
        engine.ConvertAll(settings);
        ASSERT_EQ(assemble(input, p.seen), readFile(dir.file("memo.up"))) << "round " << round;
        const int shown = p.results.empty() ? 0 : p.results[0].footers + p.results[0].headers;
        EXPECT_EQ(static_cast<std::size_t>(shown), p.seen.size()) << "round " << round;
    }
}

TEST(Preview, EmptyPoolShowsNothingOfTheFileAndSaysWhatThePassSays) {
    TempDir dir;
    writeFile(dir.file("h.mhl"), "H\r\n");
    writeFile(dir.file("m.up"), "]rest\n)]x\n");
    ConvSettings settings;
    settings.footerListPattern = dir.file("*.mfl");
    settings.headerListPattern = dir.file("*.mhl");
    settings.sources = {dir.file("m.up")};
    Preview p;
    p.pass.ConvertAll(settings);
    EXPECT_TRUE(p.seen.empty());
    EXPECT_TRUE(p.results.empty());
    EXPECT_EQ(p.messages, std::vector<std::string>{emptyPoolMessage(
                              true, settings.footerListPattern, dir.file("m.up"))});
}

TEST(Preview, AnLineEndAsAMarkerIsTestedLikeAnyByte) {
    TempDir dir;
    writeFile(dir.file("f.mfl"), "F\r\n");
    writeFile(dir.file("h.mhl"), "H\\H\r\n");
    writeFile(dir.file("m.up"), "a\n\n\nb\n\tRest\n\t\nnext\n");
    ConvSettings settings;
    settings.footerListPattern = dir.file("*.mfl");
    settings.headerListPattern = dir.file("*.mhl");
    settings.sources = {dir.file("m.up")};
    settings.footerMarker = '\n';
    settings.headerMarker = '\t';
    Preview p;
    p.pass.ConvertAll(settings);
    ConvEngine engine;
    engine.ConvertAll(settings);
    EXPECT_EQ(readFile(dir.file("m.up")), "a\r\nFFb\r\nHRest\r\nH\r\nnext\r\n");
    std::vector<std::pair<std::size_t, std::string>> seen;
    for (const Seen& s : p.seen)
        seen.emplace_back(s.line, s.text);
    EXPECT_EQ(seen, (std::vector<std::pair<std::size_t, std::string>>{
                        {2, "F"}, {3, "F"}, {5, "HRest"}, {6, "H"}}));
}

struct Folder {
    TempDir dir;
    ConvSettings settings;
    Folder() {
        settings.footerListPattern = dir.file("*.mfl");
        settings.headerListPattern = dir.file("*.mhl");
        writeFile(dir.file("a.mfl"), "A1\r\n;c\r\n\r\nA4");
        writeFile(dir.file("b.mfl"), "B\r\nB2\r\n");
        writeFile(dir.file("h.mhl"), "; headers\r\nRe: \\H\r\n");
    }
    std::string name(const std::string& path) const { return path.substr(dir.path().size() + 1); }
};

TEST(Preview, EachInsertionNamesTheListLineItCameFrom) {
    Folder f;
    std::string upload = "]Subject\r\nbody\r\n";
    for (int i = 0; i < 60; ++i)
        upload += ")\r\n";
    upload += "))]Two\r\n";
    writeFile(f.dir.file("memo.up"), upload);
    f.settings.sources = {f.dir.file("memo.up")};
    Preview p;
    p.pass.setClock([] { return 99u; });
    p.pass.ConvertAll(f.settings);
    const std::map<std::string, std::pair<std::string, std::size_t>> expected = {
        {"A1", {"a.mfl", 1}}, {"A4B", {"a.mfl", 4}}, {"B2", {"b.mfl", 2}}};
    std::set<std::string> drawn;
    for (const Seen& s : p.seen) {
        EXPECT_EQ(f.name(s.path), "memo.up");
        if (s.kind == EntryKind::Header) {
            EXPECT_EQ(f.name(s.listFile), "h.mhl");
            EXPECT_EQ(s.listLine, 2u);
            continue;
        }
        ASSERT_TRUE(expected.count(s.text)) << s.text;
        EXPECT_EQ(f.name(s.listFile), expected.at(s.text).first);
        EXPECT_EQ(s.listLine, expected.at(s.text).second);
        drawn.insert(s.text);
    }
    EXPECT_EQ(drawn.size(), 3u) << "every entry drawn at least once in 62 footers";
    ASSERT_EQ(p.seen.size(), 64u);
    EXPECT_EQ(p.seen.front().line, 1u);
    EXPECT_EQ(p.seen.front().text, "Re: Subject");
    EXPECT_EQ(p.seen[1].line, 3u);
    for (std::size_t i = 61; i < 64; ++i)
        EXPECT_EQ(p.seen[i].line, 63u) << "markers on one line share it";
    EXPECT_EQ(p.seen.back().text, "Re: Two");
    ASSERT_EQ(p.results.size(), 1u);
    EXPECT_EQ(p.results[0].footers, 62);
    EXPECT_EQ(p.results[0].headers, 2);
}

struct Snapshot {
    std::map<std::string, std::pair<std::string, std::int64_t>> files; // content, mtime in ns
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const TempDir& dir) {
    Snapshot s;
    std::istringstream names(test::listDir(dir.path()));
    for (std::string name; std::getline(names, name, ' ');) {
        if (name.empty())
            continue;
        struct stat st {};
        ::stat(dir.file(name).c_str(), &st);
        s.files[name] = {readFile(dir.file(name)),
                         st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
    }
    return s;
}

TEST(Preview, RunWritesNothingAndMatchesTheRealPassFileForFile) {
    Folder f;
    writeFile(f.dir.file("one.up"), "]Hi\r\n)\r\n");
    writeFile(f.dir.file("one.bak"), "older backup");
    writeFile(f.dir.file("two.up"), "))x\r\n]");
    writeFile(f.dir.file("none.up"), "no markers\r\n");
    writeFile(f.dir.file("same.bak"), ")\r\n");
    f.settings.sources = {f.dir.file("*.up"), f.dir.file("one.up"), f.dir.file("same.bak")};
    f.settings.backupExt = ".bak";
    const Snapshot before = snapshot(f.dir);
    const std::string one = readFile(f.dir.file("one.up")), two = readFile(f.dir.file("two.up"));

    Preview p;
    p.pass.setClock([] { return 5u; });
    p.pass.ConvertAll(f.settings);
    EXPECT_EQ(snapshot(f.dir), before) << "no file written, moved or touched";
    const std::vector<std::string> itself{std::string(kMsgBackupIsFile) + ": " +
                                          f.dir.file("same.bak")};
    EXPECT_EQ(p.messages, itself);

    std::vector<FileResult> real;
    std::vector<std::string> said;
    ConvEngine engine([&](const std::string& text, const std::string&) { said.push_back(text); },
                      [&](const FileResult& r) { real.push_back(r); });
    engine.setClock([] { return 5u; });
    engine.ConvertAll(f.settings);
    ASSERT_EQ(p.results.size(), real.size()) << "one.up named twice is previewed once";
    for (std::size_t i = 0; i < real.size(); ++i) {
        EXPECT_EQ(p.results[i].path, real[i].path);
        EXPECT_EQ(p.results[i].footers, real[i].footers);
        EXPECT_EQ(p.results[i].headers, real[i].headers);
    }
    std::vector<Seen> ofOne, ofTwo;
    for (const Seen& s : p.seen)
        (f.name(s.path) == "one.up" ? ofOne : ofTwo).push_back(s);
    EXPECT_EQ(readFile(f.dir.file("one.up")), assemble(one, ofOne));
    EXPECT_EQ(readFile(f.dir.file("two.up")), assemble(two, ofTwo));
    EXPECT_EQ(readFile(f.dir.file("same.bak")), ")\r\n") << "its backup would be itself";
    EXPECT_EQ(said, itself);
}

} // namespace
} // namespace morvex
