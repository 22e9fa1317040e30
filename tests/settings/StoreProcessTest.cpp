// Several processes on one store file: parallel saves lose nothing, and a writer killed at any
// moment leaves the old or the new file, whole.

#include "settings/RegDocument.h"
#include "settings/SettingsStore.h"
#include "tests/support/StoreFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <chrono>
#include <cstdio>
#include <signal.h>
#include <thread>

using namespace Qt::StringLiterals;
using morvex::test::StoreTest;
using namespace morvex;

namespace {

const QString writerProgram = QStringLiteral(STORE_WRITER_PATH);
// Under the sanitizers every process runs several times slower; fewer rounds still cover every
// path for the memory checks, while the plain build runs the full counts.
#if defined(__SANITIZE_ADDRESS__)
constexpr int savesPerProcess = 150;
constexpr int killRuns = 60;
#else
constexpr int savesPerProcess = 300;
constexpr int killRuns = 220;
#endif
constexpr int safetyMs = 240000; // only to end a hung run; nothing depends on speed

// Memory-backed when possible: the thousands of fsyncs then cost nothing, and nothing tested here
// depends on the data reaching a disk.
QString fastTempBase() {
    const QFileInfo shm(u"/dev/shm"_s);
    return shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
}

class ProcessTest : public StoreTest {
protected:
    ProcessTest()
        : StoreTest(fastTempBase()) {}

    void startWriter(QProcess& process, const QStringList& arguments) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, configDir());
        process.setProcessEnvironment(env);
        process.start(writerProgram, arguments);
        ASSERT_TRUE(process.waitForStarted()) << process.errorString().toStdString();
    }

    RegDocument parsedFile() {
        auto result = RegDocument::parse(storeBytes());
        if (auto* error = std::get_if<RegParseError>(&result)) {
            ADD_FAILURE() << error->message(storeFile()).toStdString();
            return RegDocument();
        }
        return std::get<RegDocument>(std::move(result));
    }

    // The last generation number the writer printed, from its whole output so far.
    static int lastPrinted(const QByteArray& output) {
        const QList<QByteArray> lines = output.trimmed().split('\n');
        return output.trimmed().isEmpty() ? 0 : lines.last().toInt();
    }
};

void expectProbe(const RegDocument& document, const QString& key, int count) {
    int missing = 0;
    for (int i = 0; i < count; ++i) {
        const RegValue* value = document.value(key, u"N"_s + QString::number(i));
        if (!value || value->number != i)
            ++missing;
    }
    EXPECT_EQ(missing, 0) << "values lost under " << key.toStdString();
}

} // namespace

TEST_F(ProcessTest, TwoProcessesSavingTogetherKeepEveryValue) {
    QElapsedTimer clock;
    clock.start();
    QProcess mainWindow;
    QProcess dialog;
    startWriter(mainWindow, {u"main"_s, QString::number(savesPerProcess)});
    startWriter(dialog, {u"dialog"_s, QString::number(savesPerProcess)});
    // Meanwhile read the file as any other reader would, without the lock: it must always parse.
    int readings = 0;
    int unparsable = 0;
    while (mainWindow.state() != QProcess::NotRunning || dialog.state() != QProcess::NotRunning) {
        ASSERT_LT(clock.elapsed(), safetyMs);
        if (QFile::exists(storeFile())) {
            ++readings;
            unparsable += std::holds_alternative<RegParseError>(RegDocument::parse(storeBytes()));
        }
        mainWindow.waitForFinished(20);
        dialog.waitForFinished(20);
    }
    EXPECT_EQ(unparsable, 0);
    EXPECT_EQ(mainWindow.exitCode(), 0) << mainWindow.readAllStandardError().toStdString();
    EXPECT_EQ(dialog.exitCode(), 0) << dialog.readAllStandardError().toStdString();

    const RegDocument document = parsedFile();
    expectProbe(document, u"Software\\QOR\\Morvex\\ProbeMain"_s, savesPerProcess);
    expectProbe(document, u"Software\\QOR\\Morvex\\ProbeDialog"_s, savesPerProcess);
    const int last = savesPerProcess - 1;
    EXPECT_EQ(document.value(u"Software\\QOR\\Morvex\\System"_s, u"WindowTop"_s)->number, last);
    EXPECT_EQ(document.value(u"Software\\QOR\\Morvex\\Result"_s, u"WaitTime"_s)->number, last % 11);
    EXPECT_EQ(document.value(u"Software\\QOR\\Morvex\\AppRun"_s, u"WaitTime"_s)->number, last);
    std::printf("[ figures  ] %d + %d saves (%d commits) in %lld ms; the file parsed at all %d "
                "readings taken meanwhile\n",
                savesPerProcess, savesPerProcess, 5 * savesPerProcess,
                static_cast<long long>(clock.elapsed()), readings);
}

TEST_F(ProcessTest, KilledWritersLeaveAWholeFile) {
    QRandomGenerator random(20261208);
    int reported = 0;
    int afterCommitBeforeReport = 0;
    int lockLeftBehind = 0;
    int noFileYet = 0;
    for (int run = 0; run < killRuns; ++run) {
        SCOPED_TRACE(run);
        QProcess writer;
        startWriter(writer, {u"generations"_s});
        // Let it finish 0 to 2 commits, then kill it somewhere in what follows.
        const int commits = random.bounded(3);
        QByteArray output;
        while (lastPrinted(output) < reported + commits && writer.waitForReadyRead(safetyMs))
            output += writer.readAllStandardOutput();
        std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(8000)));
        const qint64 pid = writer.processId();
        ASSERT_GT(pid, 0) << "the writer ended by itself: "
                          << writer.readAllStandardError().toStdString();
        ::kill(pid_t(pid), SIGKILL);
        ASSERT_TRUE(writer.waitForFinished(safetyMs));
        output += writer.readAllStandardOutput();
        ASSERT_EQ(writer.exitStatus(), QProcess::CrashExit)
            << writer.readAllStandardError().toStdString();
        lockLeftBehind += QFile::exists(storeFile() + u".lock"_s) ? 1 : 0;

        if (!QFile::exists(storeFile())) {
            ++noFileYet;
            ASSERT_EQ(reported, 0);
            continue;
        }
        const RegDocument document = parsedFile();
        const QString key = u"Software\\QOR\\Morvex\\Generations"_s;
        const RegValue* gen = document.value(key, u"Gen"_s);
        ASSERT_NE(gen, nullptr);
        const int printed = std::max(reported, lastPrinted(output));
        // Either the last reported commit or the one after it, never anything older or torn.
        ASSERT_GE(gen->number, printed);
        ASSERT_LE(gen->number, printed + 1);
        afterCommitBeforeReport += gen->number == printed + 1 ? 1 : 0;
        for (int k = 0; k < 200; ++k) {
            const RegValue* v = document.value(key, u"V"_s + QString::number(k));
            ASSERT_NE(v, nullptr);
            ASSERT_EQ(v->text, u"generation %1 value %2\nsecond line"_s.arg(gen->number).arg(k));
        }
        reported = gen->number;
    }
    const QStringList leftovers = QDir(configDir() + u"/morvex"_s)
                                      .entryList({u"settings.reg.*"_s}, QDir::Files | QDir::Hidden);
    std::printf("[ figures  ] %d kills, %d commits survived; killed between rename and report: %d, "
                "holding the lock: %d, before the first file: %d; leftover files: %s\n",
                killRuns, reported, afterCommitBeforeReport, lockLeftBehind, noFileYet,
                qPrintable(leftovers.join(u' ')));
    EXPECT_GT(reported, 0);
}
