// --dry-run against the pass: on the same generated trees and seeds, the insertions the dry run
// lists are exactly what the pass then writes, file for file, with the same status, the same
// messages and the same result lines, and the dry run leaves every file and the rounds as they
// were.
#include "engine/Encoding.h"
#include "tests/cli/CliSupport.h"

#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using clitest::Outcome;

struct Tree {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files; ///< name, bytes
    std::vector<std::pair<std::string, std::string>> links; ///< name, target ("=" + name: hard)
    std::vector<std::string> folders;
    std::vector<std::string> args; ///< options and sources; the seed is added
    int status = 0;
    std::vector<std::string> before = {}; ///< a pass run first, to leave rounds behind
};

// One insertion as the dry run lists it.
struct Listed {
    std::string path;
    std::size_t line = 0;
    bool header = false;
    std::size_t listLine = 0;
    std::string text;
    bool started = false; ///< a line of the text has been read
};

struct DryRun {
    std::vector<Listed> insertions;
    std::vector<std::string> results;
};

std::string unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t lf; (lf = text.find('\n', start)) != std::string::npos; start = lf + 1)
        out.push_back(text.substr(start, lf - start));
    return out;
}

DryRun parse(const std::string& out) {
    DryRun dry;
    for (const std::string& line : lines(out)) {
        if (line.rfind("    ", 0) == 0 && !dry.insertions.empty()) {
            Listed& last = dry.insertions.back();
            last.text += (last.started ? "\n" : "") + line.substr(4);
            last.started = true;
            continue;
        }
        std::size_t at = line.find(": footer from ");
        const bool header = at == std::string::npos;
        if (header)
            at = line.find(": header from ");
        if (at == std::string::npos) {
            dry.results.push_back(line);
            continue;
        }
        const std::size_t colon = line.rfind(':', at - 1);
        Listed listed;
        listed.path = unescaped(line.substr(0, colon));
        listed.line = std::stoul(line.substr(colon + 1, at - colon - 1));
        listed.header = header;
        listed.listLine = std::stoul(line.substr(line.rfind(':') + 1));
        dry.insertions.push_back(listed);
    }
    return dry;
}

// The text the pass writes, put together from the file's text and the listed insertions: each
// marker at a line start became one insertion; a header took the rest of its line. The trees'
// files end their lines with CR LF only, as does every inserted line end.
std::string assemble(std::string text, const std::vector<const Listed*>& listed, bool utf8) {
    std::string bom;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        bom = text.substr(0, 3);
        text.erase(0, 3);
    }
    std::map<std::size_t, std::vector<const Listed*>> byLine;
    for (const Listed* l : listed)
        byLine[l->line].push_back(l);
    std::string lf;
    std::size_t start = 0;
    for (std::size_t number = 1; start < text.size(); ++number) {
        const std::size_t end = text.find("\r\n", start);
        const bool ended = end != std::string::npos;
        const std::string line = text.substr(start, (ended ? end : text.size()) - start);
        start = ended ? end + 2 : text.size();
        bool header = false;
        for (const Listed* l : byLine[number]) {
            // The dry run shows Shift-JIS text decoded.
            lf += utf8 ? l->text
                       : morvex::convertLine(l->text, morvex::TextEncoding::Utf8,
                                             morvex::TextEncoding::ShiftJis)
                             .text;
            if (l->header) {
                lf += '\n';
                header = true;
                break;
            }
        }
        if (!header)
            lf += line.substr(byLine[number].size()) + (ended ? "\n" : "");
    }
    std::string crlf = bom;
    for (const char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

// Every file below the folder, links as their targets, for "nothing written".
std::map<std::string, std::string> snapshot(const clitest::Scratch& s) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(s.path())) {
        const std::string name = fs::relative(e.path(), s.path()).string();
        struct stat st {};
        ::lstat(e.path().c_str(), &st);
        std::string what = std::to_string(st.st_ino) + " " + std::to_string(st.st_mtim.tv_nsec);
        if (S_ISREG(st.st_mode))
            what += " " + s.read(name);
        out[name] = what;
    }
    return out;
}

std::string footerList() {
    std::string text;
    for (int i = 1; i <= 20; ++i)
        text += "F" + std::to_string(i) + "\r\n";
    return text + "F21\\Nsecond line\r\n";
}

std::string headerList() {
    std::string text = "; headers\r\n";
    for (int i = 2; i <= 12; ++i)
        text += "H" + std::to_string(i) + " \\H\r\n";
    return text;
}

// The list line an entry of the lists above stands on, from its text ("F12", "H3 subject").
std::optional<std::size_t> listLineOf(const std::string& text) {
    if (text.size() < 2 || (text[0] != 'F' && text[0] != 'H'))
        return std::nullopt;
    return std::stoul(text.substr(1, text.find_first_not_of("0123456789", 1) - 1));
}

const std::string kMarks = "]Subject\r\nbody\r\n)\r\n)))\r\n)]Two\r\n";

const Tree kTrees[] = {
    {"a link and its target",
     {{"a.up", kMarks}, {"c.up", ")\r\n)\r\n"}},
     {{"b.up", "a.up"}},
     {},
     {"*.up"}},
    {"hard links",
     {{"a.up", kMarks}, {"c.up", ")\r\n"}},
     {{"b.up", "=a.up"}},
     {},
     {"a.up", "b.up", "c.up"}},
    {"one file named twice and by ./",
     {{"a.up", kMarks}, {"b.up", ")b\r\n"}},
     {},
     {},
     {"a.up", "./a.up", "b.up", "a.up"}},
    {"two sources sharing a backup name",
     {{"memo.txt", kMarks}, {"memo.up", ")\r\n)\r\n)\r\n"}, {"z.up", ")\r\n)\r\n)\r\n"}},
     {},
     {},
     {"memo.txt", "memo.up", "z.up"},
     1},
    {"a folder in the backup's place",
     {{"b.up", ")\r\n"}, {"c.up", kMarks}},
     {},
     {"b.bak"},
     {"b.up", "c.up"},
     1},
    {"missing sources",
     {{"a.up", kMarks}, {"c.up", ")\r\n"}},
     {},
     {},
     {"a.up", "gone.up", "*.none", "sub/gone.up", "c.up"},
     1},
    {"an empty footer pool",
     {{"a.up", "]only a header\r\n"}, {"b.up", "]x\r\n)\r\n"}, {"c.up", "]y\r\n"}},
     {},
     {},
     {"--footer-list", "none*.mfl", "a.up", "b.up", "c.up"},
     1},
    {"files that would not change",
     {{"plain.up", "no markers\r\n"}, {"self.up", ")\r\n"}, {"c.up", kMarks}},
     {},
     {},
     {"--footer-list", "self.mfl", "plain.up", "self.up", "c.up"}},
    {"backups that would be the file itself",
     {{"memo.up", ")\r\n"}, {"x.bak", ")\r\n"}, {"y.bak", ")\r\n"}, {"z.up", kMarks}},
     {},
     {},
     {"x.bak", "*.bak", "memo.up", "z.up"},
     1},
    {"no repeats",
     {{"warm.up", ")\r\n)\r\n)\r\n)\r\n)\r\n"}, {"a.up", kMarks}, {"b.up", kMarks}},
     {},
     {},
     {"--no-repeat", "a.up", "b.up"},
     0,
     {"--no-repeat", "--seed", "3", "warm.up"}},
    {"UTF-8 with a byte-order mark",
     {{"u.up", "\xEF\xBB\xBF)\r\n]件名\r\n本文\r\n)))"}, {"v.up", "テキスト\r\n)"}},
     {},
     {},
     {"--encoding", "utf-8", "u.up", "v.up"}},
    {"Shift-JIS text",
     {{"s.up", "\x96\x7B\x95\xB6\r\n)\x95\\\r\n]\x8C\x8F\x96\xBC\r\n"}},
     {},
     {},
     {"s.up"}},
    {"TAB and newline in names",
     {{"t\tab.up", kMarks}, {"new\nline.up", ")\r\n"}, {"back\\slash.up", ")\r\n"}},
     {},
     {},
     {"*.up"}},
    {"markers on the last line without a line end",
     {{"f.up", "a\r\n)"}, {"h.up", "a\r\n]Last"}, {"m.up", "))"}},
     {},
     {},
     {"f.up", "h.up", "m.up"}},
};

TEST(DryRunMatchesThePass, OnEveryTree) {
    for (const Tree& tree : kTrees) {
        SCOPED_TRACE(tree.name);
        clitest::Scratch s;
        s.write("f.mfl", footerList());
        s.write("h.mhl", headerList());
        s.write("self.mfl", ")\r\n");
        for (const auto& [name, bytes] : tree.files)
            s.write(name, bytes);
        for (const auto& [name, target] : tree.links) {
            if (target.front() == '=')
                fs::create_hard_link(s.file(target.substr(1)), s.file(name));
            else
                fs::create_symlink(target, s.file(name));
        }
        for (const std::string& folder : tree.folders)
            fs::create_directory(s.file(folder));
        const std::vector<std::string> env = {"XDG_STATE_HOME=" + s.file("state")};
        if (!tree.before.empty()) {
            ASSERT_EQ(clitest::convert(s, tree.before, env).status, 0);
        }
        std::vector<std::string> args = tree.args;
        args.insert(args.begin(), {"--seed", "77"});
        std::map<std::string, std::string> original;
        for (const auto& [name, bytes] : tree.files)
            original[name] = s.read(name);
        for (const auto& [name, target] : tree.links)
            original[name] = s.read(name);

        const auto untouched = snapshot(s);
        std::vector<std::string> dryArgs = args;
        dryArgs.insert(dryArgs.begin(), "--dry-run");
        const Outcome dryOut = clitest::convert(s, dryArgs, env);
        EXPECT_EQ(snapshot(s), untouched) << "the dry run writes nothing, the rounds included";
        const Outcome pass = clitest::convert(s, args, env);
        const bool utf8 = std::find(args.begin(), args.end(), "utf-8") != args.end();

        EXPECT_EQ(dryOut.status, tree.status) << dryOut.err;
        EXPECT_EQ(pass.status, tree.status) << pass.err;
        EXPECT_EQ(dryOut.err, pass.err);
        const DryRun dry = parse(dryOut.out);
        EXPECT_EQ(dry.results, lines(pass.out));

        std::set<std::string> converted;
        for (const std::string& result : dry.results) {
            const std::string path = unescaped(result.substr(0, result.find('\t')));
            converted.insert(path);
            std::vector<const Listed*> mine;
            for (const Listed& l : dry.insertions) {
                if (l.path != path)
                    continue;
                mine.push_back(&l);
                if (const auto line = listLineOf(l.text)) {
                    EXPECT_EQ(l.listLine, *line) << l.text;
                }
            }
            const std::string counts = result.substr(result.find('\t') + 1);
            const std::size_t tab = counts.find('\t');
            EXPECT_EQ(mine.size(),
                      std::stoul(counts.substr(0, tab)) + std::stoul(counts.substr(tab + 1)))
                << path;
            if (!original.count(path)) {
                ADD_FAILURE() << path << ": a result under a name the tree does not give";
                continue;
            }
            EXPECT_EQ(s.read(path), assemble(original[path], mine, utf8)) << path;
        }
        for (const Listed& l : dry.insertions)
            EXPECT_TRUE(converted.count(l.path)) << l.path << " listed but gives no result line";
        std::set<std::string> linked; // converted under another name
        for (const auto& [name, target] : tree.links)
            linked.insert({name, target.front() == '=' ? target.substr(1) : target});
        for (const auto& [name, bytes] : tree.files) {
            if (!converted.count(name) && !linked.count(name) && !name.ends_with(".bak")) {
                EXPECT_EQ(s.read(name), original[name]) << name << " was not to be converted";
            }
        }
    }
}

} // namespace
