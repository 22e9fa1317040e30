#pragma once

#include <functional>

namespace morvex {

/// The exit status of an end whose save of the settings failed, so that whoever started Morvex
/// (a service manager, a script) sees it.
inline constexpr int kSaveFailedStatus = 1;

/// Ends the process at once with `status`: standard output and error are flushed, nothing else
/// runs (no event loop, no destructors), as the close commands and the one-shot mode require.
void endProcess(int status);

/// Test seam: while set, endProcess calls this instead of ending (an empty function restores
/// the real end). The caller of endProcess returns normally afterwards.
void setProcessEnder(std::function<void(int status)> ender);

} // namespace morvex
