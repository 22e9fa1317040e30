// The notification-area icons and the D-Bus requests on a real desktop: an X server (Xvfb), an
// XEmbed tray (trayer) clicked with xdotool, a stand-in StatusNotifierWatcher and the session
// bus of dbus-run-session. The helper programs are killed when each test ends; the tray lives as
// long as the tests that need it.
#include "tests/app/ChildProcess.h"
#include "tests/support/Programs.h"
#include "tests/support/Wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRect>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    Run result;
    if (!endedWithin(process, kWaitMs))
        return result;
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QList<int> numbers(const QByteArray& line, int skip) {
    QList<int> values;
    const QByteArrayList words = line.split(' ');
    for (int i = skip; i < words.size(); ++i)
        values << words.at(i).toInt();
    return values;
}

QPoint pointOf(const QByteArray& line, int skip) {
    const QList<int> v = numbers(line, skip);
    return v.size() >= 2 ? QPoint(v.at(0), v.at(1)) : QPoint(-1, -1);
}

QRect rectOf(const QByteArray& line, int skip) {
    const QList<int> v = numbers(line, skip);
    return v.size() >= 4 ? QRect(v.at(0), v.at(1), v.at(2), v.at(3)) : QRect();
}

QByteArray gdbusCall(const QString& destination, const QString& method) {
    const Run call =
        run(u"gdbus"_s, {u"call"_s, u"--session"_s, u"--dest"_s, destination, u"--object-path"_s,
                         u"/jp/qor/Morvex"_s, u"--method"_s, u"jp.qor.Morvex."_s + method});
    return call.status == 0 ? call.out.trimmed() : "failed: " + call.err;
}

QByteArray busCall(const QString& method, const QString& name) {
    return run(u"gdbus"_s, {u"call"_s, u"--session"_s, u"--dest"_s, u"org.freedesktop.DBus"_s,
                            u"--object-path"_s, u"/org/freedesktop/DBus"_s, u"--method"_s,
                            u"org.freedesktop.DBus."_s + method, name})
        .out.trimmed();
}

bool nameHasOwner(const QString& name) {
    return busCall(u"NameHasOwner"_s, name) == "(true,)";
}

/// The unique connection name that owns `name` ("(':1.5',)"), empty when none does.
QByteArray nameOwner(const QString& name) {
    return busCall(u"GetNameOwner"_s, name);
}

QString instanceName(const ChildProcess& process) {
    return u"jp.qor.Morvex.Instance"_s + QString::number(process.pid());
}

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DISPLAY") ||
            qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            GTEST_SKIP() << "needs an X server and a private session bus (run through CTest)";
        ASSERT_TRUE(m_root.isValid());
        QDir().mkpath(m_root.filePath(u"runtime"_s));
        QFile::setPermissions(m_root.filePath(u"runtime"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    /// The environment of a helper: the X server unless `offscreen`, its own settings folder.
    QProcessEnvironment environment(bool offscreen = false) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"QT_QPA_PLATFORM"_s);
        if (offscreen)
            env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"XDG_CONFIG_HOME"_s, m_root.filePath(u"config"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, m_root.filePath(u"runtime"_s));
        return env;
    }

    std::unique_ptr<ChildProcess> probe(const QString& which, bool offscreen = false) const {
        return std::make_unique<ChildProcess>(QString::fromUtf8(TRAY_PROBE), QStringList{which},
                                              environment(offscreen));
    }

    std::unique_ptr<ChildProcess> morvex(const QStringList& arguments) const {
        return std::make_unique<ChildProcess>(QString::fromUtf8(MORVEX_PROGRAM), arguments,
                                              environment(true));
    }

    QString storePath() const { return m_root.filePath(u"config/morvex/settings.reg"_s); }

    QTemporaryDir m_root;
};

bool panelShown() {
    return !run(u"xdotool"_s, {u"search"_s, u"--name"_s, u"^panel$"_s}).out.isEmpty();
}

/// The tests that embed icons in an XEmbed tray along the bottom edge. One trayer serves them
/// all: each start of a GTK program is slow on a busy machine, and a tray of a test before could
/// still hold the tray selection when the next one started.
class XEmbedTrayTest : public DesktopTest {
protected:
    // A GTK program starting while builds share the machine: give it three of the usual waits.
    static constexpr int kTrayWaitMs = 3 * kWaitMs;

    static void SetUpTestSuite() {
        s_trayProblem.clear();
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            return;
        QElapsedTimer started;
        started.start();
        // A tray from before still holding the selection makes trayer run without one.
        if (!waitUntil([] { return !panelShown(); }, kTrayWaitMs)) {
            s_trayProblem = "another panel stayed on the screen";
            return;
        }
        s_tray = std::make_unique<ChildProcess>(
            u"trayer"_s,
            QStringList{u"--edge"_s, u"bottom"_s, u"--align"_s, u"right"_s, u"--widthtype"_s,
                        u"request"_s, u"--height"_s, u"32"_s, u"--iconspacing"_s, u"4"_s});
        // Events let the process notice trayer's end and take in what it wrote to stderr.
        const bool shown = waitUntil(
            [] {
                QCoreApplication::processEvents();
                return !s_tray->running() || panelShown();
            },
            kTrayWaitMs);
        QCoreApplication::processEvents();
        const QByteArray errors = s_tray->errors();
        const bool running = s_tray->running();
        if (running && shown && !errors.contains("another systray already running"))
            return;
        s_trayProblem = QByteArray(!running ? "trayer ended"
                                   : shown  ? "trayer got no tray selection"
                                            : "trayer showed no panel") +
                        " after " + QByteArray::number(started.elapsed()) + " ms: " + errors;
        s_tray.reset();
    }
    static void TearDownTestSuite() { s_tray.reset(); }

    void SetUp() override {
        DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(s_tray) << s_trayProblem.data();
        QCoreApplication::processEvents();
        ASSERT_TRUE(s_tray->running()) << "trayer ended: " << s_tray->errors().data();
    }

    static inline std::unique_ptr<ChildProcess> s_tray;
    static inline QByteArray s_trayProblem;
};

TEST_F(XEmbedTrayTest, RightClickPopsObserveMnuAtTheCursorAndLeftClickNothing) {
    auto icon = probe(u"ObserveTask"_s);
    ASSERT_GE(icon->waitForLine("ObserveTask shown xembed"), 0) << icon->lines().join('\n').data();
    EXPECT_GE(icon->waitForLine("ObserveTask icons 1"), 0) << "Visible set twice adds one icon";
    const int placed = icon->waitForLine("ObserveTask geometry");
    ASSERT_GE(placed, 0);
    const QPoint centre = rectOf(icon->lines().at(placed), 2).center();
    const QString x = QString::number(centre.x()), y = QString::number(centre.y());

    ASSERT_EQ(run(u"xdotool"_s, {u"mousemove"_s, x, y, u"click"_s, u"3"_s}).status, 0);
    const int click = icon->waitForLine("ObserveTask click right", placed);
    ASSERT_GE(click, 0);
    EXPECT_EQ(pointOf(icon->lines().at(click), 3), centre);
    const int down = icon->waitForLine("ObserveTask down right", click);
    const int popped = icon->waitForLine("ObserveTask popped ObserveMnu", down);
    const int up = icon->waitForLine("ObserveTask up right", down);
    const int shown = icon->waitForLine("menu shown", down);
    ASSERT_GT(down, click);
    ASSERT_GT(popped, down);
    EXPECT_GT(up, popped);
    ASSERT_GT(shown, down);
    // Placed at the cursor, moved only as far as the screen's edge needs.
    EXPECT_TRUE(rectOf(icon->lines().at(shown), 2).adjusted(-2, -2, 2, 2).contains(centre))
        << icon->lines().at(shown).data();

    ASSERT_EQ(run(u"xdotool"_s, {u"key"_s, u"Escape"_s}).status, 0);
    const int hidden = icon->waitForLine("menu hidden", shown);
    ASSERT_GT(hidden, shown);
    ASSERT_EQ(run(u"xdotool"_s, {u"mousemove"_s, x, y, u"click"_s, u"1"_s}).status, 0);
    const int left = icon->waitForLine("ObserveTask click left", hidden);
    ASSERT_GT(left, hidden);
    EXPECT_GT(icon->waitForLine("ObserveTask down left", left), left);
    EXPECT_GT(icon->waitForLine("ObserveTask up left", left), left);
    EXPECT_EQ(icon->waitForLine("menu shown", hidden, 300), -1) << "a left click opens nothing";
    EXPECT_EQ(icon->waitForLine("ObserveTask popped", hidden, 0), -1);
}

TEST_F(XEmbedTrayTest, TrayHoldsBothIconsSideBySide) {
    auto icons = probe(u"both"_s);
    const int first = icons->waitForLine("AppRunTask geometry");
    const int second = icons->waitForLine("ObserveTask geometry");
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    const QRect a = rectOf(icons->lines().at(first), 2);
    const QRect b = rectOf(icons->lines().at(second), 2);
    EXPECT_FALSE(a.intersects(b)) << a.x() << " " << b.x();
    EXPECT_GE(a.height(), 16);
}

TEST_F(DesktopTest, MinimiseAndRestoreByTheWindowManagerReportTheirEvents) {
    ChildProcess manager(u"openbox"_s, {});
    ASSERT_TRUE(waitUntil([] {
        return run(u"xprop"_s, {u"-root"_s, u"_NET_SUPPORTING_WM_CHECK"_s})
            .out.contains("window id");
    })) << (QCoreApplication::processEvents(), manager.errors().data());
    auto window = probe(u"window"_s);
    const int shown = window->waitForLine("window ");
    ASSERT_GE(shown, 0);
    const QString id = QString::fromLatin1(window->lines().at(shown).mid(7));
    ASSERT_EQ(run(u"xdotool"_s, {u"windowminimize"_s, u"--sync"_s, id}).status, 0);
    const int minimised = window->waitForLine("OnMinimize", shown);
    ASSERT_GT(minimised, shown);
    EXPECT_EQ(window->lines().at(minimised), "OnMinimize QApplication");
    EXPECT_EQ(window->waitForLine("OnRestore", shown, 300), -1);
    ASSERT_EQ(run(u"xdotool"_s, {u"windowactivate"_s, u"--sync"_s, id}).status, 0);
    const int restored = window->waitForLine("OnRestore", minimised);
    ASSERT_GT(restored, minimised);
    EXPECT_EQ(window->lines().at(restored), "OnRestore QApplication visible");
}

TEST_F(DesktopTest, StatusNotifierHostGetsTheTooltipAndTheMenu) {
    ChildProcess watcher(QString::fromUtf8(SNI_WATCHER), {}, environment());
    ASSERT_EQ(watcher.waitForLine("ready"), 0);
    const struct {
        QString icon;
        QByteArray tooltip;
    } cases[] = {{u"ObserveTask"_s, "tooltip Morvex（ファイルの更新を監視中）|"},
                 {u"AppRunTask"_s, "tooltip Morvex（待機中）|"}};
    for (const auto& one : cases) {
        const int from = watcher.lines().size();
        auto item = probe(one.icon);
        EXPECT_GE(item->waitForLine(one.icon.toUtf8() + " shown sni"), 0);
        EXPECT_GE(watcher.waitForLine("item ", from), 0);
        const int tooltip = watcher.waitForLine("tooltip", from);
        ASSERT_GE(tooltip, 0);
        EXPECT_EQ(watcher.lines().at(tooltip), one.tooltip);
        // The hidden items stay hidden; the host draws exactly what a right click shows.
        const int menu = watcher.waitForLine("menu", from);
        ASSERT_GE(menu, 0);
        EXPECT_EQ(watcher.lines().at(menu), "menu バージョン情報(_A)|-|終了(_X)");
    }
}

TEST_F(DesktopTest, PopupObserveMenuOverDBusShowsTheMenuAtTheCursor) {
    auto icon = probe(u"ObserveTask"_s);
    ASSERT_GE(icon->waitForLine("dbus registered"), 0);
    ASSERT_EQ(run(u"xdotool"_s, {u"mousemove"_s, u"300"_s, u"200"_s}).status, 0);
    EXPECT_EQ(gdbusCall(instanceName(*icon), u"PopupObserveMenu"_s), "()");
    const int shown = icon->waitForLine("menu shown");
    ASSERT_GE(shown, 0);
    EXPECT_EQ(rectOf(icon->lines().at(shown), 2).topLeft(), QPoint(300, 200));
}

TEST_F(DesktopTest, WithoutANotificationAreaOneLineTellsHowToEndMorvex) {
    auto icons = probe(u"both"_s, true);
    ASSERT_GE(icons->waitForLine("ObserveTask shown none"), 0);
    const QByteArray pid = QByteArray::number(icons->pid());
    icons->stop();
    const QByteArray err = icons->errors();
    EXPECT_EQ(err.count("no notification area"), 1) << err.data();
    EXPECT_EQ(err.count('\n'), 1) << err.data();
    EXPECT_TRUE(err.contains("kill " + pid)) << err.data();
    const QByteArray call = "gdbus call --session --dest jp.qor.Morvex.Instance" + pid +
                            " --object-path /jp/qor/Morvex --method jp.qor.Morvex.SaveAndQuit";
    EXPECT_TRUE(err.contains(call)) << err.data();
    EXPECT_LT(err.indexOf(call), err.indexOf("kill " + pid)) << "the call that saves comes first";

    // Without a session bus only the signal can end it.
    QProcessEnvironment env = environment(true);
    env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path="_s + m_root.filePath(u"no-bus"_s));
    env.remove(u"DISPLAY"_s);
    ChildProcess alone(QString::fromUtf8(TRAY_PROBE), {u"ObserveTask"_s}, env);
    ASSERT_GE(alone.waitForLine("ObserveTask shown none"), 0);
    const QByteArray alonePid = QByteArray::number(alone.pid());
    alone.stop();
    const QByteArray aloneErr = alone.errors();
    EXPECT_TRUE(aloneErr.contains("\"kill " + alonePid + "\"\n")) << aloneErr.data();
    EXPECT_FALSE(aloneErr.contains("gdbus")) << aloneErr.data();
}

TEST_F(DesktopTest, SaveAndQuitOverDBusSavesTheSettingsAndEndsWith0) {
    auto program = morvex({u"/idle"_s});
    ASSERT_TRUE(program->running());
    ASSERT_TRUE(waitUntil([&] { return nameHasOwner(instanceName(*program)); }));
    EXPECT_FALSE(QFileInfo::exists(storePath()));
    EXPECT_EQ(gdbusCall(instanceName(*program), u"SaveAndQuit"_s), "()");
    EXPECT_EQ(program->waitForExit(), 0);
    QFile store(storePath());
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    const QByteArray saved = store.readAll();
    EXPECT_TRUE(saved.contains("\\Software\\QOR\\Morvex\\System]")) << saved.data();
    EXPECT_TRUE(saved.contains("\\Software\\QOR\\Morvex\\File]")) << saved.data();
}

TEST_F(DesktopTest, TheSharedNameReachesTheFirstInstanceThenPassesOn) {
    auto first = morvex({u"/idle"_s});
    ASSERT_TRUE(waitUntil([&] { return nameHasOwner(instanceName(*first)); }));
    auto second = morvex({u"/idle"_s});
    ASSERT_TRUE(waitUntil([&] { return nameHasOwner(instanceName(*second)); }));
    const auto sharedNameAt = [](const ChildProcess& instance) {
        return waitUntil([&] {
            const QByteArray owner = nameOwner(u"jp.qor.Morvex"_s);
            return !owner.isEmpty() && owner == nameOwner(instanceName(instance));
        });
    };
    ASSERT_TRUE(sharedNameAt(*first));
    EXPECT_EQ(gdbusCall(u"jp.qor.Morvex"_s, u"SaveAndQuit"_s), "()");
    EXPECT_EQ(first->waitForExit(), 0);
    EXPECT_TRUE(second->running());
    ASSERT_TRUE(sharedNameAt(*second));
    EXPECT_EQ(gdbusCall(u"jp.qor.Morvex"_s, u"SaveAndQuit"_s), "()");
    EXPECT_EQ(second->waitForExit(), 0);
}

TEST_F(DesktopTest, WithoutASessionBusTheRequestsAreSkippedSilently) {
    QProcessEnvironment env = environment(true);
    env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path="_s + m_root.filePath(u"no-bus"_s));
    env.remove(u"DISPLAY"_s);
    ChildProcess program(QString::fromUtf8(MORVEX_PROGRAM), {u"/idle"_s}, env);
    ASSERT_TRUE(program.running());
    // Idle without complaint (it tries the bus at its first turn of events) until it is told to
    // end, the other way.
    ASSERT_TRUE(waitUntilIdle(program.pid()));
    ASSERT_TRUE(program.running());
    program.kill(SIGTERM);
    EXPECT_EQ(program.waitForExit(), 0);
    EXPECT_EQ(program.errors(), QByteArray());
}

} // namespace
} // namespace morvex::test
