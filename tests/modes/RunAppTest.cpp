// Starting the before, after and watched programs: the placeholders, the start without a shell,
// what the program inherits, and the wait that reaps it.
#include "modes/RunApp.h"

#include "tests/support/Programs.h"
#include "tests/support/Wait.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

const QString kChild = QString::fromUtf8(MORVEX_TEST_CHILD);

TEST(ExpandExeCmd, ReplacesEachPlaceholderByTheArgumentItNumbers) {
    const QString program = u"/usr/bin/morvex"_s;
    const QStringList arguments = {u"/a"_s, u"受信 箱.up"_s};
    const struct {
        QString command;
        QString expected;
    } rows[] = {
        {u"tool %2 %0"_s, u"tool \"受信 箱.up\" /usr/bin/morvex"_s},
        {u"tool %1"_s, u"tool /a"_s},
        {u"tool %5 end"_s, u"tool end"_s}, // beyond the arguments: nothing, and no word
        {u"tool %9%3"_s, u"tool"_s},       // both beyond
        {u"100%% sure"_s, u"100 sure"_s},  // "%%" is a placeholder of its own
        {u"a%xb"_s, u"ab"_s},              // any other character: nothing
        {u"a%:b"_s, u"ab"_s},              // ':' - '0' is 10
        {u"a%/b"_s, u"ab"_s},              // '/' - '0' is -1
        {u"end %"_s, u"end"_s},            // a final "%" is dropped
        {u"50% off"_s, u"50 off"_s},       // ... also at the end of a word
        {u"%"_s, QString()},
        {u"x%あy"_s, u"xy"_s},                          // the whole character after "%" goes
        {u"x%\U0001F600y"_s, u"xy"_s},                  // also outside the basic plane
        {u"日本語 %2"_s, u"日本語 \"受信 箱.up\""_s},   // other text passes unchanged
        {u"--in=%2 -v"_s, u"\"--in=受信 箱.up\" -v"_s}, // a placeholder inside a word
        {u"\"%2\""_s, u"\"受信 箱.up\""_s},             // quoted in the command: the same
        {u"\"C:\\Program Files\\x\" %1"_s, u"\"C:\\Program Files\\x\" /a"_s},
        {u"no  placeholder \"at all\""_s, u"no  placeholder \"at all\""_s}, // as it is
        {QString(), QString()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command.toStdString());
        EXPECT_EQ(ExpandExeCmd(row.command, program, arguments).toStdString(),
                  row.expected.toStdString());
    }
}

TEST(ExpandExeCmd, WhatAnArgumentHoldsStaysInItsOneWord) {
    const QString program = u"/opt/my morvex/morvex"_s;
    const QString values[] = {
        u"plain"_s,
        u"two words"_s,
        u" lead and trail "_s,
        u"\""_s,
        u"\"\""_s,
        u"\"\"\""_s,
        u"\"quoted\""_s,
        u"a\"b"_s,
        u"a\" \"b"_s,
        u"\" x"_s,
        u"x \""_s,
        u"\"\" two \"\""_s,
        u"back\\slash"_s,
        u"trailing\\"_s,
        u"\\\""_s,
        u"C:\\Program Files\\"_s,
        u"tab\there"_s,
        u"new\nline"_s,
        u"全角\u3000空白"_s,
        u"%1 stays literal"_s,
        u"it's $HOME; a|b > c"_s,
    };
    for (const QString& value : values) {
        for (const QString& other : {u"-"_s, value}) {
            SCOPED_TRACE(value.toStdString() + " / " + other.toStdString());
            const QString expanded =
                ExpandExeCmd(u"tool %2 x%3y %0 %4"_s, program, {u"/a"_s, value, other});
            EXPECT_EQ(QProcess::splitCommand(expanded),
                      (QStringList{u"tool"_s, value, u"x"_s + other + u"y"_s, program}))
                << expanded.toStdString();
        }
    }
}

TEST(ExpandExeCmd, HasNoLengthLimit) {
    const QString longArgument(5000, u'y');
    const QString command = QString(300, u'x') + u" %2 "_s + QString(300, u'z');
    const QString expanded = ExpandExeCmd(command, u"/m"_s, {u"/a"_s, longArgument});
    EXPECT_EQ(expanded, QString(300, u'x') + u' ' + longArgument + u' ' + QString(300, u'z'));
}

class StartProgram : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString log() const { return m_dir.filePath(u"child.log"_s); }
    QString command(const QString& rest, int sleepMs = 0) const {
        return u"\"%1\" --log=\"%2\" --sleep=%3 %4"_s.arg(kChild, log()).arg(sleepMs).arg(rest);
    }
    static ChildProcess::State waitUntilEnded(ChildProcess& child) {
        ChildProcess::State state = ChildProcess::State::Running;
        for (int i = 0; i < 100 && state == ChildProcess::State::Running; ++i)
            state = child.waitFor(100);
        return state;
    }

    QTemporaryDir m_dir;
};

TEST_F(StartProgram, SplitsWithoutAShellAndTheProgramInheritsOnlyWhatItShould) {
    // A descriptor of ours without close-on-exec, as a library might leave one.
    const int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 3);
    qputenv("MORVEX_CHILD_PROBE", "inherited");
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_dir.path()));

    QString reason = u"unset"_s;
    ChildProcess child =
        startProgram(command(u"\"two words\" 'single' $HOME *.up a|b 日本;語"_s), &reason);
    ASSERT_TRUE(child.started()) << reason.toStdString();
    EXPECT_EQ(waitUntilEnded(child), ChildProcess::State::Ended);
    QDir::setCurrent(before);
    ::close(leaky);
    qunsetenv("MORVEX_CHILD_PROBE");

    const QList<ChildRun> runs = childRuns(log());
    ASSERT_EQ(runs.size(), 1);
    const ChildRun& run = runs.first();
    EXPECT_EQ(run.arguments.join(u'|').toStdString(), "two words|'single'|$HOME|*.up|a|b|日本;語");
    EXPECT_EQ(run.descriptors.join(u',').toStdString(), "0,1,2");
    EXPECT_TRUE(run.sessionLeader);
    EXPECT_EQ(run.directory, QDir(m_dir.path()).canonicalPath());
    EXPECT_EQ(run.probe, u"inherited"_s);
    EXPECT_EQ(WEXITSTATUS(child.waitStatus()), 0);
}

TEST_F(StartProgram, PlaceholdersReachTheProgramAsOneArgumentEach) {
    const QStringList arguments = {u"/a"_s,        u"受信 箱.up"_s, u"say \"hi\" twice"_s,
                                   u"C:\\dir\\"_s, u"\\\"\""_s,     u"--x=1 --y=2"_s};
    const QString expanded =
        ExpandExeCmd(command(u"after %2 %3 %4 %5 pre%6 %7"_s), u"/m"_s, arguments);
    ChildProcess child = startProgram(expanded);
    ASSERT_TRUE(child.started());
    EXPECT_EQ(waitUntilEnded(child), ChildProcess::State::Ended);
    const QList<ChildRun> runs = childRuns(log());
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs.first().arguments,
              (QStringList{u"after"_s, u"受信 箱.up"_s, u"say \"hi\" twice"_s, u"C:\\dir\\"_s,
                           u"\\\"\""_s, u"pre--x=1 --y=2"_s}));
}

TEST_F(StartProgram, TheWaitTimesOutWhileItRunsAndReapsItOnce) {
    ChildProcess child = startProgram(command(QString(), 400));
    ASSERT_TRUE(child.started());
    const pid_t pid = child.pid();
    EXPECT_EQ(child.waitFor(0), ChildProcess::State::Running);
    EXPECT_EQ(child.waitFor(50), ChildProcess::State::Running);
    EXPECT_EQ(waitUntilEnded(child), ChildProcess::State::Ended);
    // Reaped: no zombie is left, and a further wait has nothing to wait for.
    errno = 0;
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(child.waitFor(100), ChildProcess::State::Failed);
}

TEST_F(StartProgram, AProgramLetGoWhileRunningIsReapedByALaterStart) {
    pid_t pid = -1;
    {
        ChildProcess child = startProgram(command(QString(), 100));
        ASSERT_TRUE(child.started());
        pid = child.pid();
    }
    ASSERT_EQ(waitForChildRuns(log(), 1).size(), 1);
    // Ended and not yet reaped: the next start has it to reap.
    ASSERT_TRUE(waitUntil([pid] {
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == pid;
    }));
    ChildProcess next = startProgram(command(QString()));
    ASSERT_TRUE(next.started());
    errno = 0;
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(waitUntilEnded(next), ChildProcess::State::Ended);
}

TEST_F(StartProgram, WhatCannotStartSaysWhyAndHasNothingToWaitFor) {
    const struct {
        QString command;
        bool reasonGiven;
    } rows[] = {
        {QString(), false},     {u"   "_s, false}, {u"morvex-no-such-program-here --x"_s, true},
        {m_dir.path(), true},   // a directory
        {u"/dev/null"_s, true}, // not executable
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command.toStdString());
        QString reason = u"unset"_s;
        ChildProcess child = startProgram(row.command, &reason);
        EXPECT_FALSE(child.started());
        EXPECT_EQ(!reason.isEmpty(), row.reasonGiven) << reason.toStdString();
        EXPECT_EQ(child.waitFor(1000), ChildProcess::State::Failed);
    }
}

TEST_F(StartProgram, SearchesThePathForABareName) {
    ChildProcess child = startProgram(u"true"_s);
    ASSERT_TRUE(child.started());
    EXPECT_EQ(waitUntilEnded(child), ChildProcess::State::Ended);
    EXPECT_EQ(WEXITSTATUS(child.waitStatus()), 0);
}

} // namespace
} // namespace morvex::test
