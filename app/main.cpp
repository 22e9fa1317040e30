// The program's start: decides, before any window code is loaded, whether windows are needed.
// They live in the window module (beside the program in the build tree, in a private library
// folder once installed), loaded only when they are: "/c" without a desktop then costs no more
// than the conversion and the settings store.
#include "modes/CommandLineHelp.h"
#include "modes/ConsoleReports.h"
#include "modes/ConvertOnce.h"
#include "modes/DisplayProbe.h"
#include "modes/ExitStatus.h"
#include "modes/InstallLayout.h"
#include "modes/RunMode.h"
#include "modes/UnattendedHeadless.h"
#include "settings/MainWindowGroups.h"

#include <cstdio>
#include <dlfcn.h>
#include <exception>

namespace {

using namespace Qt::StringLiterals;

int runWindowModule(int argc, char** argv, bool headless) {
    const morvex::InstalledFile module = morvex::findWindowModule(morvex::programDirectory());
    if (module.found.isEmpty()) {
        std::fprintf(stderr, "morvex: the window module is missing; looked for %s\n",
                     module.lookedAt.join(u" and "_s).toLocal8Bit().constData());
        return exitCode(morvex::ExitStatus::ModuleMissing);
    }
    void* handle = dlopen(module.found.toLocal8Bit().constData(), RTLD_LAZY | RTLD_LOCAL);
    using Entry = int (*)(int, char**, bool);
    auto entry = handle ? reinterpret_cast<Entry>(dlsym(handle, "morvexRunWindows")) : nullptr;
    if (!entry) {
        std::fprintf(stderr, "morvex: cannot load the window module: %s\n", dlerror());
        return exitCode(morvex::ExitStatus::ModuleMissing);
    }
    return entry(argc, argv, headless);
}

// A help text that could not be written (a full disk, a closed pipe) is not a success.
int printInfo(const QByteArray& text) {
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
    const bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
    return exitCode(written ? morvex::ExitStatus::Done : morvex::ExitStatus::WriteFailed);
}

int convertOnce(const QStringList& arguments) {
    try {
        return morvex::convertOnceWithoutDesktop(arguments);
    } catch (const std::exception& error) {
        morvex::writeLine(stderr,
                          morvex::messageLine(u"Morvex"_s, QString::fromLocal8Bit(error.what())));
    }
    return exitCode(morvex::ExitStatus::Done);
}

} // namespace

int main(int argc, char** argv) {
    using namespace morvex;
    // The mode is read from what Qt leaves, as the windows will read it.
    const QStringList arguments = withoutToolkitOptions(argumentsAsGiven(argc, argv));
    // Answered before the display check, so they work alike on a desktop and without one.
    switch (infoRequestFor(arguments)) {
    case InfoRequest::Help:
        return printInfo(helpText());
    case InfoRequest::Version: {
        const QString dir = programDirectory();
        return printInfo(versionText(findWindowModule(dir), findManual(dir)));
    }
    case InfoRequest::None:
        break;
    }
    const bool headless =
        !platformChosenByUser(argc, argv) && !displayReachable(DisplayEnvironment::fromProcess());
    if (headless && arguments.isEmpty()) {
        std::fputs("morvex: no display is reachable; the main window needs a desktop session.\n"
                   "Run \"morvex /c\" to convert the stored source list without one.\n",
                   stderr);
        return exitCode(ExitStatus::NoDesktop);
    }
    if (headless && runModeFor(arguments) == RunMode::ConvertOnce)
        return convertOnce(arguments);
    if (const RunMode mode = runModeFor(arguments);
        headless &&
        (mode == RunMode::AutoRun || mode == RunMode::Observe || mode == RunMode::WatchApp))
        return runUnattendedWithoutDesktop(mode, argc, argv);
    return runWindowModule(argc, argv, headless);
}
