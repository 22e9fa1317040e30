#include "modes/ProcessEnd.h"

#include <cstdio>
#include <cstdlib>

namespace morvex {
namespace {

std::function<void(int)>& ender() {
    static std::function<void(int)> replacement;
    return replacement;
}

} // namespace

void setProcessEnder(std::function<void(int status)> replacement) {
    ender() = std::move(replacement);
}

void endProcess(ExitStatus status) {
    if (ender()) {
        ender()(exitCode(status));
        return;
    }
    std::fflush(nullptr);
    std::_Exit(exitCode(status));
}

} // namespace morvex
