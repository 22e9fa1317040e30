// The built program on a real X display (Xvfb): what a user sees and can do after a settings
// store failure at start.
#include "tests/support/Programs.h"
#include "tests/support/StoreFiles.h"
#include "tests/support/Wait.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace morvex::test {
namespace {
using namespace Qt::StringLiterals;

/// A display of its own for as long as it lives.
class Xvfb {
public:
    Xvfb() {
        m_server.setProgram(QStandardPaths::findExecutable(u"Xvfb"_s));
        m_server.setArguments({u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"800x600x24"_s,
                               u"-nolisten"_s, u"tcp"_s, u"-noreset"_s});
        m_server.setStandardErrorFile(QProcess::nullDevice());
        m_server.start();
        if (m_server.waitForStarted() && m_server.waitForReadyRead(10000))
            m_display = u":"_s + QString::fromLatin1(m_server.readLine().trimmed());
    }
    ~Xvfb() {
        m_server.terminate();
        if (!m_server.waitForFinished(5000))
            m_server.kill();
        m_server.waitForFinished();
    }

    QString display() const { return m_display; }

    /// Runs xdotool on this display; its standard output.
    QByteArray xdotool(const QStringList& arguments) const {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DISPLAY"_s, m_display);
        tool.setProcessEnvironment(env);
        tool.start(u"xdotool"_s, arguments);
        tool.waitForFinished(10000);
        return tool.readAllStandardOutput();
    }

private:
    QProcess m_server;
    QString m_display;
};

TEST(DesktopProgram, AStoreFailureEndsWithStatusOneAfterTheBoxAndLeavesTheStoreAlone) {
    for (const char* tool : {"Xvfb", "xdotool"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    Xvfb server;
    ASSERT_FALSE(server.display().isEmpty());

    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString store = root.filePath(u"config/morvex/settings.reg"_s);
    ASSERT_TRUE(
        writeBytes(store, storeText({{u"System"_s, {textValue(u"WindowTop"_s, u"high"_s)}}})));
    const QByteArray before = readBytes(store);
    ASSERT_TRUE(QDir(root.path()).mkdir(u"runtime"_s));
    QFile::setPermissions(root.filePath(u"runtime"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : {u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
        env.remove(name);
    env.insert(u"DISPLAY"_s, server.display());
    env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    env.insert(u"XDG_CONFIG_HOME"_s, root.filePath(u"config"_s));
    env.insert(u"XDG_RUNTIME_DIR"_s, root.filePath(u"runtime"_s));
    program.setProcessEnvironment(env);
    program.start(QString::fromUtf8(MORVEX_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted());

    // The error box is the one window that shows; the user presses Enter on it.
    QByteArray box;
    ASSERT_TRUE(waitUntil([&] {
        box = server.xdotool({u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^Morvex$"_s})
                  .split('\n')
                  .value(0);
        return !box.isEmpty();
    })) << "no error box showed";
    server.xdotool(
        {u"windowfocus"_s, u"--sync"_s, QString::fromLatin1(box), u"key"_s, u"Return"_s});

    EXPECT_TRUE(endedWithin(program, 10000)) << "the program stayed without a window";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_EQ(readBytes(store), before);
}

} // namespace
} // namespace morvex::test
