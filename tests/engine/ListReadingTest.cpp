// Lists read for what they are: which encoding a list is taken for, the line rules of each
// encoding, lines of a UTF-8 list that are no UTF-8, and what the list check says of them.
#include "engine/Check.h"
#include "engine/Encoding.h"
#include "engine/Messages.h"
#include "engine/Pool.h"
#include "tests/engine/TestUtil.h"

#include <gtest/gtest.h>

namespace morvex {
namespace {

using test::TempDir;
using test::writeFile;

constexpr TextEncoding kSjis = TextEncoding::ShiftJis;
constexpr TextEncoding kUtf8 = TextEncoding::Utf8;

// Kanji lines saved as UTF-8 with one Latin-1 byte pasted in.
const std::string kStrayByteList = "山田です\n東京の鈴木より\nCaf\xE9 au lait\nよろしく\n";
// A byte-order mark before Shift-JIS text (山田, then マ whose second byte is "}").
const std::string kBomSjisList = "\xEF\xBB\xBF\x8E\x52\x93\x63\r\nplain\r\n\x83\x7D\r\n";

TEST(ListReading, EachListIsReadInItsOwnEncodingAndNothingRawIsInserted) {
    const struct {
        const char* name;
        std::string bytes;
        TextEncoding target;
        Pool pool;
        std::string message; // after the list's path and ":"; empty for none
    } cases[] = {
        {"stray byte into UTF-8",
         kStrayByteList,
         kUtf8,
         {"山田です", "東京の鈴木より", "", "よろしく"},
         "UTF-8 として読めないバイトを含むため、次の項目を挿入しません: |3"},
        {"stray byte into Shift-JIS",
         kStrayByteList,
         kSjis,
         {"\x8E\x52\x93\x63\x82\xC5\x82\xB7",
          "\x93\x8C\x8B\x9E\x82\xCC\x97\xE9\x96\xD8\x82\xE6\x82\xE8", "",
          "\x82\xE6\x82\xEB\x82\xB5\x82\xAD"},
         "UTF-8 として読めないバイトを含むため、次の項目を挿入しません: |3"},
        {"byte-order mark before Shift-JIS, into UTF-8",
         kBomSjisList,
         kUtf8,
         {"", "plain", ""},
         "UTF-8 として読めないバイトを含むため、次の項目を挿入しません: |1, |3"},
        {"byte-order mark before Shift-JIS, into Shift-JIS",
         kBomSjisList,
         kSjis,
         {"", "plain", ""},
         "UTF-8 として読めないバイトを含むため、次の項目を挿入しません: |1, |3"},
        {"UTF-8: Ctrl-Z and a lone CR are text",
         "前\x1A後\r\n途中\rCR\r\r\n",
         kUtf8,
         {"前\x1A後", "途中\rCR\r"},
         ""},
        {"Shift-JIS: Ctrl-Z ends the list, CR is dropped",
         "a\rb\r\nc\x1A\r\nd\r\n",
         kSjis,
         {"ab", "c"},
         ""},
        {"all-valid UTF-8 as before", "署名\n", kSjis, {"\x8F\x90\x96\xBC"}, ""},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeFile(dir.file("a.mfl"), c.bytes);
        std::string expected = c.message;
        for (std::size_t bar; (bar = expected.find('|')) != std::string::npos;)
            expected.replace(bar, 1, dir.file("a.mfl") + ":");
        // The pools of a pass (through the temporary file) and of a preview (read directly).
        for (const bool throughTemp : {true, false}) {
            std::vector<std::string> messages;
            const ShowError sink = [&](const std::string& text, const std::string&) {
                messages.push_back(text);
            };
            Pool pool;
            PoolSources sources;
            MergeState state;
            if (throughTemp)
                MergeLists(dir.file("*.mfl"), dir.path() + "/", "_Morvex_.tmp", pool,
                           kMsgFooterListOpen, sink, state, &sources, c.target);
            else
                loadLists(dir.file("*.mfl"), pool, sources, kMsgFooterListOpen, sink, c.target);
            EXPECT_EQ(pool, c.pool) << c.name << (throughTemp ? " (merge)" : " (load)");
            EXPECT_EQ(messages, expected.empty() ? std::vector<std::string>{}
                                                 : std::vector<std::string>{expected})
                << c.name;
        }
    }
}

TEST(ListReading, CheckTellsTheEncodingAndShowsBadBytesAsBytes) {
    TempDir dir;
    writeFile(dir.file("a.mfl"), kStrayByteList);
    writeFile(dir.file("b.mfl"), kBomSjisList);
    writeFile(dir.file("c.mfl"), "x\r\n\x1A\r\n;c\r\ny\r\nz\r\n");
    writeFile(dir.file("d.mfl"), ";@weight 3\r\n;@weight 0\r\n;@weights 2\r\n;@WEIGHT\t2 \r\n"
                                 ";@weight 2x\r\n;@ decoration\r\nw \\D{%Y\r\n");
    writeFile(dir.file("h.mhl"), "H\r\n");
    for (const TextEncoding target : {kSjis, kUtf8}) {
        const CheckResult result = checkLists(dir.file("*.mfl"), dir.file("*.mhl"), -1, target);
        std::vector<std::string> readings;
        for (const ListReading& r : result.readings)
            readings.push_back(r.file.substr(dir.path().size() + 1) + " " + r.describe());
        EXPECT_EQ(readings, (std::vector<std::string>{"a.mfl UTF-8", "b.mfl UTF-8（BOM 付き）",
                                                      "c.mfl Shift-JIS", "d.mfl Shift-JIS",
                                                      "h.mhl Shift-JIS"}));
        std::vector<std::string> findings;
        for (const CheckFinding& f : result.findings)
            findings.push_back(f.file.substr(dir.path().size() + 1) + ":" + std::to_string(f.line) +
                               ": " + f.message);
        const std::string weight = "重みの指定が正しくないため、無視されます（;@weight の後に 1 "
                                   "から 1000 の数）";
        EXPECT_EQ(findings,
                  (std::vector<std::string>{
                      "a.mfl:3: UTF-8 でないバイトがあるため、この項目は挿入されません（4 "
                      "バイト目: 0xE9）",
                      "b.mfl:1: UTF-8 でないバイトがあるため、この項目は挿入されません（1 "
                      "バイト目: 0x8E）",
                      "b.mfl:3: UTF-8 でないバイトがあるため、この項目は挿入されません（1 "
                      "バイト目: 0x83）",
                      "c.mfl:2: Shift-JIS のリストは Ctrl-Z (0x1A) で終わるため、その後の 2 "
                      "項目は読まれません",
                      "d.mfl:2: " + weight, "d.mfl:3: " + weight, "d.mfl:5: " + weight,
                      "d.mfl:7: \\D{ を閉じる } がないため、日付にならずにそのまま挿入されます"}))
            << encodingName(target);
    }
}

} // namespace
} // namespace morvex
