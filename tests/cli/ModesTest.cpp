// morvex-convert --dry-run, "-" and --check, run as a child process in temporary directories.
#include "tests/cli/CliSupport.h"
#include "tests/support/GoldenCase.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using clitest::Outcome;

// A scratch folder holding the converter's TMPDIR ("tmp") and its standard input ("io/in").
class Folder : public clitest::Scratch {
public:
    Folder() {
        write("io/in", "");
        fs::create_directory(file("tmp"));
    }
    // Every file below the folder (the runner's io/ left out) with its bytes, mode and time.
    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(path())) {
            const std::string name = fs::relative(e.path(), path()).string();
            if (name.rfind("io", 0) == 0)
                continue;
            struct stat st {};
            ::lstat(e.path().c_str(), &st);
            out[name] = std::to_string(st.st_mode) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
                        std::to_string(st.st_mtim.tv_nsec) + " " +
                        (e.is_regular_file() ? read(name) : std::string());
        }
        return out;
    }
};

// Runs the converter in the folder with TMPDIR inside it; `input` becomes its standard input.
// With `joined`, standard error goes to the same file as standard output, as editors do.
Outcome run(const Folder& f, const std::vector<std::string>& args, const std::string& input = "",
            bool joined = false) {
    f.write("io/in", input);
    const std::string in = f.file("io/in");
    return clitest::convert(f, args, {"TMPDIR=" + f.file("tmp")}, false, [&in, joined] {
        ::dup2(::open(in.c_str(), O_RDONLY), 0);
        if (joined)
            ::dup2(1, 2);
    });
}

// The hand-worked golden case of the engine tests.
using namespace morvex::test::golden;

TEST(CliModes, UsageErrorsAndHelp) {
    Folder f;
    f.write("memo.up", ")\r\n");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"-", "memo.up"},
             {"memo.up", "-"},
             {"-n", "-"},
             {"--dry-run"},
             {"--check", "memo.up"},
             {"--check", "-n"},
             {"--check", "-"},
             {"-nx", "memo.up"},
             {"--undo"},
             {"--undo", "--redraw", "memo.up"},
             {"--undo", "-n", "memo.up"},
             {"--redraw", "--check"},
             {"--redraw", "-"},
             {"--encoding", "euc-jp", "memo.up"},
             {"--encoding=", "memo.up"},
             {"--encoding=utf-8", "--footer-marker", "\xB1", "memo.up"},
             {"--header-marker=\xDF", "--encoding", "UTF8", "memo.up"},
         }) {
        const Outcome r = run(f, args);
        EXPECT_EQ(r.status, 2) << args.front() << " " << args.back();
        EXPECT_EQ(r.err.rfind("morvex-convert: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    }
    EXPECT_EQ(f.read("memo.up"), ")\r\n");
    const Outcome help = run(f, {"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text :
         {"-n, --dry-run", "--check", "morvex-convert [OPTIONS] -\n",
          "PATH:LINE: footer|header from", "--no-repeat", "--undo", "--redraw", "--encoding ENC"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
}

TEST(CliModes, DryRunWritesNothingAndShowsWhatTheSameSeedThenInserts) {
    Folder f;
    f.write("sig.mfl", kFooters);
    f.write("hdr.mhl", kHeaders);
    f.write("golden.up", kInput);
    f.write("golden.bak", "an older backup");
    f.write("plain.up", "no markers\r\n");
    ::chmod(f.file("golden.up").c_str(), 0640);
    const auto before = f.snapshot();
    const Outcome dry = run(f, {"-n", "--seed", "20240101", "golden.up", "plain.up", "golden.up"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(dry.err, "");
    EXPECT_EQ(dry.out, "golden.up:1: header from hdr.mhl:3\n"
                       "    [H] 1\n"
                       "golden.up:3: footer from sig.mfl:3\n"
                       "      -- 26\n"
                       "golden.up:4: footer from sig.mfl:3\n"
                       "      -- 1\n"
                       "golden.up:5: header from hdr.mhl:3\n"
                       "    [] 7\n"
                       "golden.up\t2\t2\n");
    EXPECT_EQ(f.snapshot(), before) << "no file, backup, temporary file or time changed";

    const Outcome real = run(f, {"--seed", "20240101", "golden.up", "plain.up", "golden.up"});
    EXPECT_EQ(real.status, 0) << real.err;
    EXPECT_EQ(real.out, "golden.up\t2\t2\n");
    EXPECT_EQ(f.read("golden.up"), kOutput);
}

TEST(CliModes, DryRunShowsShiftJisDecodedAndStrayBytesVisibly) {
    Folder f;
    // 署名 in Shift-JIS, an \N, a stray 0x80 and a TAB.
    f.write("a.mfl", "; first list\r\n\x8F\x90\x96\xBC\\N\x80\tend\r\n");
    f.write("h.mhl", "");
    f.write("memo.up", "text\r\n)))\r\n");
    const Outcome r = run(f, {"--dry-run", "--seed=1", "memo.up"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string one = "memo.up:2: footer from a.mfl:2\n    署名\n    \\x80\tend\n";
    EXPECT_EQ(r.out, one + one + one + "memo.up\t3\t0\n");
}

TEST(CliModes, FilterWritesWhatAFileConversionWrites) {
    const std::vector<std::string> inputs = {
        kInput,
        "]Subject\r\nbody\r\n)\r\n)tail",   // no final line end
        "a\rb\r\n)\r\r\n]x\ry\r\n",         // lone CRs
        ")\r\nkept\r\n\x1A)\r\nhidden\r\n", // Ctrl-Z ends the text
        "",
    };
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        Folder f;
        f.write("sig.mfl", kFooters);
        f.write("hdr.mhl", kHeaders);
        const auto before = f.snapshot();
        const Outcome filter = run(f, {"--seed", "77", "--align", "30", "-"}, inputs[i]);
        EXPECT_EQ(filter.status, 0) << filter.err;
        EXPECT_EQ(f.snapshot(), before) << "input " << i << ": no file touched";

        f.write("memo.up", inputs[i]);
        const Outcome file = run(f, {"--seed", "77", "--align", "30", "memo.up"});
        EXPECT_EQ(filter.out, f.read("memo.up")) << "input " << i;
        const std::string counts = file.out.empty() ? "" : file.out.substr(file.out.find('\t'));
        EXPECT_EQ(filter.err, counts.empty() ? "" : "-" + counts) << "input " << i;
    }
}

TEST(CliModes, FilterLeavesTheResultLineOutOfAJoinedOutput) {
    Folder f;
    f.write("sig.mfl", "F\r\n");
    const Outcome r = run(f, {"-"}, ")\r\nbody\r\n", true);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "F\r\nbody\r\n") << "as vim's :%! collects both streams";
}

TEST(CliModes, FilterReportsListErrors) {
    Folder f;
    fs::create_directory(f.file("box"));
    // A marker without a pool gives the text back as it came, byte for byte, and says why.
    const std::string text = "body\n)x\r\r\n\x1A"
                             "after";
    const Outcome r = run(f, {"--footer-list", "box", "-"}, text);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "エラー: フッタリスト「box」が見つからないか空のため、変換しませんでした: -\n");
    EXPECT_EQ(r.out, text);
    // A list that is found but fails to read, for root too: reading address 0 of a process.
    fs::create_symlink("/proc/self/mem", f.file("f.mfl"));
    f.write("g.mfl", "G\r\n");
    const Outcome failed = run(f, {"-"}, ")x\r\n");
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err, "エラー: フッタリストが開けませんでした\n-\t1\t0\n");
    EXPECT_EQ(failed.out, "Gx\r\n") << "the other list still loads";
}

// The preview of a pass in which a marker meets an empty pool: the same message and status,
// nothing shown for that file, and the others shown with the draws they get without it.
TEST(CliModes, DryRunTellsOfAnEmptyPoolAsThePassDoes) {
    Folder f;
    f.write("sig.mfl", kFooters);
    f.write("a.up", ")a\r\n");
    f.write("b.up", ")x\r\n]Subject\r\n");
    f.write("c.up", ")c\r\n)\r\n");
    const Outcome without = run(f, {"-n", "--seed", "20240101", "a.up", "c.up"});
    ASSERT_EQ(without.status, 0) << without.err;
    const auto before = f.snapshot();
    const Outcome dry = run(f, {"-n", "--seed", "20240101", "a.up", "b.up", "c.up"});
    EXPECT_EQ(dry.status, 1);
    EXPECT_EQ(dry.err, "エラー: ヘッダリスト「*.mhl」が見つからないか空のため、変換しませんでした"
                       ": b.up\n");
    EXPECT_EQ(dry.out, without.out);
    EXPECT_EQ(f.snapshot(), before);

    const Outcome real = run(f, {"--seed", "20240101", "a.up", "b.up", "c.up"});
    EXPECT_EQ(real.status, 1);
    EXPECT_EQ(real.err, dry.err);
    EXPECT_EQ(f.read("b.up"), ")x\r\n]Subject\r\n");
}

TEST(CliModes, CheckCleanListsAndFindings) {
    Folder f;
    f.write("sig.mfl", kFooters);
    f.write("hdr.mhl", kHeaders);
    const Outcome clean = run(f, {"--check", "--align", "71"});
    EXPECT_EQ(clean.status, 0) << clean.out;
    EXPECT_EQ(clean.out, "sig.mfl: 情報: 文字コード Shift-JIS\n"
                         "hdr.mhl: 情報: 文字コード Shift-JIS\n"
                         "フッタリスト 1 ファイル 3 項目、ヘッダリスト 1 ファイル 2 項目: "
                         "問題は見つかりませんでした\n");

    // A list saved as UTF-8 by a Linux editor (read as UTF-8: nothing to find), and one that
    // lacks its last line end.
    f.write("utf8.mfl", "よろしく\n署名です\n");
    f.write("a.mhl", "Re: \\H \\R0000");
    const Outcome found = run(f, {"--check", "--footer-list=*.mfl", "--header-list", "*.mhl"});
    EXPECT_EQ(found.status, 1);
    EXPECT_EQ(found.out,
              "sig.mfl: 情報: 文字コード Shift-JIS\n"
              "utf8.mfl: 情報: 文字コード UTF-8\n"
              "a.mhl: 情報: 文字コード Shift-JIS\n"
              "hdr.mhl: 情報: 文字コード Shift-JIS\n"
              "a.mhl:1: 警告: 最後の行に改行がないため、次のファイル hdr.mhl の 1 行目と"
              "つながって 1 つの項目になります\n"
              "a.mhl:1: 警告: \\R0000 は範囲がなく、数を挿入しません\n"
              "フッタリスト 2 ファイル 5 項目、ヘッダリスト 2 ファイル 2 項目: 警告 2 件\n");
    EXPECT_EQ(found.err, "");
}

// UTF-8 upload files: a Shift-JIS list and a UTF-8 one drawn into LF and CR LF files.
const char* const kSjisFooters =
    "; \x8F\x90\x96\xBC\r\n\x8F\x90\x96\xBC\\S02\x95\x5C\r\n"; // 署名  表
const char* const kUtf8Headers = "\xEF\xBB\xBF[\\I] Re: \\H\r\n";

TEST(CliEncoding, Utf8FilesConvertWithListsOfBothEncodings) {
    Folder f;
    f.write("sig.mfl", kSjisFooters);
    f.write("hdr.mhl", kUtf8Headers);
    const std::string lf = "]😀件名\n本文\r\x1A\n)\n";
    const std::string crlf = "\xEF\xBB\xBF)\r\n\xFF\xFE\r\n";
    f.write("lf.up", lf);
    f.write("crlf.up", crlf);
    const Outcome r = run(f, {"--encoding", "utf-8", "--align", "12", "lf.up", "crlf.up"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "lf.up\t1\t1\ncrlf.up\t1\t0\n");
    // 署名  表 takes 8 columns: three spaces before it end it before column 12.
    EXPECT_EQ(f.read("lf.up"), "[😀] Re: 😀件名\n本文\r\x1A\n   署名  表\n");
    EXPECT_EQ(f.read("crlf.up"), "\xEF\xBB\xBF   署名  表\r\n\xFF\xFE\r\n");
    EXPECT_EQ(f.read("lf.bak"), lf);
    EXPECT_EQ(f.read("crlf.bak"), crlf);

    // Shift-JIS chosen for a file whose bytes say UTF-8: Shift-JIS signatures would go into a
    // UTF-8 text, so the file is left as it is.
    f.write("lf.up", lf);
    fs::remove(f.file("lf.bak"));
    const Outcome sjis = run(f, {"--encoding=sjis", "lf.up"});
    EXPECT_EQ(sjis.status, 1);
    EXPECT_EQ(sjis.err, "エラー: 選んだ文字コードと違う文字コードのファイルのため、変換しません"
                        "でした (UTF-8): lf.up\n");
    EXPECT_EQ(f.read("lf.up"), lf);
    EXPECT_FALSE(fs::exists(f.file("lf.bak")));
}

// In UTF-8 mode as in Shift-JIS mode: a marker that meets an empty pool leaves the whole file and
// uses no draws, and a file whose text would not change is not written.
TEST(CliEncoding, Utf8FilesKeepThePassRules) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"a.up", ")\n"}, {"b.up", ")\n]件名\n"}, {"c.up", "本文\n"}, {"d.up", ")\r\n)\r\n"}};
    const auto prepare = [&](const Folder& folder) {
        folder.write("sig.mfl", "一\n二\n三\n四\n五\n六\n");
        for (const auto& [name, bytes] : files)
            folder.write(name, bytes);
    };
    Folder without;
    prepare(without);
    const Outcome expected =
        run(without, {"--encoding", "utf-8", "--seed", "7", "a.up", "c.up", "d.up"});
    ASSERT_EQ(expected.status, 0) << expected.err;
    ASSERT_NE(without.read("d.up"), files[3].second);

    Folder f;
    prepare(f);
    const std::vector<std::string> args = {"--encoding", "utf-8", "--seed", "7",
                                           "a.up",       "b.up",  "c.up",   "d.up"};
    std::vector<std::string> dryArgs = args;
    dryArgs.insert(dryArgs.begin(), "-n");
    const Outcome dry = run(f, dryArgs);
    const Outcome real = run(f, args);
    for (const Outcome* r : {&dry, &real}) {
        EXPECT_EQ(r->status, 1);
        EXPECT_EQ(r->err,
                  "エラー: ヘッダリスト「*.mhl」が見つからないか空のため、変換しませんでした"
                  ": b.up\n");
    }
    EXPECT_EQ(real.out, expected.out);
    EXPECT_EQ(f.read("b.up"), files[1].second);
    EXPECT_EQ(f.read("c.up"), files[2].second);
    EXPECT_FALSE(fs::exists(f.file("b.bak")));
    EXPECT_FALSE(fs::exists(f.file("c.bak"))) << "a file without markers is not written";
    EXPECT_EQ(f.read("a.up"), without.read("a.up"));
    EXPECT_EQ(f.read("d.up"), without.read("d.up")) << "b.up used no draws";

    const Outcome filter = run(f, {"--encoding", "utf-8", "-"}, files[1].second);
    EXPECT_EQ(filter.status, 1);
    EXPECT_EQ(filter.out, files[1].second) << "the text comes back as it went in";
}

TEST(CliEncoding, AnEntryTheFilesCannotTakeIsLeftOutAndReported) {
    Folder f;
    f.write("a.mfl", "smile 😀\nok\n"); // UTF-8
    f.write("memo.up", ")\r\n)\r\n)\r\n");
    const Outcome r = run(f, {"--seed", "5", "memo.up"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "警告: Shift-JIS に変換できない文字を含むため、次の項目を挿入しません: "
                     "a.mfl:1\n");
    EXPECT_EQ(f.read("memo.up"), "ok\r\nok\r\nok\r\n") << "never a question mark";
}

TEST(CliEncoding, DryRunFilterAndCheckFollowTheEncoding) {
    Folder f;
    f.write("sig.mfl", kSjisFooters);
    f.write("hdr.mhl", kUtf8Headers);
    // A stray byte makes a file read as Shift-JIS, so the file that is converted has none; the
    // filter, given UTF-8, takes it as it is and the dry run shows it as a byte.
    const std::string input = "]😀\x80件名\r\n本文\r\n)\x1A\r\n";
    const std::string file = "]😀件名\r\n本文\r\n)\x1A\r\n";
    f.write("memo.up", file);
    f.write("stray.up", input);
    const Outcome dry = run(f, {"-n", "--encoding", "utf-8", "--seed", "3", "memo.up"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(dry.out, "memo.up:1: header from hdr.mhl:1\n"
                       "    [😀] Re: 😀件名\n"
                       "memo.up:3: footer from sig.mfl:2\n"
                       "    署名  表\n"
                       "memo.up\t1\t1\n");
    const Outcome stray = run(f, {"-n", "--encoding", "utf-8", "stray.up"});
    EXPECT_EQ(stray.status, 1);
    EXPECT_NE(stray.err.find("(Shift-JIS): stray.up"), std::string::npos) << stray.err;

    const Outcome filter = run(f, {"--encoding", "utf-8", "--seed", "3", "-"}, input);
    EXPECT_EQ(filter.status, 0) << filter.err;
    EXPECT_EQ(filter.out, "[😀] Re: 😀\x80件名\r\n本文\r\n署名  表\x1A\r\n");
    const Outcome filtered = run(f, {"--encoding", "utf-8", "--seed", "3", "-"}, file);
    run(f, {"--encoding", "utf-8", "--seed", "3", "memo.up"});
    EXPECT_EQ(f.read("memo.up"), filtered.out) << "the filter writes what a conversion writes";

    // A Shift-JIS line that is no text cannot go into UTF-8 files; a UTF-8 emoji cannot go into
    // Shift-JIS ones.
    f.write("bad.mfl", "bad \x80\r\n");
    f.write("emoji.mhl", "😀\r\n");
    const Outcome utf8 = run(f, {"--check", "--encoding", "utf-8"});
    EXPECT_EQ(utf8.status, 1);
    EXPECT_EQ(utf8.out,
              "bad.mfl: 情報: 文字コード Shift-JIS\n"
              "sig.mfl: 情報: 文字コード Shift-JIS\n"
              "emoji.mhl: 情報: 文字コード UTF-8\n"
              "hdr.mhl: 情報: 文字コード UTF-8（BOM 付き）\n"
              "bad.mfl:1: 警告: UTF-8 に変換できないバイト 0x80 を含むため、この項目は"
              "挿入されません\n"
              "フッタリスト 2 ファイル 1 項目、ヘッダリスト 2 ファイル 2 項目: 警告 1 件\n");
    const Outcome sjis = run(f, {"--check"});
    EXPECT_EQ(sjis.status, 1);
    EXPECT_EQ(sjis.out,
              "bad.mfl: 情報: 文字コード Shift-JIS\n"
              "sig.mfl: 情報: 文字コード Shift-JIS\n"
              "emoji.mhl: 情報: 文字コード UTF-8\n"
              "hdr.mhl: 情報: 文字コード UTF-8（BOM 付き）\n"
              "bad.mfl:1: 警告: Shift-JIS でないバイトがあります（5 バイト目: 0x80）\n"
              "emoji.mhl:1: 警告: Shift-JIS に変換できない文字 U+1F600 \"😀\" を含むため、"
              "この項目は挿入されません\n"
              "フッタリスト 2 ファイル 2 項目、ヘッダリスト 2 ファイル 1 項目: 警告 2 件\n");
}

} // namespace
