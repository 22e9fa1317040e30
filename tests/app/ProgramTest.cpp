// The built program, started as a child process with its own settings file and upload files.
#include "settings/SettingsStore.h"
#include "tests/app/ProgramFixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

constexpr int kHangGuardMs = 60000;

enum class Desktop { None, Offscreen };

struct Outcome {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QByteArray out;
    QByteArray err;
};

// Where the upload files start: a header and a footer, two footers and a header, no markers.
const QByteArray kUploadA = "]Hello\r\nbody\r\n)\r\n";
const QByteArray kUploadB = "]Subject\r\n)\r\ntext\r\n)\r\n";
const QByteArray kUploadC = "no markers here\r\n";

class ProgramTest : public ProgramFixture {
protected:
    void SetUp() override {
        ProgramFixture::SetUp();
        ASSERT_TRUE(writeBytes(work(u"a.up"_s), kUploadA));
        ASSERT_TRUE(writeBytes(work(u"b.up"_s), kUploadB));
        ASSERT_TRUE(writeBytes(work(u"c.up"_s), kUploadC));
    }

    static StoreSection resultGroup(bool show, bool autoClose = false) {
        return {u"Result"_s,
                {numberValue(u"ShowResult"_s, show), numberValue(u"NotShowResult"_s, !show),
                 numberValue(u"GoByClose"_s, autoClose), numberValue(u"WaitTime"_s, 0)}};
    }

    /// Starts the program; the quit signals stay blocked in the child until it has its handler,
    /// so a signal sent right after the start is never lost to the default action.
    void start(QProcess& process, const QStringList& arguments, Desktop desktop,
               int standardOutput = -1) const {
        QProcessEnvironment env = environment();
        if (!m_clock.isEmpty())
            env.insert(u"MORVEX_CLOCK"_s, m_clock);
        if (desktop == Desktop::Offscreen)
            env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        process.setChildProcessModifier([standardOutput] {
            if (standardOutput >= 0)
                ::dup2(standardOutput, 1);
            ::signal(SIGPIPE, SIG_DFL); // as a shell starts it

            sigset_t quit;
            sigemptyset(&quit);
            for (int number : {SIGTERM, SIGINT, SIGHUP})
                sigaddset(&quit, number);
            sigprocmask(SIG_BLOCK, &quit, nullptr);
        });
        launch(process, arguments, env);
    }

    Outcome finish(QProcess& process) const {
        Outcome outcome;
        EXPECT_TRUE(endedWithin(process, kHangGuardMs)) << "the program did not end";
        outcome.exitCode = process.exitCode();
        outcome.status = process.exitStatus();
        outcome.out = process.readAllStandardOutput();
        outcome.err = process.readAllStandardError();
        return outcome;
    }

    Outcome run(const QStringList& arguments, Desktop desktop = Desktop::None) const {
        QProcess process;
        start(process, arguments, desktop);
        return finish(process);
    }

    Outcome runUntilSignal(const QStringList& arguments, int signalNumber) const {
        QProcess process;
        start(process, arguments, Desktop::None);
        EXPECT_TRUE(process.waitForStarted());
        ::kill(static_cast<pid_t>(process.processId()), signalNumber);
        return finish(process);
    }

    QByteArray expectedLines() const {
        return "変換結果: ﾌｧｲﾙ: " + work(u"a.up"_s).toUtf8() +
               ", ﾍｯﾀﾞ変換数: 1個, ﾌｯﾀ変換数: 1個\n"
               "変換結果: ﾌｧｲﾙ: " +
               work(u"b.up"_s).toUtf8() + ", ﾍｯﾀﾞ変換数: 1個, ﾌｯﾀ変換数: 2個\n";
    }

    void expectConverted() const {
        EXPECT_EQ(readBytes(work(u"a.up"_s)), "Re: Hello\r\nbody\r\n-- sig\r\n");
        EXPECT_EQ(readBytes(work(u"b.up"_s)), "Re: Subject\r\n-- sig\r\ntext\r\n-- sig\r\n");
        // A second pass would have backed up the converted text.
        EXPECT_EQ(readBytes(work(u"a.bak"_s)), kUploadA);
        EXPECT_EQ(readBytes(work(u"b.bak"_s)), kUploadB);
    }

    void expectUntouched() const {
        EXPECT_EQ(readBytes(work(u"a.up"_s)), kUploadA);
        EXPECT_FALSE(QFileInfo::exists(work(u"a.bak"_s)));
    }

    QString m_clock; ///< MORVEX_CLOCK for the program, when set
};

TEST_F(ProgramTest, ConvertOnceWithoutDesktopWritesEachResultAsALineAndSavesNothing) {
    writeStore({fileGroup(), resultGroup(true)});
    const QByteArray storeBefore = readBytes(storePath());

    const Outcome outcome = run({u"/c"_s});

    EXPECT_EQ(outcome.status, QProcess::NormalExit);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out, expectedLines());
    EXPECT_EQ(outcome.err, QByteArray());
    expectConverted();
    EXPECT_EQ(readBytes(work(u"c.up"_s)), kUploadC);
    EXPECT_EQ(readBytes(storePath()), storeBefore);
}

TEST_F(ProgramTest, ConvertOnceTakesTheStoredEncoding) {
    StoreSection file = fileGroup();
    file.values.push_back(textValue(u"Encoding"_s, u"utf-8"_s));
    writeStore({file, resultGroup(false)});
    // UTF-8 text with LF line ends, a lone CR and a Ctrl-Z, all kept.
    ASSERT_TRUE(writeBytes(work(u"a.up"_s), "]件名\n本文\r\x1A\n)\n"));
    const Outcome outcome = run({u"/c"_s});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.err, QByteArray());
    EXPECT_EQ(readBytes(work(u"a.up"_s)), "Re: 件名\n本文\r\x1A\n-- sig\n");
}

TEST_F(ProgramTest, ConvertOnceWithNotShowResultConvertsSilently) {
    writeStore({fileGroup(), resultGroup(false)});
    const Outcome outcome = run({u"/c"_s});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out, QByteArray());
    expectConverted();
}

TEST_F(ProgramTest, ConvertOnceOnADesktopShowsResultDialogsThatCloseThemselves) {
    writeStore({fileGroup(), resultGroup(true, true)});
    const QByteArray storeBefore = readBytes(storePath());

    const Outcome outcome = run({u"/c"_s}, Desktop::Offscreen);

    // Two dialogs, each gone after 417 ms; on a desktop nothing goes to standard output.
    EXPECT_EQ(outcome.status, QProcess::NormalExit);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out, QByteArray());
    expectConverted();
    EXPECT_EQ(readBytes(storePath()), storeBefore);
}

TEST_F(ProgramTest, QtsOwnOptionsComeOffBeforeTheModeIsRead) {
    const QList<std::pair<QStringList, Desktop>> commandLines = {
        {{u"-style"_s, u"Fusion"_s, u"/c"_s}, Desktop::Offscreen},
        {{u"-platform"_s, u"offscreen"_s, u"-reverse"_s, u"/c"_s}, Desktop::None},
        {{u"--style=Fusion"_s, u"-qwindowtitle"_s, u"x"_s, u"/c"_s}, Desktop::Offscreen},
        {{u"-widgetcount"_s, u"/c"_s}, Desktop::None},
    };
    for (const auto& [arguments, desktop] : commandLines) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        writeStore({fileGroup(), resultGroup(false)});
        for (const QString& name : {u"a"_s, u"b"_s}) {
            QFile::remove(work(name + u".bak"_s));
            ASSERT_TRUE(writeBytes(work(name + u".up"_s), name == u"a"_s ? kUploadA : kUploadB));
        }
        const Outcome outcome = run(arguments, desktop);
        EXPECT_EQ(outcome.exitCode, 0);
        expectConverted();
    }
}

TEST_F(ProgramTest, EveryFormOfTheConvertSwitchConvertsOnceAndOnlyTheFirstArgumentCounts) {
    const QList<QStringList> commandLines = {
        {u"-c"_s}, {u"/C"_s}, {u"-C"_s}, {u"/c"_s, u"/w"_s}, {u"-c"_s, u"/x"_s, u"/a"_s}};
    for (const QStringList& arguments : commandLines) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        SetUp();
        writeStore({fileGroup(), resultGroup(true)});
        const Outcome outcome = run(arguments);
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(outcome.out, expectedLines());
        expectConverted();
        for (const char* name : {"a.bak", "b.bak", "c.bak"})
            QFile::remove(work(QString::fromLatin1(name)));
    }
}

TEST_F(ProgramTest, OtherFirstArgumentsIdleUntilAQuitSignalThenSave) {
    const QList<std::pair<QStringList, int>> cases = {
        {{u"/x"_s}, SIGTERM},
        {{u"A"_s}, SIGTERM},
        {{u"/auto"_s}, SIGTERM},
        {{u"a"_s, u"/c"_s}, SIGINT},
        // Qt's options come off first: the mode is read from what is left.
        {{u"-platform"_s, u"offscreen"_s, u"/x"_s, u"/c"_s}, SIGHUP},
    };
    for (const auto& [arguments, signalNumber] : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        QFile::remove(storePath());
        writeStore({fileGroup()});

        const Outcome outcome = runUntilSignal(arguments, signalNumber);

        EXPECT_EQ(outcome.status, QProcess::NormalExit);
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(outcome.out, QByteArray());
        expectUntouched();
        // Saved by the signal: the System group did not exist before.
        EXPECT_EQ(storedNumber(morvexKey(u"System"_s), u"Version"_s, storePath()), 120);
        EXPECT_EQ(storedNumber(morvexKey(u"File"_s), u"SrcFileCount"_s, storePath()), 1);
    }
}

TEST_F(ProgramTest, WithoutArgumentOrDesktopItSaysSoAndFails) {
    const Outcome outcome = run({});
    EXPECT_EQ(outcome.status, QProcess::NormalExit);
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_TRUE(outcome.err.contains("desktop")) << outcome.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(storePath()));
}

TEST_F(ProgramTest, AStoreFailureWithoutDesktopIsALineOnStderrAndEndsTheRun) {
    writeStore({{u"System"_s, {textValue(u"WindowTop"_s, u"high"_s)}}, fileGroup()});
    const QByteArray storeBefore = readBytes(storePath());

    const Outcome outcome = run({u"/c"_s});

    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.out, QByteArray());
    EXPECT_EQ(outcome.err, "Morvex: 'WindowTop' のﾃﾞｰﾀ型が不正です\n");
    expectUntouched();
    EXPECT_EQ(readBytes(storePath()), storeBefore);
}

TEST_F(ProgramTest, ADialogGroupThatFailsIsReportedOnceAndThePassGoesOn) {
    // Read once for the pass (the footer alignment and every result), not at each result.
    writeStore({fileGroup(), {u"Result"_s, {textValue(u"ShowResult"_s, u"yes"_s)}}});
    const Outcome outcome = run({u"/c"_s});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.err, "Morvex: 'ShowResult' のﾃﾞｰﾀ型が不正です\n");
    // The failure stops the load before ShowResult is applied: the design default shows.
    EXPECT_EQ(outcome.out, expectedLines());
    expectConverted();
}

TEST_F(ProgramTest, ConvertOnceWithTheOlderVendorsKeySavesNothingAndKeepsItsSourceList) {
    for (const Desktop desktop : {Desktop::None, Desktop::Offscreen}) {
        // The older vendor's keys alone, a source list among them: a move would rewrite all.
        const QByteArray store = "Windows Registry Editor Version 5.00\n\n"
                                 "[HKEY_CURRENT_USER\\Software\\ZELT\\Morvex\\File]\n" +
                                 fileGroup().values.join(u'\n').toUtf8() +
                                 "\n\n[HKEY_CURRENT_USER\\Software\\ZELT\\Morvex\\Result]\n" +
                                 resultGroup(false).values.join(u'\n').toUtf8() + "\n";
        ASSERT_TRUE(writeBytes(storePath(), store));
        ASSERT_TRUE(writeBytes(work(u"a.up"_s), kUploadA));
        ASSERT_TRUE(writeBytes(work(u"b.up"_s), kUploadB));
        QFile::remove(work(u"a.bak"_s));
        QFile::remove(work(u"b.bak"_s));
        const QByteArray before = readBytes(storePath());

        const Outcome outcome = run({u"/c"_s}, desktop);

        EXPECT_EQ(outcome.exitCode, 0) << outcome.err.toStdString();
        expectConverted();
        EXPECT_EQ(readBytes(storePath()), before) << "not moved, not pruned: nothing saved";
    }
}

TEST_F(ProgramTest, ConvertOnceRefusesStoredValuesThatWouldBreakThePass) {
    const QList<std::pair<QString, QString>> values = {
        {u"ConvChar"_s, u"！"_s}, {u"HeadConvChar"_s, u"】"_s}, {u"BackUpExt"_s, u".d/../x"_s}};
    for (const auto& [name, value] : values) {
        StoreSection file = fileGroup();
        file.values.append(textValue(name, value));
        writeStore({file});
        const Outcome outcome = run({u"/c"_s});
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_TRUE(outcome.err.startsWith("エラー: ")) << outcome.err.toStdString();
        EXPECT_TRUE(outcome.err.contains("\"" + value.toUtf8() + "\""))
            << outcome.err.toStdString();
        EXPECT_EQ(outcome.out, QByteArray());
        expectUntouched();
    }
}

TEST_F(ProgramTest, ConvertOnceTakesEachFilesListsFromTheFirstStoredRuleThatMatchesIt) {
    ASSERT_TRUE(writeBytes(work(u"one.mfl"_s), "-- one\r\n"));
    ASSERT_TRUE(writeBytes(work(u"two.mhl"_s), "件: \\H\n"));
    ASSERT_TRUE(writeBytes(work(u"b.up"_s), "]Subject\r\n#\r\ntext\r\n)\r\n"));
    ASSERT_TRUE(writeBytes(work(u"ub.up"_s), "]件名\n本文\n)\n"));
    // Rule 2 matches b.up too, but rule 1 comes first; a.up and c.up take the main lists.
    const StoreSection rules = {
        u"Rules"_s,
        {numberValue(u"Count"_s, 2), textValue(u"Pattern1"_s, u"b.up"_s),
         textValue(u"FooterList1"_s, work(u"one.mfl"_s)), textValue(u"FooterMarker1"_s, u"#"_s),
         textValue(u"Pattern2"_s, work(u"*b.up"_s)),
         textValue(u"HeaderList2"_s, work(u"two.mhl"_s)), textValue(u"Encoding2"_s, u"utf-8"_s)}};
    writeStore({fileGroup(), resultGroup(true), rules});
    const QByteArray storeBefore = readBytes(storePath());

    const Outcome outcome = run({u"/c"_s});

    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.err, QByteArray());
    EXPECT_EQ(outcome.out.count('\n'), 3) << outcome.out.toStdString();
    EXPECT_EQ(readBytes(work(u"a.up"_s)), "Re: Hello\r\nbody\r\n-- sig\r\n");
    // The rule's marker only: the main one stays text in this file.
    EXPECT_EQ(readBytes(work(u"b.up"_s)), "Re: Subject\r\n-- one\r\ntext\r\n)\r\n");
    EXPECT_EQ(readBytes(work(u"ub.up"_s)), "件: 件名\n本文\n-- sig\n");
    EXPECT_EQ(readBytes(work(u"c.up"_s)), kUploadC);
    EXPECT_EQ(readBytes(storePath()), storeBefore);
}

TEST_F(ProgramTest, ConvertOnceDrawsByWeightAndDatesEntriesInEitherEncoding) {
    // 年, 月, 日 and 件名 in Shift-JIS.
    const QByteArray year = "\x94\x4E", month = "\x8C\x8E", day = "\x93\xFA",
                     subject = "\x8C\x8F\x96\xBC";
    constexpr int kDraws = 10000;
    const struct {
        QString upload, footers, headers, encoding;
        QByteArray footerList, headerList, marker, newline, header;
    } files[] = {
        {u"s.up"_s, u"ws.mfl"_s, u"ds.mhl"_s, u"sjis"_s,
         ";@weight 3\r\n-- A\r\n;@weight 1\r\n-- B\r\n-- C\r\n",
         "\\D{%Y" + year + "%m" + month + "%d" + day + "} \\H\r\n", "]" + subject, "\r\n",
         "2026" + year + "12" + month + "08" + day + " " + subject},
        {u"u.up"_s, u"wu.mfl"_s, u"du.mhl"_s, QString(),
         ";@weight 3\n-- A\n;@weight 1\n-- B\n-- C\n", "\\D{%Y年%m月%d日} \\H\n", "]件名", "\n",
         "2026年12月08日 件名"},
    };
    QStringList rules = {numberValue(u"Count"_s, 2)};
    for (int i = 0; i < 2; ++i) {
        const auto& file = files[i];
        ASSERT_TRUE(writeBytes(work(file.footers), file.footerList));
        ASSERT_TRUE(writeBytes(work(file.headers), file.headerList));
        ASSERT_TRUE(writeBytes(work(file.upload),
                               file.marker + file.newline + (")" + file.newline).repeated(kDraws)));
        const QString n = QString::number(i + 1);
        rules << textValue(u"Pattern"_s + n, file.upload)
              << textValue(u"FooterList"_s + n, work(file.footers))
              << textValue(u"HeaderList"_s + n, work(file.headers));
        if (!file.encoding.isEmpty())
            rules << textValue(u"Encoding"_s + n, file.encoding);
    }
    writeStore({fileGroup(), resultGroup(true), {u"Rules"_s, rules}});
    m_clock = u"2026-12-08T10:00:00"_s;

    const Outcome outcome = run({u"/c"_s});

    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.err, QByteArray());
    EXPECT_EQ(outcome.out.count('\n'), 4) << outcome.out.toStdString();
    EXPECT_EQ(readBytes(work(u"a.up"_s)), "Re: Hello\r\nbody\r\n-- sig\r\n"); // the main lists
    for (const auto& file : files) {
        const QList<QByteArray> lines = readBytes(work(file.upload)).split('\n');
        ASSERT_EQ(lines.size(), kDraws + 2) << file.upload.toStdString();
        EXPECT_EQ(lines[0], file.header + file.newline.chopped(1));
        // Weights 3, 1, 1: three fifths, one fifth and one fifth of the draws.
        const std::pair<QByteArray, double> shares[] = {
            {"-- A", 0.6}, {"-- B", 0.2}, {"-- C", 0.2}};
        for (const auto& [entry, share] : shares) {
            const auto count =
                std::count(lines.begin() + 1, lines.end() - 1, entry + file.newline.chopped(1));
            EXPECT_NEAR(static_cast<double>(count) / kDraws, share, 0.02)
                << file.upload.toStdString() << " " << entry.toStdString();
        }
    }
}

TEST_F(ProgramTest, ConvertOnceWhoseReaderIsGoneFinishesThePass) {
    writeStore({fileGroup(), resultGroup(true)});
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ::close(pipeFds[0]); // "morvex /c | head -0"
    QProcess process;
    start(process, {u"/c"_s}, Desktop::None, pipeFds[1]);
    const Outcome outcome = finish(process);
    ::close(pipeFds[1]);
    EXPECT_EQ(outcome.status, QProcess::NormalExit);
    EXPECT_EQ(outcome.exitCode, 0);
    expectConverted();
}

} // namespace
} // namespace morvex::test
