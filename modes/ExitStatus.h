#pragma once

namespace morvex {

/// Every status the program ends with. Reasons that share a value are named apart so that each
/// end says why; whoever started Morvex (a script, a service manager) tells only the values.
enum class ExitStatus : int {
    Done = 0,          ///< every normal end, the designed ones included
    StoreFailed = 1,   ///< the settings could not be read at the start: nothing ran
    SaveFailed = 1,    ///< the save of the settings at the end failed
    ModuleMissing = 1, ///< the window module could not be found or loaded
    GuiFailed = 1,     ///< the GUI could not be prepared (its fonts, its codec)
    WriteFailed = 1,   ///< the help or version text could not be written
    NoDesktop = 2,     ///< the main window was asked for where no display answers
    Refused = 255,     ///< the single-instance guard refused the start (the designed -1)
};

constexpr int exitCode(ExitStatus status) {
    return static_cast<int>(status);
}

} // namespace morvex
