#pragma once

#include "modes/ExitStatus.h"

#include <functional>

namespace morvex {

/// Ends the process at once with `status`: standard output and error are flushed, nothing else
/// runs (no event loop, no destructors), as the close commands and the one-shot mode require.
void endProcess(ExitStatus status);

/// Test seam: while set, endProcess calls this instead of ending (an empty function restores
/// the real end). The caller of endProcess returns normally afterwards.
void setProcessEnder(std::function<void(int status)> ender);

} // namespace morvex
