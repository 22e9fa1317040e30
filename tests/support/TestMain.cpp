// The main of every Qt test program. The settings, the lists and the rounds of draws live under
// private folders, never the user's; built with MORVEX_TEST_GUI it makes the QApplication ready as
// the program does (fonts, codec), headless and at scale 1 unless told otherwise.
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

#ifdef MORVEX_TEST_GUI
#include "gui/GuiStartup.h"

#include <QApplication>
using Application = QApplication;
#else
#include <QCoreApplication>
using Application = QCoreApplication;
#endif

namespace {

bool setPrivate(const char* variable, const QTemporaryDir& folder) {
    return folder.isValid() && qputenv(variable, QFile::encodeName(folder.path()));
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    const QTemporaryDir config, data, state;
    if (!setPrivate("XDG_CONFIG_HOME", config) || !setPrivate("XDG_DATA_HOME", data) ||
        !setPrivate("XDG_STATE_HOME", state))
        return 2;
#ifdef MORVEX_TEST_GUI
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        qputenv("QT_SCALE_FACTOR", "1");
#endif
    Application application(argc, argv);
#ifdef MORVEX_TEST_GUI
    QApplication::setQuitOnLastWindowClosed(false);
    QString error;
    if (!morvex::prepareGui(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
#endif
    return RUN_ALL_TESTS();
}
