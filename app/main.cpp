// The program's start: decides, before any window code is loaded, whether windows are needed.
// They live in the window module beside the program, loaded only when they are: "/c" without
// a desktop then costs no more than the conversion and the settings store.
#include "ConsoleReports.h"
#include "ConvertOnce.h"
#include "DisplayProbe.h"
#include "RunMode.h"
#include "SettingsGroups.h"
#include "UnattendedHeadless.h"

#include <cstdio>
#include <dlfcn.h>
#include <exception>

namespace {

using namespace Qt::StringLiterals;

constexpr int kNoDesktopStatus = 2;
constexpr int kModuleMissingStatus = 1;

int runWindowModule(int argc, char** argv, bool headless) {
    const QByteArray module = (morvex::programDirectory() + u"libmorvex-window.so"_s).toLocal8Bit();
    void* handle = dlopen(module.constData(), RTLD_LAZY | RTLD_LOCAL);
    using Entry = int (*)(int, char**, bool);
    auto entry = handle ? reinterpret_cast<Entry>(dlsym(handle, "morvexRunWindows")) : nullptr;
    if (!entry) {
        std::fprintf(stderr, "morvex: cannot load the window module: %s\n", dlerror());
        return kModuleMissingStatus;
    }
    return entry(argc, argv, headless);
}

int convertOnce() {
    try {
        return morvex::convertOnceWithoutDesktop();
    } catch (const std::exception& error) {
        morvex::writeLine(stderr,
                          morvex::messageLine(u"Morvex"_s, QString::fromLocal8Bit(error.what())));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    using namespace morvex;
    const QStringList arguments = argumentsAsGiven(argc, argv);
    const bool headless =
        !platformChosenByUser(argc, argv) && !displayReachable(DisplayEnvironment::fromProcess());
    if (headless && arguments.isEmpty()) {
        std::fputs("morvex: no display is reachable; the main window needs a desktop session.\n"
                   "Run \"morvex /c\" to convert the stored source list without one.\n",
                   stderr);
        return kNoDesktopStatus;
    }
    if (headless && runModeFor(arguments) == RunMode::ConvertOnce)
        return convertOnce();
    if (const RunMode mode = runModeFor(arguments);
        headless &&
        (mode == RunMode::AutoRun || mode == RunMode::Observe || mode == RunMode::WatchApp))
        return runUnattendedWithoutDesktop(mode, argc, argv);
    return runWindowModule(argc, argv, headless);
}
