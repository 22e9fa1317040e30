// What each mode does first, as ModeHost::start tells it, and the desktop-less host's passes and
// result lines.
#include "modes/ModeHost.h"

#include "modes/DesktopLessHost.h"
#include "modes/ProcessEnd.h"
#include "modes/Unattended.h"

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

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

// A host that counts what start asks of it; the stored settings are the design defaults, so
// "/a" converts at once and "/w" has no program to watch.
class CountingHost : public ModeHost {
public:
    QStringList arguments() const override { return {}; }
    SettingFState settingF() override { return {}; }
    ConvSettings passValues() override { return {}; }
    ConvSettings conversionValues() override { return {}; }
    void convertAll() override { ++passes; }
    void engineError(const std::string&, const std::string&) override {}
    void skipConvertedOff() override {}
    void setObserveIconVisible(bool visible) override { observeIcon = visible; }

    int interactive = 0;
    int passes = 0;
    std::optional<bool> observeIcon;
    QTimer appRun;
    QTimer observe;
    ConvEngine conv;

protected:
    void startInteractive() override { ++interactive; }
    ConvEngine& engine() override { return conv; }
    QTimer& appRunTimer() override { return appRun; }
    QTimer& observeTimer() override { return observe; }
};

class ModeHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        setProcessEnder([this](int status) { endStatus = status; });
    }
    void TearDown() override { setProcessEnder({}); }

    std::optional<int> endStatus;
};

TEST_F(ModeHostTest, StartDoesWhatEachModeDoesFirst) {
    struct Row {
        RunMode mode;
        int interactive;
        int passes;
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
        endStatus.reset();
        CountingHost host;
        host.start(row.mode);
        EXPECT_EQ(host.interactive, row.interactive);
        EXPECT_EQ(host.passes, row.passes);
        EXPECT_EQ(endStatus, row.end);
        EXPECT_EQ(host.modes() != nullptr, row.unattended);
        EXPECT_EQ(host.observe.isActive(), row.watching);
        EXPECT_EQ(host.observeIcon.value_or(false), row.watching);
        EXPECT_FALSE(host.appRun.isActive());
    }
}

TEST_F(ModeHostTest, TheTimersOfAStartedModeTickIt) {
    CountingHost host;
    host.start(RunMode::Observe);
    ASSERT_NE(host.modes(), nullptr);
    ASSERT_FALSE(host.modes()->Watch.ObserveStarted());
    host.observe.start(0);
    // The first tick takes the baseline.
    EXPECT_TRUE(QTest::qWaitFor([&] { return host.modes()->Watch.ObserveStarted(); }));
}

// The desktop-less host on real files, with a settings file of its own.
class DesktopLessTest : public ModeHostTest {
protected:
    void SetUp() override {
        ModeHostTest::SetUp();
        ASSERT_TRUE(m_dir.isValid());
        write("f.mfl", "-- sig\r\n");
        write("h.mhl", "Re: \\H\r\n");
        write("a.up", "]Hi\r\n)\r\n");
        write("b.up", "no markers\r\n");
        m_fields.SrcFile = {m_dir.filePath(u"*.up"_s)};
        m_fields.FFile = m_dir.filePath(u"f.mfl"_s);
        m_fields.HFile = m_dir.filePath(u"h.mhl"_s);
    }
    void TearDown() override {
        QFile::remove(storePath());
        ModeHostTest::TearDown();
    }

    void write(const char* name, const std::string& bytes) const {
        std::ofstream(m_dir.filePath(QString::fromUtf8(name)).toStdString(),
                      std::ios::binary | std::ios::trunc)
            << bytes;
    }
    std::string read(const char* name) const {
        std::ifstream in(m_dir.filePath(QString::fromUtf8(name)).toStdString(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static QString storePath() {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               u"/morvex/settings.reg"_s;
    }
    static void storeShowResult(bool show) {
        QDir().mkpath(QFileInfo(storePath()).absolutePath());
        QFile file(storePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("Windows Registry Editor Version 5.00\n\n"
                   "[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\Result]\n");
        file.write(show ? "\"ShowResult\"=dword:00000001\n\"NotShowResult\"=dword:00000000\n"
                        : "\"ShowResult\"=dword:00000000\n\"NotShowResult\"=dword:00000001\n");
    }
    static std::string textOf(std::FILE* file) {
        std::string text;
        std::rewind(file);
        for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
            text += static_cast<char>(c);
        return text;
    }

    QTemporaryDir m_dir;
    MainWindowSettings m_fields;
};

TEST_F(DesktopLessTest, ConvertOnceWritesALinePerFileWithInsertionsAsTheResultGroupSays) {
    for (const bool show : {true, false}) {
        SCOPED_TRACE(show);
        write("a.up", "]Hi\r\n)\r\n");
        storeShowResult(show);
        endStatus.reset();
        std::FILE* results = std::tmpfile();
        ASSERT_NE(results, nullptr);
        DesktopLessHost host(m_fields, {u"/c"_s}, results);
        host.start(RunMode::ConvertOnce);
        EXPECT_EQ(endStatus, 0);
        EXPECT_EQ(read("a.up"), "Re: Hi\r\n-- sig\r\n");
        const std::string line = "変換結果: ﾌｧｲﾙ: " + m_dir.filePath(u"a.up"_s).toStdString() +
                                 ", ﾍｯﾀﾞ変換数: 1個, ﾌｯﾀ変換数: 1個\n";
        EXPECT_EQ(textOf(results), show ? line : std::string());
        std::fclose(results);
    }
}

} // namespace
} // namespace morvex::test
