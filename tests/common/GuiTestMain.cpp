// The main of every GUI test program: headless-safe Qt start-up with private settings and state
// folders.
#include "gui/GuiStartup.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    // The store lives under XDG_CONFIG_HOME and the lists under XDG_DATA_HOME: never the
    // user's own.
    QTemporaryDir config;
    if (!config.isValid() || !qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path())))
        return 2;
    QTemporaryDir data;
    if (!data.isValid() || !qputenv("XDG_DATA_HOME", QFile::encodeName(data.path())))
        return 2;
    // So are the rounds of draws without repeats, under XDG_STATE_HOME.
    QTemporaryDir state;
    if (!state.isValid() || !qputenv("XDG_STATE_HOME", QFile::encodeName(state.path())))
        return 2;
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QString error;
    if (!morvex::prepareGui(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    return RUN_ALL_TESTS();
}
