#include "engine/Engine.h"
#include "tests/engine/TestUtil.h"
#include "tests/support/GoldenCase.h"

#include <gtest/gtest.h>

namespace morvex {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

using namespace test::golden;

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
    EXPECT_EQ(run.output, kOutput);
    ASSERT_EQ(run.results.size(), 1u);
    EXPECT_EQ(run.results[0].footers, 2);
    EXPECT_EQ(run.results[0].headers, 2);
}

TEST(Golden, FixedSeedWithAlignment) {
    EXPECT_EQ(convert(true).output, kAligned);
}

} // namespace
} // namespace morvex
