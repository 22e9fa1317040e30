// The built program in /o without a desktop, against writers as users meet them: slow writers,
// editors, the end of daylight saving time, many files and SIGTERM. Real timing, each wait
// bounded; with and without the kernel's notification.
#include "tests/app/ProgramFixture.h"
#include "tests/app/WatchProbe.h"
#include "tests/support/StoreFiles.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

const QByteArray kMarked = "]Hello\r\n)\r\n";
const QByteArray kConverted = "Re: Hello\r\n-- sig\r\n";

/// How the program learns of changes: inotify, or a system where it fails at one of two steps.
enum class Notification { Kernel, NoInotify, NoWatch };

std::string notificationName(const ::testing::TestParamInfo<Notification>& info) {
    switch (info.param) {
    case Notification::Kernel:
        return "Kernel";
    case Notification::NoInotify:
        return "NoInotify";
    case Notification::NoWatch:
        return "NoWatch";
    }
    return "";
}

// A writer that holds the file open between its pieces.
class HeldWriter {
public:
    HeldWriter(const QString& path, int flags)
        : m_fd(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC | flags, 0644)) {}
    ~HeldWriter() { close(); }
    bool write(const QByteArray& bytes) const {
        return m_fd >= 0 && ::write(m_fd, bytes.constData(), bytes.size()) == bytes.size();
    }
    void close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

class WatchProgram : public ProgramFixture {
protected:
    explicit WatchProgram(const QString& base = QDir::tempPath())
        : ProgramFixture(base) {}

    void TearDown() override {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    void writeStore(const QStringList& sources, const QList<StoreSection>& extra = {},
                    const QString& config = u"config"_s) const {
        ProgramFixture::writeStore(QList<StoreSection>{fileGroup(sources)} + extra, config);
    }

    QProcessEnvironment environment(Notification notification,
                                    const QStringList& extraEnv = {}) const {
        QProcessEnvironment env = ProgramFixture::environment();
        if (notification != Notification::Kernel) {
            env.insert(u"LD_PRELOAD"_s, QString::fromUtf8(MORVEX_NO_INOTIFY_LIB));
            env.insert(u"ASAN_OPTIONS"_s, u"verify_asan_link_order=0"_s);
            env.insert(u"MORVEX_NO_INOTIFY"_s,
                       notification == Notification::NoInotify ? u"init"_s : u"watch"_s);
        }
        for (const QString& entry : extraEnv)
            env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
        return env;
    }

    void launch(QProcess& process, const QString& mode, const QProcessEnvironment& env) const {
        ProgramFixture::launch(process, {mode}, env);
        ASSERT_TRUE(process.waitForStarted());
    }

    // Starts "morvex /o" and waits until its first look has passed.
    void startWatch(Notification notification = Notification::Kernel,
                    const QStringList& extraEnv = {}) {
        launch(m_process, u"/o"_s, environment(notification, extraEnv));
        waitForFirstLookOf(m_probes, notification);
    }

    // Without the kernel's word a new file is converted once it looks the same at two looks.
    static void waitForFirstLookOf(const QString& folder,
                                   Notification notification = Notification::Kernel) {
        ASSERT_TRUE(waitForFirstLook(folder, notification == Notification::Kernel ? 1000 : 3000))
            << "the watch never converted a probe";
    }

    // SIGTERM, and the end of the program.
    void stopWatch() {
        ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
        ASSERT_TRUE(m_process.waitForFinished(30000));
        EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(m_process.exitCode(), 0);
        m_out += m_process.readAllStandardOutput();
        EXPECT_EQ(m_process.readAllStandardError(), QByteArray());
    }

    // The result lines written for `path` so far.
    qsizetype resultsFor(const QString& path) {
        m_out += m_process.readAllStandardOutput();
        return m_out.count("ﾌｧｲﾙ: " + path.toUtf8() + ",");
    }

    QProcess m_process;
    QString m_probes = root(u"work"_s); ///< where the probes of the first look go
    QByteArray m_out;
};

class WatchWriters : public WatchProgram, public ::testing::WithParamInterface<Notification> {};

TEST_P(WatchWriters, AWriterThatPausesOrTruncatesFirstLeavesNoFragment) {
    writeStore({work(u"*.up"_s)});
    const QString pieces = work(u"pieces.up"_s);
    const QString truncated = work(u"truncated.up"_s);
    ASSERT_TRUE(writeBytes(pieces, "first draft\r\n"));
    ASSERT_TRUE(writeBytes(truncated, "first draft\r\n"));
    startWatch(GetParam());

    const QList<QByteArray> parts = {"]Hello\r\n", "line one\r\n", ")\r\n", "line two\r\n"};
    HeldWriter slow(pieces, O_TRUNC);
    HeldWriter cutter(truncated, O_TRUNC);
    QByteArray written;
    for (const QByteArray& part : parts) {
        ASSERT_TRUE(slow.write(part));
        written += part;
        QThread::msleep(3000); // a slow writer: more than a look between two pieces
        EXPECT_EQ(readBytes(pieces), written) << "no fragment converted";
        EXPECT_FALSE(QFile::exists(work(u"pieces.bak"_s)));
        if (part == parts.front()) {
            EXPECT_EQ(readBytes(truncated), QByteArray()) << "not converted while empty";
            EXPECT_FALSE(QFile::exists(work(u"truncated.bak"_s)));
            ASSERT_TRUE(cutter.write(written));
            cutter.close();
        }
    }
    slow.close();
    if (GetParam() != Notification::Kernel) {
        // No close is heard here: the file must look the same at two looks first, so a second
        // after the close it is still as written.
        QThread::msleep(1000);
        EXPECT_EQ(readBytes(pieces), written);
    }
    const QByteArray whole = "Re: Hello\r\nline one\r\n-- sig\r\nline two\r\n";
    EXPECT_TRUE(waitUntil([&] { return readBytes(pieces) == whole; }, 15000));
    EXPECT_TRUE(waitUntil([&] { return readBytes(truncated) == "Re: Hello\r\n"; }, 15000));
    EXPECT_EQ(readBytes(work(u"pieces.bak"_s)), written);
    EXPECT_EQ(readBytes(work(u"truncated.bak"_s)), parts.front());
    stopWatch();
    EXPECT_EQ(resultsFor(pieces), 1);
    EXPECT_EQ(resultsFor(truncated), 1);
}

INSTANTIATE_TEST_SUITE_P(, WatchWriters,
                         ::testing::Values(Notification::Kernel, Notification::NoInotify,
                                           Notification::NoWatch),
                         notificationName);

TEST_F(WatchProgram, AFinishedSaveIsConvertedAtOnceAndOneFolderNamedTwiceOnce) {
    writeStore({work(u"*.up"_s), work(u"./*.up"_s)});
    startWatch();
    const QString memo = work(u"memo.up"_s);
    for (int save = 1; save <= 3; ++save) {
        const QByteArray text = "]Save " + QByteArray::number(save) + "\r\n)\r\n";
        ASSERT_TRUE(writeBytes(memo, text));
        const QByteArray converted = "Re: Save " + QByteArray::number(save) + "\r\n-- sig\r\n";
        // That the kernel's word converts it, not the next look, is shown without a clock by the
        // modes' own tests (no timer there); bench/watch/run.sh times it.
        ASSERT_TRUE(waitUntil([&] { return readBytes(memo) == converted; }, 10000));
        // The watch's own rewrite is no save of the user's: a moment later nothing has changed.
        QThread::msleep(300);
        EXPECT_EQ(readBytes(work(u"memo.bak"_s)), text) << "the saved text stays in the backup";
    }
    QThread::msleep(2500); // a look more: nothing converted again
    stopWatch();
    EXPECT_EQ(resultsFor(memo), 3);
}

TEST_F(WatchProgram, TheEndOfDaylightSavingTimeHidesNoSave) {
    writeStore({work(u"*.up"_s)});
    const QString memo = work(u"memo.up"_s);
    ASSERT_TRUE(writeBytes(memo, kMarked));
    const auto touch = [&](const QString& when) {
        QProcess process;
        process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        process.start(u"touch"_s, {u"-d"_s, when, memo});
        return process.waitForFinished() && process.exitCode() == 0;
    };
    // At 02:00 EDT on 1 November 2026 the clocks go back to 01:00 EST.
    ASSERT_TRUE(touch(u"2026-11-01 01:50 EDT"_s));
    startWatch(Notification::Kernel, {u"TZ=America/New_York"_s});

    ASSERT_TRUE(touch(u"2026-11-01 01:40 EDT"_s)); // a restored older copy
    QThread::msleep(2500);                         // a look passes it by
    EXPECT_EQ(readBytes(memo), kMarked);
    // Thirty minutes after the recorded save, in an hour whose local time is lower.
    ASSERT_TRUE(touch(u"2026-11-01 01:20 EST"_s));
    EXPECT_TRUE(waitUntil([&] { return readBytes(memo) == kConverted; }, 5000));
    EXPECT_EQ(readBytes(work(u"memo.bak"_s)), kMarked);
    stopWatch();
}

TEST_F(WatchProgram, EditorsSavesAreEachConvertedOnce) {
    const QByteArray before = "]Hello\r\nold text\r\n)\r\n";
    const QByteArray saved = "]Hello\r\nnew text\r\n)\r\n";
    const QByteArray converted = "Re: Hello\r\nnew text\r\n-- sig\r\n";
    const QStringList editors = {u"vim-yes"_s, u"vim-no"_s, u"vim-auto"_s, u"sed"_s,
                                 u"perl"_s,    u"ed"_s,     u"cp"_s,       u"rename"_s};
    for (const QString& editor : editors)
        ASSERT_TRUE(writeBytes(work(editor + u".up"_s), before));
    ASSERT_TRUE(writeBytes(root(u"saved.txt"_s), saved));
    writeStore({work(u"*.up"_s)});
    startWatch();

    for (const QString& editor : editors) {
        SCOPED_TRACE(editor.toStdString());
        const QString file = work(editor + u".up"_s);
        QString program = u"sh"_s;
        QString script;
        if (editor.startsWith(u"vim-"_s))
            script = u"vim -u NONE -i NONE -N -n -es -c 'set backupcopy=%1' -c '%s/old/new/' "
                     u"-c wq \"$1\""_s.arg(editor.mid(4));
        else if (editor == u"sed"_s)
            script = u"sed -i 's/old/new/' \"$1\""_s;
        else if (editor == u"perl"_s)
            script = u"perl -pi -e 's/old/new/' \"$1\""_s;
        else if (editor == u"ed"_s)
            script = u"printf ',s/old/new/\\nw\\nq\\n' | ed -s \"$1\""_s;
        else if (editor == u"cp"_s)
            script = u"cp \"$2\" \"$1\""_s;
        else
            script = u"cp \"$2\" \"$1.new\" && mv \"$1.new\" \"$1\""_s;
        QProcess edit;
        edit.start(program, {u"-c"_s, script, u"edit"_s, file, root(u"saved.txt"_s)});
        ASSERT_TRUE(edit.waitForFinished(10000));
        ASSERT_EQ(edit.exitCode(), 0) << edit.readAllStandardError().toStdString();
        EXPECT_TRUE(waitUntil([&] { return readBytes(file) == converted; }, 5000))
            << readBytes(file).toStdString();
        EXPECT_EQ(readBytes(work(editor + u".bak"_s)), saved);
    }
    QThread::msleep(2500); // a look more: nothing converted again
    stopWatch();
    for (const QString& editor : editors)
        EXPECT_EQ(resultsFor(work(editor + u".up"_s)), 1) << editor.toStdString();
}

TEST_F(WatchProgram, AnotherPassBesideTheWatchLeavesTheOriginalInTheBackup) {
    writeStore({work(u"*.up"_s)});
    const QStringList names = {u"a.up"_s, u"b.up"_s, u"c.up"_s};
    for (const QString& name : names)
        ASSERT_TRUE(writeBytes(work(name), kMarked));
    startWatch();
    QProcess convert;
    convert.setWorkingDirectory(work(QString()));
    convert.start(QString::fromUtf8(MORVEX_CONVERT),
                  QStringList{u"--footer-list"_s, u"f.mfl"_s, u"--header-list"_s, u"h.mhl"_s} +
                      names);
    ASSERT_TRUE(convert.waitForFinished(10000));
    ASSERT_EQ(convert.exitCode(), 0) << convert.readAllStandardError().toStdString();
    QThread::msleep(2500); // the watch hears of it and looks, and must leave the backups alone
    stopWatch();
    for (const QString& name : names) {
        EXPECT_EQ(readBytes(work(name)), kConverted) << name.toStdString();
        EXPECT_EQ(readBytes(work(name.chopped(3) + u".bak"_s)), kMarked) << name.toStdString();
    }
}

TEST_F(WatchProgram, TwoWatchersOnOneFolderConvertASaveOnce) {
    writeStore({work(u"*.up"_s)});
    startWatch();
    // The second watches a folder of its own beside, where its first look shows.
    const QString own = root(u"second"_s);
    QDir().mkpath(own);
    writeStore({work(u"*.up"_s), own + u"/*.up"_s}, {}, u"second-config"_s);
    QProcess second;
    launch(second, u"/o"_s,
           environment(Notification::Kernel, {u"XDG_CONFIG_HOME="_s + root(u"second-config"_s)}));
    waitForFirstLookOf(own);
    const QString memo = work(u"memo.up"_s);
    ASSERT_TRUE(writeBytes(memo, kMarked));
    ASSERT_TRUE(waitUntil([&] { return readBytes(memo) == kConverted; }, 10000));
    QThread::msleep(2500); // a look of each
    const FileVersion settled = versionOf(QFile::encodeName(memo).toStdString());
    QThread::msleep(4500); // two looks of each: no rewrite after rewrite
    EXPECT_TRUE(versionOf(QFile::encodeName(memo).toStdString()) == settled);
    EXPECT_EQ(readBytes(memo), kConverted);
    EXPECT_EQ(readBytes(work(u"memo.bak"_s)), kMarked) << "the saved text stays in the backup";
    ::kill(static_cast<pid_t>(second.processId()), SIGTERM);
    EXPECT_TRUE(second.waitForFinished(10000));
    stopWatch();
}

TEST_F(WatchProgram, TheFinalPassOfWatchAppConvertsNothingTheWatchConverted) {
    // The watched program runs for a while; a pattern is listed twice.
    const QString watched = u"\"%1\" --log=\"%2\" --sleep=7000"_s.arg(
        QString::fromUtf8(MORVEX_TEST_CHILD), root(u"child.log"_s));
    writeStore({work(u"*.up"_s), work(u"*.up"_s)},
               {{u"Watch"_s, {textValue(u"WatchApp"_s, watched)}}});
    launch(m_process, u"/w"_s, environment(Notification::Kernel));
    waitForFirstLookOf(m_probes);
    const QString memo = work(u"memo.up"_s);
    ASSERT_TRUE(writeBytes(memo, kMarked));
    ASSERT_TRUE(waitUntil([&] { return readBytes(memo) == kConverted; }, 10000));
    ASSERT_TRUE(m_process.waitForFinished(20000));
    EXPECT_EQ(m_process.exitCode(), 0);
    EXPECT_EQ(readBytes(memo), kConverted);
    EXPECT_EQ(readBytes(work(u"memo.bak"_s)), kMarked) << "the saved text stays in the backup";
}

// In memory where there is a memory file system: the disk's speed is not what is tested.
class WatchManyFiles : public WatchProgram {
protected:
    WatchManyFiles()
        : WatchProgram(QFileInfo(u"/dev/shm"_s).isWritable() ? u"/dev/shm"_s : QDir::tempPath()) {}
};

TEST_F(WatchManyFiles, SigtermDuringALookOverTwentyThousandFilesEndsBetweenTwoFiles) {
    constexpr int kFiles = 20000;
    const QString folder = work(u"many/"_s);
    QDir().mkpath(folder);
    const auto name = [&](int i) {
        return folder + u"m%1.up"_s.arg(i, 5, 10, QChar(u'0'));
    };
    for (int i = 0; i < kFiles; ++i)
        ASSERT_TRUE(writeBytes(name(i), "plain\r\n"));
    m_probes = folder;
    writeStore({folder + u"*.up"_s});
    startWatch();

    for (int i = 0; i < kFiles; ++i)
        ASSERT_TRUE(writeBytes(name(i), kMarked));
    // SIGTERM once the look is well under way.
    ASSERT_TRUE(waitUntil(
        [&] {
            m_process.waitForReadyRead(10);
            m_out += m_process.readAllStandardOutput();
            return m_out.count('\n') > 100;
        },
        60000));
    QElapsedTimer clock;
    clock.start();
    stopWatch();
    // It has a second; the bound only keeps a loaded machine from failing the test.
    EXPECT_LT(clock.elapsed(), 5000);

    int converted = 0;
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray text = readBytes(name(i));
        const QString backup = name(i).chopped(3) + u".bak"_s;
        if (text == kConverted) {
            ++converted;
            EXPECT_EQ(readBytes(backup), kMarked) << i;
        } else {
            ASSERT_EQ(text, kMarked) << "file " << i << " is whole";
            EXPECT_FALSE(QFile::exists(backup)) << i;
        }
    }
    EXPECT_LT(converted, kFiles) << "the look ended before its last file";
    EXPECT_EQ(m_out.count('\n'), converted + probeResults(m_out));
    QDirIterator hidden(folder, QDir::Hidden | QDir::Files);
    while (hidden.hasNext()) {
        const QString left = hidden.next();
        EXPECT_FALSE(QFileInfo(left).fileName().startsWith(u'.')) << left.toStdString();
    }
}

} // namespace
} // namespace morvex::test
