#include "tests/support/Wait.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
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

bool waitForSignalHandler(long pid, int signal, int timeoutMs) {
    const std::string status = "/proc/" + std::to_string(pid) + "/status";
    return waitUntil(
        [&] {
            std::ifstream in(status);
            for (std::string line; std::getline(in, line);) {
                if (line.rfind("SigCgt:", 0) == 0)
                    return ((std::strtoull(line.c_str() + 7, nullptr, 16) >> (signal - 1)) & 1U) !=
                           0;
            }
            return false;
        },
        timeoutMs);
}

} // namespace morvex::test
