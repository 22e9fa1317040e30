// Rules and the upload files' own encoding, end to end through morvex-convert.
#include "tests/cli/CliSupport.h"

#include <gtest/gtest.h>

namespace {

using clitest::convert;
namespace fs = std::filesystem;
using clitest::Outcome;
using clitest::Scratch;

// Every list holds one entry, so each insertion says which list and which encoding it came from.
// The Shift-JIS lists: 本 (0x96 0x7B) and 部 (0x95 0x94).
void writeLists(const Scratch& s) {
    s.write("main.mfl", "MAIN-\x96\x7B\r\n");
    s.write("main.mhl", "[main \\H]\r\n");
    s.write("work.mfl", "WORK-\x95\x94\r\n");
    s.write("work.mhl", "[work \\H]\r\n");
    s.write("club.mfl", "CLUB-クラブ\n"); // UTF-8
    fs::create_directories(s.file("club"));
}

struct Case {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> files;    // written before the run
    std::vector<std::pair<std::string, std::string>> expected; // after it
    int status;
    std::string out;
    std::string err;
    std::vector<std::string> noBackup; // files left as they were
};

const std::string kSjisBody = "\x96\x7B\x95\xB6\r\n"; // 本文
const std::string kUtf8Body = "本文\r\n";

std::vector<Case> cases() {
    const std::vector<std::string> main = {"--footer-list=main.mfl", "--header-list=main.mhl",
                                           "--seed", "1"};
    const std::vector<std::string> rules = {
        "--rule",   "work*.up", "--footer-list", "work.mfl",      "--header-list",
        "work.mhl", "--rule",   "*/club/*.up",   "--footer-list", "club.mfl"};
    const auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    return {
        {"automatic: each file in its own encoding",
         with(main, {"sjis.up", "utf8.up", "bom.up", "ascii.up"}),
         {{"sjis.up", ")\r\n" + kSjisBody},
          {"utf8.up", ")\n本文\n"},
          {"bom.up", "\xEF\xBB\xBF)\r\nabc\r\n"},
          {"ascii.up", "]Re\r\nabc\r\n)\r\n"}},
         {{"sjis.up", "MAIN-\x96\x7B\r\n" + kSjisBody},
          {"utf8.up", "MAIN-本\n本文\n"},
          {"bom.up", "\xEF\xBB\xBFMAIN-本\r\nabc\r\n"},
          {"ascii.up", "[main Re]\r\nabc\r\nMAIN-\x96\x7B\r\n"}},
         0,
         "sjis.up\t1\t0\nutf8.up\t1\t0\nbom.up\t1\t0\nascii.up\t1\t1\n",
         "",
         {}},
        {"an explicit encoding never meets a file of the other one",
         with(main, {"--encoding", "utf-8", "sjis.up", "ascii.up"}),
         {{"sjis.up", ")\r\n" + kSjisBody}, {"ascii.up", ")\n"}},
         {{"sjis.up", ")\r\n" + kSjisBody}, {"ascii.up", "MAIN-本\n"}},
         1,
         "ascii.up\t1\t0\n",
         "エラー: 選んだ文字コードと違う文字コードのファイルのため、変換しませんでした "
         "(Shift-JIS): sjis.up\n",
         {"sjis.bak"}},
        {"a UTF-8 text after a long ASCII start is found to be UTF-8 all the same",
         with(main, {"late.up"}),
         {{"late.up", ")\r\n" + std::string(100000, 'a') + "\r\n本文\r\n"}},
         {{"late.up", "MAIN-本\r\n" + std::string(100000, 'a') + "\r\n本文\r\n"}},
         0,
         "late.up\t1\t0\n",
         "",
         {}},
        {"two rules and the main lists, in both encodings",
         with(with(main, rules), {"work1.up", "club/a.up", "club/b.up", "other.up"}),
         {{"work1.up", "]Mon\r\n)\r\n"},
          {"club/a.up", ")\n本文\n"},
          {"club/b.up", ")\r\n" + kSjisBody},
          {"other.up", ")\r\n"}},
         {{"work1.up", "[work Mon]\r\nWORK-\x95\x94\r\n"},
          {"club/a.up", "CLUB-クラブ\n本文\n"},
          {"club/b.up", "CLUB-\x83\x4E\x83\x89\x83\x75\r\n" + kSjisBody},
          {"other.up", "MAIN-\x96\x7B\r\n"}},
         0,
         "work1.up\t1\t1\t(rule 1)\nclub/a.up\t1\t0\t(rule 2)\nclub/b.up\t1\t0\t(rule 2)\n"
         "other.up\t1\t0\n",
         "",
         {}},
        {"a rule's own encoding",
         with(main, {"--rule", "*.up", "--encoding", "sjis", "utf8.up"}),
         {{"utf8.up", ")\n本文\n"}},
         {{"utf8.up", ")\n本文\n"}},
         1,
         "",
         "エラー: 選んだ文字コードと違う文字コードのファイルのため、変換しませんでした "
         "(UTF-8): utf8.up\n",
         {"utf8.bak"}},
    };
}

TEST(CliRules, EachFileGetsItsRuleAndItsEncoding) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        Scratch s;
        writeLists(s);
        for (const auto& [name, bytes] : c.files)
            s.write(name, bytes);
        const Outcome r = convert(s, c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        for (const auto& [name, bytes] : c.expected)
            EXPECT_EQ(s.read(name), bytes) << name;
        for (const std::string& name : c.noBackup)
            EXPECT_FALSE(fs::exists(s.file(name))) << name;

        // The dry run makes the same draws and names the rule that chose.
        for (const auto& [name, bytes] : c.files)
            s.write(name, bytes);
        std::vector<std::string> dryArgs = c.args;
        dryArgs.insert(dryArgs.begin(), "-n");
        const Outcome dry = convert(s, dryArgs);
        EXPECT_EQ(dry.status, c.status);
        EXPECT_EQ(dry.err, c.err);
        for (const auto& [name, bytes] : c.files)
            EXPECT_EQ(s.read(name), bytes) << "a dry run writes nothing";
        if (std::string(c.name).starts_with("two rules")) {
            EXPECT_NE(dry.out.find("club/a.up:1: footer from club.mfl:1 (rule 2)\n"),
                      std::string::npos)
                << dry.out;
        }
    }
}

// Rules from a file are the rules of the options; a bad file or option is a usage error.
TEST(CliRules, RulesFromAFileAndUsageErrors) {
    Scratch s;
    writeLists(s);
    s.write("rules.txt", "; boards\n\nrule = work*.up\nfooter-list = work.mfl\n"
                         "header-list = work.mhl\n");
    s.write("work1.up", ")\r\n");
    const Outcome r = convert(s, {"--footer-list=main.mfl", "--rules", "rules.txt", "work1.up"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(s.read("work1.up"), "WORK-\x95\x94\r\n");
    EXPECT_EQ(r.out, "work1.up\t1\t0\t(rule 1)\n");

    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--rule"}, "morvex-convert: --rule needs a value\n"},
        {{"--rule", "", "a.up"}, "morvex-convert: --rule needs a pattern\n"},
        {{"--encoding", "latin1", "a.up"},
         "morvex-convert: --encoding takes auto, sjis or utf-8, not \"latin1\"\n"},
        {{"--rules", "missing.txt", "a.up"},
         "morvex-convert: --rules: cannot read \"missing.txt\"\n"},
        {{"--rules", "bad1.txt", "a.up"},
         "morvex-convert: bad1.txt:1: \"footer-list\" before the first \"rule\"\n"},
        {{"--rules", "bad2.txt", "a.up"}, "morvex-convert: bad2.txt:2: unknown name \"colour\"\n"},
        {{"--rule", "*.up", "--encoding", "utf-8", "--footer-marker", "ｱ", "a.up"},
         "morvex-convert: rule 1: with --encoding utf-8 a marker must be one ASCII byte\n"},
    };
    s.write("bad1.txt", "footer-list = x.mfl\n");
    s.write("bad2.txt", "rule = *.up\ncolour = red\n");
    for (const auto& [args, err] : bad) {
        const Outcome u = convert(s, args);
        EXPECT_EQ(u.status, 2) << args.front();
        EXPECT_EQ(u.err, err);
    }

    // --check looks at every rule's lists.
    s.write("broken.mfl", "ok\n😀\n"); // no Shift-JIS form
    const Outcome check = convert(s, {"--check", "--footer-list=main.mfl", "--header-list=main.mhl",
                                      "--rule", "x*", "--footer-list", "broken.mfl"});
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("規則 1 (x*): "), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("broken.mfl:2: "), std::string::npos) << check.out;
}

} // namespace
