// One conversion worked out by hand, which the engine's tests and the command line's both run.
//
// Seed 20240101. The generator's values, from state = state * 22695477 + 1 (mod 2^32) and
// value = (state >> 16) & 0x7FFF:
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
#pragma once

#include <cstdint>

namespace morvex::test::golden {

inline constexpr std::uint32_t kSeed = 20240101u;
inline constexpr int kValues[] = {19180, 7352,  24157, 2395,  20107, 7225,
                                  23462, 13150, 7039,  15184, 1217,  17471};
inline constexpr const char* kFooters = "; sig\r\nYamada\r\n\\S02-- \\R0050\r\n\r\nTaro\r\n";
inline constexpr const char* kHeaders = "Re: \\H\r\n;\r\n[\\I] \\R0007\r\n";
inline constexpr const char* kInput = "]Hello\r\nbody\r\n)\r\n)x\r\n]\r\n";
inline constexpr const char* kOutput = "[H] 1\r\nbody\r\n  -- 26\r\n  -- 1x\r\n[] 7\r\n";
/// Aligned to column 12: "  -- 26" (7 bytes) gets 12 - 7 - 1 = 4 spaces in front, "  -- 1" 5.
inline constexpr const char* kAligned = "[H] 1\r\nbody\r\n      -- 26\r\n       -- 1x\r\n[] 7\r\n";

} // namespace morvex::test::golden
