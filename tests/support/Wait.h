// Waiting for something to happen, bounded: tests wait on a condition, never for a fixed time.
#pragma once

#include <functional>

namespace morvex::test {

/// The usual bound of a wait: it only keeps a hang from stopping the suite, so it is generous.
inline constexpr int kWaitMs = 10000;

/// Checks `done` until it holds, at first every few milliseconds and then less often (a check
/// may start a program), for at most `timeoutMs`; whether it held.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = kWaitMs);

/// Waits until process `pid` waits for events: its main thread blocked in poll, as an event loop
/// is once it has done all there was to do (the parent of the process may look).
bool waitUntilIdle(long pid, int timeoutMs = kWaitMs);

} // namespace morvex::test
