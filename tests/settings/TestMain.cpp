#include <QCoreApplication>
#include <gtest/gtest.h>

// Child processes and the program directory need an application object.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
