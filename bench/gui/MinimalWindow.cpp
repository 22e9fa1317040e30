// The smallest Qt Widgets program that shows one window: the yardstick for Morvex's start-up.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QLabel window(QStringLiteral("Minimal"));
    window.resize(332, 179);
    window.show();
    return QApplication::exec();
}
