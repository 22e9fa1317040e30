// Takes the single-instance guard named by its argument, then says "running" and waits to be
// killed. A refused start ends inside the check, with nothing written.
#include "app/desktop/mutexcheck.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    morvex::TCheckMutex guard;
    guard.setMutexID(QString::fromLocal8Bit(argc > 1 ? argv[1] : ""));
    guard.Loaded();
    std::puts("running");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
