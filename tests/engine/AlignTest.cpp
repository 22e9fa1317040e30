#include "engine/Draw.h"

#include <gtest/gtest.h>

namespace morvex {
namespace {

std::string sp(std::size_t n) {
    return std::string(n, ' ');
}

struct AlignCase {
    const char* name;
    std::string footer;
    int column;
    std::string expected;
};

TEST(AlignFooter, Rules) {
    const std::string ten = "0123456789";
    const std::string eighty = sp(15) + std::string(65, 'y');
    const AlignCase cases[] = {
        {"pads to end before the column", ten, 71, sp(60) + ten},
        {"exact fit", std::string(70, 'z'), 71, std::string(70, 'z')},
        {"trims leading spaces", eighty, 71, sp(5) + std::string(65, 'y')},
        {"excess not all spaces: unchanged", "  \tabc" + std::string(80, 'q'), 71,
         "  \tabc" + std::string(80, 'q')},
        {"column 0 leaves every footer", sp(5), 0, sp(5)},
        {"column 0 keeps tabs", "\tx", 0, "\tx"},
        {"column 1 empties a blank footer", " \t\x81\x40", 1, ""},
        {"column 1 leaves text", " a", 1, " a"},
        {"tab is a fixed eight", "\tx", 12, sp(2) + sp(8) + "x"},
        {"ideographic space is two", "\x81\x40x", 5, sp(1) + sp(2) + "x"},
        {"pair found at any offset", "\x81\x81\x40", 5, sp(1) + "\x81" + sp(2)},
        {"two-byte characters are two columns", "\x95\x5C", 5, sp(2) + "\x95\x5C"},
        {"line ends count as bytes", "a\nb", 6, sp(2) + "a\nb"},
        {"empty footer", "", 4, sp(3)},
        {"columns above 80 count as 80", "x", 500, sp(78) + "x"},
        {"negative columns count as 0", "  x", -3, "  x"},
        {"normalised text returned on exact fit", "\tab", 11, sp(8) + "ab"},
    };
    for (const AlignCase& c : cases)
        EXPECT_EQ(AlignFooter(c.footer, c.column), c.expected) << c.name;
}

TEST(AlignFooter, TrimmedFooterKeepsNormalisedTabs) {
    // 8 (tab) + 70 = 78 bytes, N = 71: 8 excess bytes, all from the tab.
    const std::string footer = "\t" + std::string(70, 'w');
    EXPECT_EQ(AlignFooter(footer, 71), std::string(70, 'w'));
    // 9 excess bytes but only 8 leading spaces: the original comes back with its tab.
    const std::string longer = "\t" + std::string(71, 'w');
    EXPECT_EQ(AlignFooter(longer, 71), longer);
}

TEST(AlignFooter, LongFootersAreHandledInFull) {
    const std::string footer = sp(1000) + std::string(5000, 'k');
    EXPECT_EQ(AlignFooter(footer, 71), footer);
    const std::string blank = sp(70) + "\t";
    EXPECT_EQ(AlignFooter(blank, 71), sp(70));
}

} // namespace
} // namespace morvex
