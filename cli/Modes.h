#pragma once

#include "engine/Engine.h"

#include <cstdint>
#include <optional>

namespace morvex::cli {

/// --dry-run: the pass with the same draws, each insertion listed, nothing written.
int runDryRun(const ConvSettings& settings, std::optional<std::uint32_t> seed);

/// "-": converts standard input to standard output.
int runFilter(const ConvSettings& settings, std::optional<std::uint32_t> seed);

/// --check: the encoding each list file was read in, the findings in the footer and header
/// lists, then a summary line.
int runCheck(const ConvSettings& settings);

/// Prints an engine error to standard error as "caption: text".
void printError(const std::string& text, const std::string& caption);

} // namespace morvex::cli
