// The built program in /a, /o and /w without a desktop, with the child recorder as the before,
// after and watched program. Real timing, each run bounded.
#include "settings/SettingsStore.h"
#include "tests/app/ProgramFixture.h"
#include "tests/app/WatchProbe.h"
#include "tests/support/Programs.h"
#include "tests/support/StoreFiles.h"
#include "tests/support/Wait.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

constexpr int kHangGuardMs = 30000;
const QString kChild = QString::fromUtf8(MORVEX_TEST_CHILD);
const QByteArray kMarked = "]Hello\r\n)\r\n";
const QByteArray kConverted = "Re: Hello\r\n-- sig\r\n";

class ModesProgram : public ProgramFixture {
protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        ASSERT_TRUE(writeBytes(work(u"a.up"_s), kMarked));
    }

    QString log() const { return root(u"child.log"_s); }
    QString child(const QString& rest, int sleepMs = 0) const {
        return u"\"%1\" --log=\"%2\" --sleep=%3 %4"_s.arg(kChild, log()).arg(sleepMs).arg(rest);
    }

    // The File group and `extra`.
    void writeStore(const QList<StoreSection>& extra) const {
        ProgramFixture::writeStore(QList<StoreSection>{fileGroup()} + extra);
    }

    void start(QProcess& process, const QStringList& arguments) const {
        launch(process, arguments, environment());
        ASSERT_TRUE(process.waitForStarted());
    }

    void finish(QProcess& process, int timeoutMs = kHangGuardMs) {
        EXPECT_TRUE(endedWithin(process, timeoutMs)) << "the program did not end";
        m_endedMs = QDateTime::currentMSecsSinceEpoch();
        m_out = process.readAllStandardOutput();
        m_err = process.readAllStandardError();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        m_exitCode = process.exitCode();
    }

    void run(const QStringList& arguments) {
        QProcess process;
        start(process, arguments);
        finish(process);
    }

    QByteArray resultLine(const QString& name) const {
        return "変換結果: ﾌｧｲﾙ: " + work(name).toUtf8() + ", ﾍｯﾀﾞ変換数: 1個, ﾌｯﾀ変換数: 1個\n";
    }

    QByteArray m_out;
    QByteArray m_err;
    int m_exitCode = -1;
    qint64 m_endedMs = 0;
};

TEST_F(ModesProgram, AutoRunWaitsForTheBeforeProgramAndLeavesTheAfterProgramRunning) {
    writeStore({{u"AppRun"_s,
                 {numberValue(u"BeforeCheck"_s, 1),
                  textValue(u"BeforeApp"_s, child(u"before %2 %0 %5"_s, 400)),
                  numberValue(u"AfterCheck"_s, 1), textValue(u"AfterApp"_s, child(u"after"_s, 700)),
                  numberValue(u"WaitTime"_s, 300)}}});
    run({u"/a"_s, u"受信.up"_s});

    EXPECT_EQ(m_exitCode, 0);
    EXPECT_EQ(m_out, resultLine(u"a.up"_s));
    EXPECT_EQ(m_err, QByteArray());
    EXPECT_EQ(readBytes(work(u"a.up"_s)), kConverted);
    // Morvex has ended; the after program is still running and finishes on its own.
    ASSERT_EQ(childRuns(log()).size(), 1);
    const QList<ChildRun> runs = waitForChildRuns(log(), 2);
    ASSERT_EQ(runs.size(), 2);
    const ChildRun& before = runs[0];
    const ChildRun& after = runs[1];
    EXPECT_EQ(before.arguments,
              (QStringList{u"before"_s, u"受信.up"_s, QString::fromUtf8(MORVEX_PROGRAM)}));
    EXPECT_LE(before.endMs, epochMs(work(u"a.up"_s)));
    EXPECT_GE(after.startMs, epochMs(work(u"a.up"_s)));
    EXPECT_GT(after.endMs, m_endedMs);
    for (const ChildRun& started : runs) {
        EXPECT_TRUE(started.sessionLeader);
        EXPECT_EQ(started.descriptors.join(u','), u"0,1,2"_s);
        EXPECT_EQ(started.directory, QDir(work(QString())).canonicalPath());
    }
}

TEST_F(ModesProgram, AutoRunWithAnEmptyBeforeProgramConvertsAfterOneInterval) {
    writeStore(
        {{u"AppRun"_s, {numberValue(u"BeforeCheck"_s, 1)}},
         {u"Result"_s, {numberValue(u"ShowResult"_s, 0), numberValue(u"NotShowResult"_s, 1)}}});
    QElapsedTimer clock;
    clock.start();
    run({u"/a"_s});
    EXPECT_GE(clock.elapsed(), 900); // the stored interval, 1000 ms by default
    EXPECT_EQ(m_exitCode, 0);
    EXPECT_EQ(m_out, QByteArray());
    EXPECT_EQ(m_err, QByteArray());
    EXPECT_EQ(readBytes(work(u"a.up"_s)), kConverted);
}

TEST_F(ModesProgram, AnAfterProgramThatCannotStartIsOneLineOnStderr) {
    writeStore({{u"AppRun"_s,
                 {numberValue(u"AfterCheck"_s, 1),
                  textValue(u"AfterApp"_s, u"morvex-no-such-program %1"_s)}}});
    run({u"-a"_s});
    EXPECT_EQ(m_exitCode, 0);
    EXPECT_EQ(m_out, resultLine(u"a.up"_s));
    EXPECT_EQ(m_err,
              "morvex: cannot start \"morvex-no-such-program -a\": No such file or directory\n");
}

TEST_F(ModesProgram, ObserveConvertsEachSaveAfterTheBaselineOnceAndSavesOnSigterm) {
    writeStore({});
    QProcess process;
    start(process, {u"/o"_s});
    // Saved while the program starts, before its first look (2 s in): never converted.
    ASSERT_TRUE(writeBytes(work(u"a.up"_s), kMarked + "x\r\n"));
    ASSERT_TRUE(waitForFirstLook(work(QString()), 1000)) << "the watch never converted a probe";
    ASSERT_TRUE(writeBytes(work(u"b.up"_s), kMarked));
    EXPECT_TRUE(waitUntil([&] { return readBytes(work(u"b.up"_s)) == kConverted; }));
    // At least one more look (every 2 s) converts nothing a second time.
    QThread::msleep(2200);
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    finish(process);

    EXPECT_EQ(m_exitCode, 0);
    EXPECT_EQ(withoutProbes(m_out), resultLine(u"b.up"_s));
    EXPECT_EQ(m_err, QByteArray());
    EXPECT_EQ(readBytes(work(u"b.bak"_s)), kMarked);
    EXPECT_EQ(readBytes(work(u"a.up"_s)), kMarked + "x\r\n");
    SettingsStore store(storePath());
    EXPECT_TRUE(store.StoreOpen(u"\\Software\\QOR\\Morvex\\System"_s, false));
    EXPECT_TRUE(store.ValuePresent(u"Version"_s));
}

TEST_F(ModesProgram, ObserveTakesTheListsOfTheRuleThatMatchesASave) {
    ASSERT_TRUE(writeBytes(work(u"one.mfl"_s), "-- one\r\n"));
    writeStore({{u"Rules"_s,
                 {numberValue(u"Count"_s, 1), textValue(u"Pattern1"_s, u"r*.up"_s),
                  textValue(u"FooterList1"_s, work(u"one.mfl"_s))}}});
    QProcess process;
    start(process, {u"/o"_s});
    ASSERT_TRUE(waitForFirstLook(work(QString()), 1000)) << "the watch never converted a probe";
    ASSERT_TRUE(writeBytes(work(u"r.up"_s), kMarked));
    ASSERT_TRUE(writeBytes(work(u"b.up"_s), kMarked));
    EXPECT_TRUE(waitUntil([&] {
        return readBytes(work(u"r.up"_s)) == "Re: Hello\r\n-- one\r\n" &&
               readBytes(work(u"b.up"_s)) == kConverted;
    })) << readBytes(work(u"r.up"_s)).toStdString();
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    finish(process);
    EXPECT_EQ(m_exitCode, 0);
    EXPECT_EQ(m_err, QByteArray());
}

TEST_F(ModesProgram, WatchAppEndsAfterItsProgramAndThatProgramInheritsNoDescriptor) {
    writeStore({{u"Watch"_s, {textValue(u"WatchApp"_s, child(u"watched %2"_s, 1500))}}});
    QElapsedTimer clock;
    clock.start();
    run({u"/w"_s, u"x"_s});
    EXPECT_EQ(m_exitCode, 0);
    EXPECT_LT(clock.elapsed(), 6000);
    const QList<ChildRun> runs = childRuns(log());
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].arguments, (QStringList{u"watched"_s, u"%2"_s}));
    EXPECT_EQ(runs[0].descriptors.join(u','), u"0,1,2"_s);
    EXPECT_LE(runs[0].endMs, m_endedMs);
}

TEST_F(ModesProgram, WatchAppWithAnEmptyOrMissingProgramEndsAtOnce) {
    for (const QString& command : {QString(), u"morvex-no-such-program"_s}) {
        SCOPED_TRACE(command.toStdString());
        writeStore({{u"Watch"_s, {textValue(u"WatchApp"_s, command)}}});
        QElapsedTimer clock;
        clock.start();
        run({u"/w"_s});
        EXPECT_EQ(m_exitCode, 0);
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_EQ(m_out, QByteArray());
        EXPECT_EQ(m_err.count('\n'), command.isEmpty() ? 0 : 1) << m_err.toStdString();
        EXPECT_EQ(readBytes(work(u"a.up"_s)), kMarked);
    }
}

} // namespace
} // namespace morvex::test
