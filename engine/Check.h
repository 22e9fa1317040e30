#pragma once

#include "engine/Encoding.h"

#include <cstddef>
#include <string>
#include <vector>

namespace morvex {

/// One problem found in a list.
struct CheckFinding {
    std::string file;    ///< the list file, or the pattern for a finding about a whole pool
    std::size_t line;    ///< from 1; 0 when the finding has no line
    std::string message; ///< UTF-8
};

/// What a check saw of one pool.
struct PoolSummary {
    std::size_t files = 0;   ///< list files the pattern names
    std::size_t entries = 0; ///< lines a draw may return
};

/// The encoding a list file was read in, which a check tells without counting it as a finding.
struct ListReading {
    std::string file;
    TextEncoding encoding = TextEncoding::ShiftJis;
    bool byteOrderMark = false;
    /// "Shift-JIS", "UTF-8" or "UTF-8（BOM 付き）".
    std::string describe() const;
};

struct CheckResult {
    std::vector<ListReading> readings;  ///< every list file read, footer lists first
    std::vector<CheckFinding> findings; ///< footer lists first, each file's in line order
    PoolSummary footers;
    PoolSummary headers;
};

/// Reads the footer and header lists as a conversion pass into `encoding` files would (writing
/// nothing) and lists what would make it insert something other than the lists seem to say.
/// `alignColumn` is the footer alignment column, or negative for none.
CheckResult checkLists(const std::string& footerPattern, const std::string& headerPattern,
                       int alignColumn, TextEncoding encoding = TextEncoding::ShiftJis);

} // namespace morvex
