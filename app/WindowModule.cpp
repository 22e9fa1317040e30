// The window module's one entry point, looked up by name by the program's start.
#include "app/Program.h"

extern "C" int morvexRunWindows(int argc, char** argv, bool headless) {
    return morvex::runMorvex(argc, argv, headless);
}
