// The start of each mode and the steps of /a, /o and /w with a host that records what they ask
// for; the timer handlers are called directly, the started programs are the child recorder. Last,
// the desktop-less host on its own.
#include "modes/Unattended.h"

#include "engine/detail/Sys.h"
#include "modes/DesktopLessHost.h"
#include "modes/ModeHost.h"
#include "modes/ProcessEnd.h"
#include "tests/support/Programs.h"
#include "tests/support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <set>

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

const QString kChild = QString::fromUtf8(MORVEX_TEST_CHILD);

class Modes : public ::testing::Test {
protected:
    void SetUp() override {
        write("f.mfl", "-- sig\r\n");
        write("h.mhl", "Re: \\H\r\n");
        write("a.up", "]Hi\r\n)\r\n");
        m_values.footerListPattern = path("f.mfl");
        m_values.headerListPattern = path("h.mhl");
        m_values.sources = {path("*.up")};
        setProcessEnder([this](int status) { m_endStatus = status; });
    }
    void TearDown() override { setProcessEnder({}); }

    std::string path(const std::string& name) const { return m_dir.file(name); }
    void write(const std::string& name, const std::string& bytes) const {
        m_dir.write(name, bytes);
    }
    std::string read(const std::string& name) const { return m_dir.read(name); }
    QString log() const { return QString::fromStdString(path("child.log")); }
    QString child(const QString& rest, int sleepMs = 0) const {
        return u"\"%1\" --log=\"%2\" --sleep=%3 %4"_s.arg(kChild, log()).arg(sleepMs).arg(rest);
    }

    // Records what the modes ask of their host, in the fixture's members.
    class RecordingHost : public ModeHost {
    public:
        RecordingHost(Modes& test, QStringList arguments)
            : m_test(test)
            , m_arguments(std::move(arguments)) {}

        QStringList arguments() const override { return m_arguments; }
        QString programPath() const override { return u"/opt/morvex/morvex"_s; }
        SettingFState settingF() override {
            ++m_test.m_settingFs;
            return m_test.m_setting;
        }
        ConvSettings passValues() override { return m_test.m_values; }
        ConvSettings conversionValues() override {
            ++m_test.m_convSettingsRead;
            return m_test.m_values;
        }
        void convertAll() override {
            m_test.m_passMs.push_back(QDateTime::currentMSecsSinceEpoch());
            m_test.m_engine.ConvertAll(m_test.m_values);
            if (m_test.m_duringPass)
                m_test.m_duringPass();
        }
        void engineError(const std::string& text, const std::string&) override {
            m_test.m_errors.push_back(text);
        }
        void skipConvertedOff() override { m_test.m_values.skipConverted = false; }
        void setAppRunIconVisible(bool visible) override { m_test.m_appRunIcon = visible; }
        void setObserveIconVisible(bool visible) override { m_test.m_observeIcon = visible; }
        void startFailed(const QString& command, const QString&) override {
            m_test.m_startFailures << command;
        }

    protected:
        void startInteractive() override { ++m_test.m_interactive; }
        ConvEngine& engine() override { return m_test.m_engine; }
        QTimer& appRunTimer() override { return m_test.m_appRunTimer; }
        QTimer& observeTimer() override { return m_test.m_observeTimer; }

    private:
        Modes& m_test;
        QStringList m_arguments;
    };

    UnattendedModes& make(const QStringList& arguments = {u"/a"_s}) {
        m_modes.reset();
        m_host = std::make_unique<RecordingHost>(*this, arguments);
        m_modes =
            std::make_unique<UnattendedModes>(*m_host, m_engine, m_appRunTimer, m_observeTimer);
        return *m_modes;
    }

    // Ticks AppRunTimer until the mode ends (bounded).
    void tickAppRunUntilEnd() {
        for (int i = 0; i < 100 && !m_endStatus; ++i)
            m_modes->AppRunTimerTimer();
    }

    TempDir m_dir;
    ConvEngine m_engine;
    ConvSettings m_values;
    SettingFState m_setting;
    QTimer m_appRunTimer;
    QTimer m_observeTimer;
    std::unique_ptr<RecordingHost> m_host;
    std::unique_ptr<UnattendedModes> m_modes;
    std::optional<int> m_endStatus;
    std::optional<bool> m_appRunIcon;
    std::optional<bool> m_observeIcon;
    std::vector<qint64> m_passMs;
    std::vector<std::string> m_errors;
    std::function<void()> m_duringPass;
    QStringList m_startFailures;
    int m_settingFs = 0;
    int m_convSettingsRead = 0;
    int m_interactive = 0;
};

TEST(AppRunInterval, TheStoredTextOrOneSecondWhenItWouldNeverTick) {
    EXPECT_EQ(appRunInterval(u"300"_s), 300);
    EXPECT_EQ(appRunInterval(u"1"_s), 1);
    for (const QString& text : {u"0"_s, u"-5"_s, u"abc"_s, QString(), u"12x"_s})
        EXPECT_EQ(appRunInterval(text), 1000) << text.toStdString();
}

TEST_F(Modes, StartDoesWhatEachModeDoesFirst) {
    // The stored settings are the design's: "/a" converts at once, "/w" has no program to watch.
    struct Row {
        RunMode mode;
        int interactive;
        std::size_t passes;
        std::optional<int> end;
        bool unattended;
        bool watching;
    };
    const Row rows[] = {
        {RunMode::Interactive, 1, 0, std::nullopt, false, false},
        {RunMode::ConvertOnce, 0, 1, 0, false, false},
        {RunMode::AutoRun, 0, 1, 0, true, false},
        {RunMode::Observe, 0, 0, std::nullopt, true, true},
        {RunMode::WatchApp, 0, 0, 0, true, false},
        {RunMode::Idle, 0, 0, std::nullopt, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.mode));
        m_endStatus.reset();
        m_passMs.clear();
        m_observeIcon.reset();
        m_interactive = 0;
        m_observeTimer.stop();
        RecordingHost host(*this, {});
        host.start(row.mode);
        EXPECT_EQ(m_interactive, row.interactive);
        EXPECT_EQ(m_passMs.size(), row.passes);
        EXPECT_EQ(m_endStatus, row.end);
        EXPECT_EQ(host.modes() != nullptr, row.unattended);
        EXPECT_EQ(m_observeTimer.isActive(), row.watching);
        EXPECT_EQ(m_observeIcon.value_or(false), row.watching);
        EXPECT_FALSE(m_appRunTimer.isActive());
    }
}

TEST_F(Modes, TheTimersOfAStartedModeTickIt) {
    RecordingHost host(*this, {u"/o"_s});
    host.start(RunMode::Observe);
    ASSERT_NE(host.modes(), nullptr);
    m_observeTimer.start(0);
    // The first tick takes the baseline.
    EXPECT_TRUE(QTest::qWaitFor([&] { return host.modes()->Watch.ObserveStarted(); }));
}

TEST_F(Modes, AutoRunWithoutBeforeProgramConvertsStartsTheAfterProgramAndEnds) {
    m_setting.AfterRunChk = true;
    m_setting.AfterApp = child(u"%2 %0 %5"_s);
    make({u"/a"_s, u"受信.up"_s}).startAutoRun();

    EXPECT_EQ(m_endStatus, 0);
    EXPECT_EQ(m_passMs.size(), 1u);
    EXPECT_FALSE(m_appRunIcon.has_value()); // no icon, no wait
    EXPECT_FALSE(m_appRunTimer.isActive());
    EXPECT_EQ(read("a.up"), "Re: Hi\r\n-- sig\r\n");
    EXPECT_EQ(m_settingFs, 2); // read fresh before the pass and again after it
    const QList<ChildRun> runs = waitForChildRuns(log(), 1);
    ASSERT_EQ(runs.size(), 1);
    // %2 the first argument after the switch, %0 the program, %5 beyond the arguments.
    EXPECT_EQ(runs[0].arguments.join(u'|'), u"受信.up|/opt/morvex/morvex"_s);
    EXPECT_GE(runs[0].startMs, m_passMs[0]);
}

TEST_F(Modes, AutoRunWaitsForTheBeforeProgramThenConvertsAndStartsTheAfterProgram) {
    m_setting.BeforeRunChk = true;
    m_setting.BeforeApp = child(u"before"_s, 300);
    m_setting.AfterRunChk = true;
    m_setting.AfterApp = child(u"after"_s);
    m_setting.AppWaitTime = u"300"_s;
    UnattendedModes& modes = make();
    modes.startAutoRun();

    EXPECT_EQ(m_appRunIcon, true);
    EXPECT_TRUE(m_appRunTimer.isActive());
    EXPECT_EQ(m_appRunTimer.interval(), 300);
    EXPECT_FALSE(m_endStatus.has_value());
    modes.AppRunTimerTimer(); // still running: nothing happens
    EXPECT_TRUE(m_passMs.empty());
    tickAppRunUntilEnd();

    EXPECT_EQ(m_endStatus, 0);
    EXPECT_FALSE(m_appRunTimer.isActive());
    ASSERT_EQ(m_passMs.size(), 1u);
    const QList<ChildRun> runs = waitForChildRuns(log(), 2);
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].arguments, QStringList{u"before"_s});
    EXPECT_EQ(runs[1].arguments, QStringList{u"after"_s});
    EXPECT_LE(runs[0].endMs, m_passMs[0]);
    EXPECT_GE(runs[1].startMs, m_passMs[0]);
}

TEST_F(Modes, AutoRunWithAnEmptyOrMissingBeforeProgramConvertsAtTheFirstTick) {
    for (const QString& command : {QString(), u"morvex-no-such-tool %2"_s}) {
        SCOPED_TRACE(command.toStdString());
        m_endStatus.reset();
        m_passMs.clear();
        m_startFailures.clear();
        m_setting.BeforeRunChk = true;
        m_setting.BeforeApp = command;
        m_setting.AppWaitTime = u"0"_s; // would never tick
        UnattendedModes& modes = make();
        modes.startAutoRun();
        EXPECT_TRUE(m_appRunTimer.isActive());
        EXPECT_EQ(m_appRunTimer.interval(), 1000);
        modes.AppRunTimerTimer();
        EXPECT_EQ(m_passMs.size(), 1u);
        EXPECT_EQ(m_endStatus, 0);
        // Only a command that names something is reported as not started.
        EXPECT_EQ(m_startFailures.size(), command.isEmpty() ? 0 : 1);
    }
}

TEST_F(Modes, ATickOfAppRunTimerDuringItsOwnPassIsSkipped) {
    m_setting.BeforeRunChk = true;
    UnattendedModes& modes = make();
    modes.startAutoRun();
    int passesBefore = -1;
    m_duringPass = [&] {
        passesBefore = static_cast<int>(m_passMs.size());
        modes.AppRunTimerTimer(); // as a result dialog's loop would let it
    };
    modes.AppRunTimerTimer();
    EXPECT_EQ(passesBefore, 1);
    EXPECT_EQ(m_passMs.size(), 1u);
}

TEST_F(Modes, ObserveShowsTheIconAndWatchesWithoutSkippingConvertedFiles) {
    UnattendedModes& modes = make({u"/o"_s});
    modes.startObserve();
    EXPECT_EQ(m_observeIcon, true);
    EXPECT_TRUE(m_observeTimer.isActive());
    EXPECT_EQ(m_observeTimer.interval(), 2000);
    EXPECT_FALSE(m_appRunTimer.isActive());
    EXPECT_FALSE(m_values.skipConverted);

    modes.ObserveTimerTimer(); // baseline
    EXPECT_TRUE(modes.Watch.ObserveStarted());
    write("b.up", ")\r\n");
    modes.ObserveTimerTimer();
    EXPECT_EQ(read("b.up"), "-- sig\r\n");
    EXPECT_EQ(read("a.up"), "]Hi\r\n)\r\n");
    EXPECT_FALSE(m_endStatus.has_value());
}

// One generator for the whole run: files saved in the same second (here, with a clock that
// stands still) still get draws of their own; a second run from the same seed repeats them.
TEST_F(Modes, FilesSavedTogetherUnderTheWatchGetDifferentDraws) {
    std::string footers;
    for (int i = 1; i <= 50; ++i)
        footers += "F" + std::to_string(i) + "\r\n";
    write("f.mfl", footers);
    std::vector<std::set<std::string>> runs;
    for (const bool watchApp : {false, true}) {
        m_engine.setClock([] { return 1700000000u; });
        m_setting.WatchApp = child(QString(), 3000);
        UnattendedModes& modes = make({watchApp ? u"/w"_s : u"/o"_s});
        watchApp ? modes.startWatchApp() : modes.startObserve();
        modes.ObserveTimerTimer(); // baseline
        for (int i = 0; i < 10; ++i)
            write("f" + std::to_string(i) + ".up", ")\r\n)\r\n)\r\n");
        modes.ObserveTimerTimer();
        std::set<std::string>& texts = runs.emplace_back();
        for (int i = 0; i < 10; ++i)
            texts.insert(read("f" + std::to_string(i) + ".up"));
        EXPECT_EQ(texts.size(), 10u) << (watchApp ? "/w" : "/o");
        EXPECT_EQ(texts.count(")\r\n)\r\n)\r\n"), 0u);
        m_observeTimer.stop();
        m_modes.reset();
    }
    EXPECT_EQ(runs[0], runs[1]) << "the clock's seed, once per run";
}

TEST_F(Modes, AFinishedSaveIsConvertedAtOnceAndALookReadsItsValuesOnce) {
    UnattendedModes& modes = make({u"/o"_s});
    modes.startObserve();
    modes.ObserveTimerTimer(); // baseline: the pools are built in the stored encoding
    m_convSettingsRead = 0;
    for (const char* name : {"b.up", "c.up", "d.up"})
        write(name, ")\r\n");
    modes.ObserveTimerTimer();
    EXPECT_EQ(m_convSettingsRead, 1);
    EXPECT_EQ(read("d.up"), "-- sig\r\n");

    // Nothing here connects the timer to the tick: only the kernel's word converts the save.
    write("e.up", ")\r\n");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (read("e.up") != "-- sig\r\n" && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(read("e.up"), "-- sig\r\n");
    EXPECT_EQ(read("e.bak"), ")\r\n");
}

TEST_F(Modes, AWatchConversionThatFailsTellsOnceUntilTheFileChanges) {
    UnattendedModes& modes = make({u"/o"_s});
    modes.startObserve();
    modes.ObserveTimerTimer();
    write("b.up", ")\r\n");
    // Every swap and rename fails: the new text can never be put in place.
    const sys::Calls saved = sys::calls();
    const auto fail = [](const char*, const char*) {
        errno = EIO;
        return -1;
    };
    sys::calls().exchange = fail;
    sys::calls().rename = fail;
    for (int i = 0; i < 4; ++i)
        modes.ObserveTimerTimer();
    sys::calls() = saved;
    EXPECT_EQ(m_errors.size(), 1u);
    EXPECT_EQ(read("b.up"), ")\r\n");
    modes.ObserveTimerTimer(); // works again: the same file converts now
    EXPECT_EQ(read("b.up"), "-- sig\r\n");
    EXPECT_EQ(m_errors.size(), 1u);
}

TEST_F(Modes, WatchAppThatCannotStartEndsAtOnce) {
    for (const QString& command : {QString(), u"morvex-no-such-tool"_s}) {
        SCOPED_TRACE(command.toStdString());
        m_endStatus.reset();
        m_observeIcon.reset();
        m_startFailures.clear();
        m_setting.WatchApp = command;
        make({u"/w"_s}).startWatchApp();
        EXPECT_EQ(m_endStatus, 0);
        EXPECT_FALSE(m_observeIcon.has_value());
        EXPECT_FALSE(m_observeTimer.isActive() || m_appRunTimer.isActive());
        EXPECT_EQ(m_startFailures.size(), command.isEmpty() ? 0 : 1);
    }
}

TEST_F(Modes, WatchAppEndsThroughAppRunTimerWithAFullPassThatRebuildsThePools) {
    m_setting.WatchApp = child(u"%2"_s, 300); // no placeholder expansion for /w
    m_setting.AfterRunChk = true;             // AfterApp is empty outside /a: nothing starts
    UnattendedModes& modes = make({u"/w"_s, u"x"_s});
    modes.startWatchApp();
    EXPECT_EQ(m_observeIcon, true);
    EXPECT_EQ(m_appRunTimer.interval(), 1234);
    EXPECT_TRUE(m_appRunTimer.isActive() && m_observeTimer.isActive());
    EXPECT_EQ(modes.ObserveTimerTag, 1);

    modes.ObserveTimerTimer(); // baseline, pools built
    write("f.mfl", "-- new sig\r\n");
    write("b.up", ")\r\n");
    modes.ObserveTimerTimer(); // watch conversion: the pools of the baseline
    EXPECT_EQ(read("b.up"), "-- sig\r\n");
    EXPECT_FALSE(m_endStatus.has_value());
    tickAppRunUntilEnd();
    EXPECT_EQ(m_endStatus, 0);
    EXPECT_EQ(m_passMs.size(), 1u);
    // The full pass rebuilt them and, skip-converted off, converted every file again.
    EXPECT_EQ(read("b.up"), "-- sig\r\n");
    EXPECT_EQ(read("a.up"), "Re: Hi\r\n-- new sig\r\n");
    const QList<ChildRun> runs = waitForChildRuns(log(), 1);
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].arguments, QStringList{u"%2"_s});
}

TEST_F(Modes, NoWatchLookRunsInsideTheFinalPassOfWatchApp) {
    m_setting.WatchApp = child(QString(), 600);
    UnattendedModes& modes = make({u"/w"_s});
    modes.startWatchApp();
    modes.ObserveTimerTimer(); // baseline, the program still running
    ASSERT_FALSE(m_endStatus.has_value());
    ASSERT_EQ(waitForChildRuns(log(), 1).size(), 1);
    write("b.up", ")\r\n");
    write("c.up", ")\r\n");
    int nested = 0;
    m_engine.setResultCallback([&](const FileResult&) {
        // A result dialog's event loop: the other timer and the kernel's word may come.
        const int before = m_convSettingsRead;
        modes.ObserveTimerTimer();
        QCoreApplication::processEvents();
        nested += m_convSettingsRead - before;
    });
    tickAppRunUntilEnd();
    EXPECT_EQ(m_endStatus, 0);
    EXPECT_EQ(m_passMs.size(), 1u);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(read("c.up"), "-- sig\r\n");
    EXPECT_EQ(read("c.bak"), ")\r\n");
}

TEST_F(Modes, WatchAppEndsThroughObserveTimerAfterItsPassWithoutAFullPass) {
    m_setting.WatchApp = child(QString(), 200);
    UnattendedModes& modes = make({u"/w"_s});
    modes.startWatchApp();
    modes.ObserveTimerTimer();
    EXPECT_FALSE(m_endStatus.has_value());
    ASSERT_EQ(waitForChildRuns(log(), 1).size(), 1);
    write("b.up", ")\r\n");
    modes.ObserveTimerTimer();
    EXPECT_EQ(m_endStatus, 0);
    EXPECT_FALSE(m_observeTimer.isActive());
    EXPECT_TRUE(m_passMs.empty());
    EXPECT_EQ(read("b.up"), "-- sig\r\n"); // its own watch pass ran first
}

TEST_F(Modes, WithoutADesktopConvertOnceWritesALinePerFileWithInsertionsAsTheResultGroupSays) {
    write("b.up", "no markers\r\n");
    MainWindowSettings fields;
    fields.SrcFile = {QString::fromStdString(path("*.up"))};
    fields.FFile = QString::fromStdString(path("f.mfl"));
    fields.HFile = QString::fromStdString(path("h.mhl"));
    const QString store = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                          u"/morvex/settings.reg"_s;
    ASSERT_TRUE(QDir().mkpath(QFileInfo(store).path()));
    for (const bool show : {true, false}) {
        SCOPED_TRACE(show);
        write("a.up", "]Hi\r\n)\r\n");
        QFile file(store);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("Windows Registry Editor Version 5.00\n\n"
                   "[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\Result]\n");
        file.write(show ? "\"ShowResult\"=dword:00000001\n\"NotShowResult\"=dword:00000000\n"
                        : "\"ShowResult\"=dword:00000000\n\"NotShowResult\"=dword:00000001\n");
        file.close();
        m_endStatus.reset();
        std::FILE* lines = std::tmpfile();
        ASSERT_NE(lines, nullptr);
        DesktopLessHost(fields, {u"/c"_s}, LoadWrites::Discarded, lines)
            .start(RunMode::ConvertOnce);
        EXPECT_EQ(m_endStatus, 0);
        EXPECT_EQ(read("a.up"), "Re: Hi\r\n-- sig\r\n");
        std::rewind(lines);
        char text[1024] = {};
        EXPECT_LT(std::fread(text, 1, sizeof text - 1, lines), sizeof text - 1);
        std::fclose(lines);
        // b.up had nothing to insert: no line.
        EXPECT_EQ(std::string(text),
                  show ? "変換結果: ﾌｧｲﾙ: " + path("a.up") + ", ﾍｯﾀﾞ変換数: 1個, ﾌｯﾀ変換数: 1個\n"
                       : std::string());
    }
    QFile::remove(store);
}

} // namespace
} // namespace morvex::test
