// The pieces of the program start: the mode switch, the display check, the quit signals and the
// lines that stand in for dialogs without a desktop.
#include "ConsoleReports.h"
#include "DisplayProbe.h"
#include "QuitSignals.h"
#include "RunMode.h"

#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace morvex {
namespace {

using namespace Qt::StringLiterals;

TEST(RunModeTest, OnlyTheWholeFirstArgumentInItsFourFormsChoosesAMode) {
    const std::pair<QStringList, RunMode> rows[] = {
        {{}, RunMode::Interactive},
        {{u"/a"_s}, RunMode::AutoRun},
        {{u"-a"_s}, RunMode::AutoRun},
        {{u"/A"_s}, RunMode::AutoRun},
        {{u"-A"_s}, RunMode::AutoRun},
        {{u"/c"_s}, RunMode::ConvertOnce},
        {{u"-C"_s}, RunMode::ConvertOnce},
        {{u"/o"_s}, RunMode::Observe},
        {{u"-O"_s}, RunMode::Observe},
        {{u"/w"_s}, RunMode::WatchApp},
        {{u"-W"_s}, RunMode::WatchApp},
        {{u"/c"_s, u"/w"_s}, RunMode::ConvertOnce},
        {{u"/x"_s, u"/c"_s}, RunMode::Idle},
        {{u"A"_s}, RunMode::Idle},
        {{u"a"_s}, RunMode::Idle},
        {{u"/auto"_s}, RunMode::Idle},
        {{u"/c "_s}, RunMode::Idle},
        {{u"--c"_s}, RunMode::Idle},
        {{u"\\c"_s}, RunMode::Idle},
        {{u"/ｃ"_s}, RunMode::Idle},
        {{u""_s}, RunMode::Idle},
        {{u"/"_s}, RunMode::Idle},
    };
    for (const auto& [arguments, mode] : rows)
        EXPECT_EQ(runModeFor(arguments), mode) << arguments.join(u' ').toStdString();
}

TEST(RunModeTest, QtsOwnOptionsComeOffWhereverTheyStandAndTheRestStays) {
    const std::pair<QStringList, QStringList> rows[] = {
        {{u"-style"_s, u"Fusion"_s}, {}},
        {{u"-style=Fusion"_s, u"/c"_s}, {u"/c"_s}},
        {{u"--style"_s, u"Fusion"_s, u"/a"_s, u"x"_s}, {u"/a"_s, u"x"_s}},
        {{u"/a"_s, u"-platform"_s, u"xcb"_s, u"%1"_s}, {u"/a"_s, u"%1"_s}},
        {{u"-display"_s, u":1"_s, u"-reverse"_s, u"-widgetcount"_s, u"/o"_s}, {u"/o"_s}},
        {{u"-qwindowtitle"_s, u"/c"_s, u"/w"_s}, {u"/w"_s}}, // a value may look like a switch
        {{u"-stylesheet"_s, u"a.qss"_s, u"-qmljsdebugger=port:1"_s}, {}},
        {{u"-a"_s, u"-c"_s, u"-x"_s, u"-styles"_s}, {u"-a"_s, u"-c"_s, u"-x"_s, u"-styles"_s}},
        {{u"/c"_s, u"-"_s, u"--"_s}, {u"/c"_s, u"-"_s, u"--"_s}},
    };
    for (const auto& [given, left] : rows)
        EXPECT_EQ(withoutToolkitOptions(given), left) << given.join(u' ').toStdString();
}

TEST(ConsoleReportsTest, EachReportIsOneLineInTheDialogsWords) {
    EXPECT_EQ(resultLine("/up/メモ.up", 2, 1),
              "変換結果: ﾌｧｲﾙ: /up/メモ.up, ﾍｯﾀﾞ変換数: 1個, ﾌｯﾀ変換数: 2個");
    // A path is written as the file system has it, even when it is no valid UTF-8.
    EXPECT_EQ(resultLine("/up/\x83\x81.up", 0, 3),
              "変換結果: ﾌｧｲﾙ: /up/\x83\x81.up, ﾍｯﾀﾞ変換数: 3個, ﾌｯﾀ変換数: 0個");
    EXPECT_EQ(resultLine("/up/two\nlines.up", 1, 0),
              "変換結果: ﾌｧｲﾙ: /up/two lines.up, ﾍｯﾀﾞ変換数: 0個, ﾌｯﾀ変換数: 1個");
    EXPECT_EQ(messageLine(u"エラー"_s, u"フッタリストが開けませんでした"_s),
              "エラー: フッタリストが開けませんでした");
    EXPECT_EQ(messageLine(u"Morvex"_s, u"'X' の取得に失敗しました\r\nfile.reg"_s),
              "Morvex: 'X' の取得に失敗しました  file.reg");
}

// A listening Unix socket standing in for a display server.
class FakeServer {
public:
    explicit FakeServer(const QString& path) {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray bytes = path.toUtf8();
        std::memcpy(address.sun_path, bytes.constData(), static_cast<size_t>(bytes.size()));
        m_listening = ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                      ::listen(m_fd, 4) == 0;
    }
    ~FakeServer() { ::close(m_fd); }
    bool listening() const { return m_listening; }

private:
    int m_fd = -1;
    bool m_listening = false;
};

TEST(DisplayProbeTest, ADisplayCountsOnlyWhenItsServerAnswers) {
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const QByteArray dir = QFile::encodeName(runtime.path());
    EXPECT_FALSE(displayReachable({}));
    EXPECT_FALSE(displayReachable({{}, "wayland-9", dir}));
    EXPECT_FALSE(displayReachable({"nonsense", {}, {}}));
    EXPECT_FALSE(displayReachable({":x", {}, {}}));

    FakeServer wayland(runtime.filePath(u"wayland-9"_s));
    ASSERT_TRUE(wayland.listening());
    EXPECT_TRUE(displayReachable({{}, "wayland-9", dir}));
    EXPECT_TRUE(displayReachable({{}, dir + "/wayland-9", {}}));
    EXPECT_FALSE(displayReachable({{}, "wayland-9", {}}));
    // A stale X display beside a live Wayland one still leaves a desktop.
    EXPECT_TRUE(displayReachable({":99999.0", "wayland-9", dir}));
}

TEST(DisplayProbeTest, ATcpDisplayAnswersOnItsPort) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int display = -1;
    for (int n = 50; n < 100 && display < 0; ++n) {
        address.sin_port = htons(static_cast<uint16_t>(6000 + n));
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            display = n;
    }
    ASSERT_GE(display, 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    const QByteArray name = "127.0.0.1:" + QByteArray::number(display);
    EXPECT_TRUE(displayReachable({name + ".0", {}, {}}));
    ::close(fd);
    EXPECT_FALSE(displayReachable({name, {}, {}}));
}

TEST(QuitSignalsTest, EachQuitSignalArrivesOnTheEventLoop) {
    QuitSignals quitSignals;
    ASSERT_TRUE(quitSignals.isActive());
    QList<int> received;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &quitSignals,
                     [&received](int number) { received << number; });
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        ::raise(number);
        // Delivered through the event loop, never from inside the C handler.
        EXPECT_FALSE(received.contains(number));
        EXPECT_TRUE(QTest::qWaitFor([&] { return received.contains(number); }));
    }
    EXPECT_EQ(received, (QList<int>{SIGTERM, SIGINT, SIGHUP}));
}

} // namespace
} // namespace morvex
