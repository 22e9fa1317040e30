#include "modes/CommandLineHelp.h"

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

constexpr char kHelp[] = R"help(Usage: morvex [MODE [ARGUMENT...]]
Rewrites bulletin-board upload files (Shift-JIS, or UTF-8 when the settings
choose it) in place, replacing header and footer marker lines by entries drawn
from list files, and keeps the previous text of each file in a backup.
Without arguments the main window opens. The first argument chooses an
unattended mode (each also written with "-" or in upper case: -c, /C, -C):
  /c           convert the stored source list once and end (also without a
               desktop)
  /a           start the before program, wait for its end, convert once, start
               the after program and end
  /o           convert each source file again whenever it changes, until told
               to stop
  /w           start the watched program and convert changed files while it
               runs; end with it
Further arguments are passed to the before and after commands as %2 to %9
(%0 is the program's path, %1 the mode). Any other first argument starts
nothing: Morvex waits for a quit request.
  --help       show this help and end
  --version    show the version, the licence and where the window module and
               the manual are, and end
SIGTERM, SIGINT, SIGHUP and the session D-Bus method SaveAndQuit (service
jp.qor.Morvex, object /jp/qor/Morvex), with a desktop or without, save the
settings and end; PopupObserveMenu pops up the icon menu.
Lists: $XDG_DATA_HOME/morvex/ (default ~/.local/share/morvex/), where the list
fields start and where morvex-convert looks by default.
Settings: $XDG_CONFIG_HOME/morvex/settings.reg
(default ~/.config/morvex/settings.reg).
Rounds of draws without repeats: $XDG_STATE_HOME/morvex/
(default ~/.local/state/morvex/).
Exit status: 0 normal end; 1 the window module or the settings file could not
be used, or a save at the end failed; 2 no desktop for the main window.
)help";

constexpr char kLicence[] = R"licence(Copyright (c) 2026 The Morvex developers
This is free software under the MIT License: you may use, copy, change and
pass it on. There is NO WARRANTY, to the extent permitted by law.
)licence";

QByteArray whereLine(const char* what, const InstalledFile& file) {
    if (!file.found.isEmpty())
        return what + QByteArray(": ") + file.found.toLocal8Bit() + '\n';
    return what + QByteArray(": not found; looked for ") +
           file.lookedAt.join(u" and "_s).toLocal8Bit() + '\n';
}

} // namespace

InfoRequest infoRequestFor(const QStringList& arguments) {
    if (arguments.isEmpty())
        return InfoRequest::None;
    if (arguments.first() == u"--help"_s)
        return InfoRequest::Help;
    if (arguments.first() == u"--version"_s)
        return InfoRequest::Version;
    return InfoRequest::None;
}

QByteArray helpText() {
    return QByteArray(kHelp);
}

QByteArray versionText(const InstalledFile& module, const InstalledFile& manual) {
    return "morvex " MORVEX_VERSION "\n" + QByteArray(kLicence) +
           whereLine("window module", module) + whereLine("manual", manual);
}

} // namespace morvex
