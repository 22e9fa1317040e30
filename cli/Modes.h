#pragma once

#include "engine/Engine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvex::cli {

/// A conversion pass over the sources; with `dryRun` the same pass writes nothing and lists each
/// insertion; with `redraw` each file is converted again from its backup.
int runPass(const ConvSettings& settings, std::optional<std::uint32_t> seed, bool dryRun,
            bool redraw);

/// "-": converts standard input to standard output.
int runFilter(const ConvSettings& settings, std::optional<std::uint32_t> seed);

/// --check: the encoding each list file was read in, the findings in the footer and header
/// lists, then a summary line.
int runCheck(const ConvSettings& settings);

/// A name as the output's lines give it: a line end, a TAB and the backslash that escapes them
/// are escaped, so that no name breaks the line format.
std::string escaped(std::string_view text);

/// Prints an engine error to standard error as "caption: text", names escaped.
void printError(const std::string& text, const std::string& caption);

/// Sets the engine's seed clock to `seed`, when one is given.
void applySeed(ConvEngine& engine, std::optional<std::uint32_t> seed);

} // namespace morvex::cli
