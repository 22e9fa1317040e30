#include "engine/Engine.h"
#include "tests/engine/TestUtil.h"

#include <gtest/gtest.h>

namespace morvex {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

// Seed 20240101. The generator's values, worked out from state = state * 22695477 + 1 (mod 2^32)
// and value = (state >> 16) & 0x7FFF:
//   v1 19180  v2 7352  v3 24157  v4 2395  v5 20107  v6 7225
//   v7 23462  v8 13150 v9 7039   v10 15184 v11 1217 v12 17471
// Footer pool (5 lines): 0 "; sig", 1 "Yamada", 2 "\S02-- \R0050", 3 "", 4 "Taro".
// Header pool (3 lines): 0 "Re: \H", 1 ";", 2 "[\I] \R0007".
// Input lines, in order:
//   "]Hello": v1 % 3 = 1 (";", again), v2 % 3 = 2; \I of "Hello" = "H"; \R0007: v3 % 7 + 1 = 1
//             -> "[H] 1" and a line end.
//   "body":   copied.
//   ")":      v4 % 5 = 0 (comment, again), v5 % 5 = 2; \S02 = two spaces; \R0050: v6 % 50 + 1
//             = 26 -> "  -- 26", then the line's own end.
//   ")x":     v7 % 5 = 2; v8 % 50 + 1 = 1 -> "  -- 1", then "x".
//   "]":      v9 % 3 = 1, v10 % 3 = 1 (both ";"), v11 % 3 = 2; \I of "" is nothing;
//             v12 % 7 + 1 = 7 -> "[] 7".
const std::uint32_t kSeed = 20240101u;
const int kValues[] = {19180, 7352,  24157, 2395,  20107, 7225,
                       23462, 13150, 7039,  15184, 1217,  17471};
const char* const kFooters = "; sig\r\nYamada\r\n\\S02-- \\R0050\r\n\r\nTaro\r\n";
const char* const kHeaders = "Re: \\H\r\n;\r\n[\\I] \\R0007\r\n";
const char* const kInput = "]Hello\r\nbody\r\n)\r\n)x\r\n]\r\n";
const char* const kExpected = "[H] 1\r\nbody\r\n  -- 26\r\n  -- 1x\r\n[] 7\r\n";
// With alignment to column 12: "  -- 26" (7 bytes) gets 12 - 7 - 1 = 4 spaces in front,
// "  -- 1" (6 bytes) gets 5.
const char* const kExpectedAligned = "[H] 1\r\nbody\r\n      -- 26\r\n       -- 1x\r\n[] 7\r\n";

TEST(Golden, TableMatchesTheRecurrence) {
    std::uint64_t state = kSeed;
    for (const int expected : kValues) {
        state = (state * 22695477u + 1u) & 0xFFFFFFFFu;
        EXPECT_EQ(static_cast<int>((state >> 16) & 0x7FFF), expected);
    }
}

struct GoldenRun {
    std::string output;
    std::vector<FileResult> results;
};

GoldenRun convert(bool align) {
    TempDir dir;
    writeFile(dir.file("sig.mfl"), kFooters);
    writeFile(dir.file("hdr.mhl"), kHeaders);
    writeFile(dir.file("golden.up"), kInput);
    GoldenRun run;
    ConvEngine engine({}, [&](const FileResult& r) { run.results.push_back(r); });
    engine.setClock([] { return kSeed; });
    ConvSettings s;
    s.footerListPattern = dir.file("*.mfl");
    s.headerListPattern = dir.file("*.mhl");
    s.sources = {dir.file("golden.up")};
    s.alignFooters = align;
    s.alignColumn = 12;
    engine.ConvertAll(s);
    run.output = readFile(dir.file("golden.up"));
    EXPECT_EQ(readFile(dir.file("golden.bak")), kInput);
    return run;
}

TEST(Golden, FixedSeedGivesTheHandWorkedText) {
    const GoldenRun run = convert(false);
    EXPECT_EQ(run.output, kExpected);
    ASSERT_EQ(run.results.size(), 1u);
    EXPECT_EQ(run.results[0].footers, 2);
    EXPECT_EQ(run.results[0].headers, 2);
}

TEST(Golden, FixedSeedWithAlignment) {
    EXPECT_EQ(convert(true).output, kExpectedAligned);
}

} // namespace
} // namespace morvex
