// The built program without a desktop, saving its settings when told to quit: what the user
// wrote into the file meanwhile stays, and a save that fails shows in the exit status.
#include "tests/support/Programs.h"
#include "tests/support/StoreFiles.h"
#include "tests/support/Wait.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>

namespace morvex::test {
namespace {
using namespace Qt::StringLiterals;

constexpr int kHangGuardMs = 30000;

QProcessEnvironment desktopLess(const QTemporaryDir& root) {
    QProcessEnvironment env = withoutDesktop();
    env.insert(u"XDG_CONFIG_HOME"_s, root.filePath(u"config"_s));
    env.insert(u"XDG_RUNTIME_DIR"_s, root.filePath(u"runtime"_s));
    env.insert(u"MORVEX"_s, QString::fromUtf8(MORVEX_PROGRAM));
    return env;
}

struct Ended {
    int status = -1;
    QByteArray err;
};

Ended finish(QProcess& process) {
    EXPECT_TRUE(endedWithin(process, kHangGuardMs)) << "the program did not end";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    return {process.exitCode(), process.readAllStandardError()};
}

const QString storeFile = u"config/morvex/settings.reg"_s;

QByteArray initialStore() {
    return storeText(
        {{u"File"_s,
          {numberValue(u"SrcFileCount"_s, 1), textValue(u"SrcFileName"_s, u"/bbs/*.up"_s),
           textValue(u"FutterFileName"_s, u"/lists/*.mfl"_s),
           textValue(u"HeaderFileName"_s, u"/lists/*.mhl"_s)}}});
}

TEST(SaveAtQuit, EditsMadeByHandWhileAModeRunsOutliveItsSave) {
    // "/o" saves through the desktop-less modes, "/x" (a mode Morvex does not know) through the
    // main window, unseen.
    for (const QString& mode : {u"/o"_s, u"/x"_s}) {
        SCOPED_TRACE(mode.toStdString());
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        QDir(root.path()).mkdir(u"runtime"_s);
        const QString store = root.filePath(storeFile);
        ASSERT_TRUE(writeBytes(store, initialStore()));

        QProcess program;
        program.setProcessEnvironment(desktopLess(root));
        program.setWorkingDirectory(root.path());
        program.start(QString::fromUtf8(MORVEX_PROGRAM), {mode});
        ASSERT_TRUE(program.waitForStarted());
        // Both have read the store once they wait for events ("/o" reads it again at its first
        // look, 2 s in).
        ASSERT_TRUE(waitUntilIdle(program.processId(), kHangGuardMs));

        // Another source and another footer list pattern, typed into the file by the user.
        QByteArray edited = readBytes(store);
        edited.replace("dword:00000001", "dword:00000002\n\"SrcFileName1\"=\"/news/*.up\"");
        edited.replace("/lists/*.mfl", "/mine/*.mfl");
        ASSERT_TRUE(writeBytes(store, edited));
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        const Ended ended = finish(program);

        EXPECT_EQ(ended.status, 0);
        EXPECT_EQ(ended.err, QByteArray());
        const QByteArray after = readBytes(store);
        EXPECT_TRUE(after.contains("\"SrcFileCount\"=dword:00000002\n")) << after.toStdString();
        EXPECT_TRUE(after.contains("\"SrcFileName1\"=\"/news/*.up\"\n")) << after.toStdString();
        EXPECT_TRUE(after.contains("\"FutterFileName\"=\"/mine/*.mfl\"\n")) << after.toStdString();
        // What the save itself brings: the System group, the list-viewer markers.
        EXPECT_TRUE(after.contains("\"Version\"=dword:00000078\n")) << after.toStdString();
        EXPECT_TRUE(after.contains("\"Futter\"=dword:00000001\n")) << after.toStdString();
    }
}

// Runs `mode` with the settings folder on a tiny file system of its own (a mount namespace with
// a tmpfs), which `breakIt` fills or makes read-only once the program runs; then SIGTERM.
const char* const kBrokenFolderScript = R"sh(
cfg="$1"; mode="$2"; how="$3"; copy="$4"
mount -t tmpfs -o size=64k tmpfs "$cfg" || exit 90
mkdir "$cfg/morvex" && cp "$cfg.seed" "$cfg/morvex/settings.reg" || exit 91
unread=$(stat -c %x "$cfg/morvex/settings.reg")
"$MORVEX" "$mode" & pid=$!
i=0
while :; do
    mask=$(sed -n 's/^SigCgt:[[:space:]]*//p' /proc/$pid/status 2>/dev/null)
    [ -n "$mask" ] && [ $(( 0x$mask & 0x4000 )) -ne 0 ] && break
    i=$((i + 1)); [ $i -gt 1500 ] && exit 92
    sleep 0.02
done
# And it has read the store: the first read moves the access time (relatime), later ones not.
while [ "$(stat -c %x "$cfg/morvex/settings.reg")" = "$unread" ]; do
    i=$((i + 1)); [ $i -gt 1500 ] && exit 94
    sleep 0.02
done
case "$how" in
full) dd if=/dev/zero of="$cfg/filler" bs=4k 2>/dev/null ;;
readonly) mount -o remount,ro "$cfg" || exit 93 ;;
esac
kill -TERM $pid
wait $pid; status=$?
cp "$cfg/morvex/settings.reg" "$copy"
exit $status
)sh";

TEST(SaveAtQuit, ASaveThatFailsEndsWithStatusOneAndSaysWhyOnStderr) {
    const QString unshare = QStandardPaths::findExecutable(u"unshare"_s);
    if (unshare.isEmpty() || QProcess::execute(unshare, {u"-rm"_s, u"mount"_s, u"-t"_s, u"tmpfs"_s,
                                                         u"tmpfs"_s, QDir::tempPath()}) != 0)
        GTEST_SKIP() << "no mount namespace with a tmpfs can be made here";
    for (const QString& mode : {u"/o"_s, u"/x"_s}) {
        for (const QString& how : {u"full"_s, u"readonly"_s}) {
            SCOPED_TRACE((mode + u' ' + how).toStdString());
            QTemporaryDir root;
            ASSERT_TRUE(root.isValid());
            QDir(root.path()).mkdir(u"runtime"_s);
            QDir(root.path()).mkdir(u"config"_s);
            // No System key yet: the save has something to write.
            ASSERT_TRUE(writeBytes(root.filePath(u"config.seed"_s), initialStore()));

            QProcess program;
            program.setProcessEnvironment(desktopLess(root));
            program.setWorkingDirectory(root.path());
            program.start(unshare,
                          {u"-rm"_s, u"sh"_s, u"-c"_s, QString::fromUtf8(kBrokenFolderScript),
                           u"sh"_s, root.filePath(u"config"_s), mode, how,
                           root.filePath(u"after.reg"_s)});
            ASSERT_TRUE(program.waitForStarted());
            const Ended ended = finish(program);

            EXPECT_EQ(ended.status, 1) << ended.err.toStdString();
            EXPECT_TRUE(ended.err.startsWith("Morvex: '")) << ended.err.toStdString();
            EXPECT_TRUE(ended.err.contains("の設定に失敗しました")) << ended.err.toStdString();
            // One failed save is one line, with the reason the system gave.
            EXPECT_EQ(ended.err.count('\n'), 1) << ended.err.toStdString();
            if (how == u"full"_s) {
                EXPECT_TRUE(ended.err.contains(std::strerror(ENOSPC))) << ended.err.toStdString();
            }
            EXPECT_EQ(readBytes(root.filePath(u"after.reg"_s)), initialStore());
        }
    }
}

} // namespace
} // namespace morvex::test
