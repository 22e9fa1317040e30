#include "tests/support/Wait.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <sys/syscall.h>
#include <thread>

namespace morvex::test {

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::chrono::milliseconds pause(2);
    while (!done()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
    return true;
}

bool waitUntilIdle(long pid, int timeoutMs) {
    const std::string file = "/proc/" + std::to_string(pid) + "/syscall";
    return waitUntil(
        [&] {
            long number = -1;
            std::ifstream(file) >> number; // "running" reads as no number
#ifdef SYS_poll
            if (number == SYS_poll)
                return true;
#endif
            return number == SYS_ppoll;
        },
        timeoutMs);
}

} // namespace morvex::test
