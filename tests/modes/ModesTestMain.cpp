// The main of the unattended-mode tests: QtCore only, with a private settings folder.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    QTemporaryDir config;
    if (!config.isValid() || !qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path())))
        return 2;
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
