#include "gui/GuiStartup.h"

#include <QApplication>
#include <gtest/gtest.h>

using namespace morvex;

int main(int argc, char** argv) {
    // Headless unless told otherwise, also when CTest lists the tests.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "1");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    morvex::prepareGui();
    return RUN_ALL_TESTS();
}
