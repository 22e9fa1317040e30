// --help and --version of the built programs, and the shipped files that must agree with them:
// the man pages, the desktop entry, the AppStream data and the Debian changelog.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

struct Outcome {
    int exitCode = -1;
    bool ended = false;
    QByteArray out;
    QByteArray err;
};

enum class Desktop { None, Unreachable, Offscreen };

QProcessEnvironment environment(Desktop desktop) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
        env.remove(name);
    if (desktop == Desktop::Unreachable)
        env.insert(u"DISPLAY"_s, u":97"_s);
    if (desktop == Desktop::Offscreen)
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    return env;
}

// The quit signals stay blocked in the child until it has its handler, so one sent right after
// the start is not lost to the default action.
Outcome run(const QString& program, const QStringList& arguments, Desktop desktop,
            int signalNumber = 0) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(environment(desktop));
    process.setChildProcessModifier([] {
        sigset_t quit;
        sigemptyset(&quit);
        sigaddset(&quit, SIGTERM);
        sigprocmask(SIG_BLOCK, &quit, nullptr);
    });
    process.start();
    Outcome outcome;
    if (!process.waitForStarted())
        return outcome;
    if (signalNumber != 0) {
        // An idling program must still be running a moment later.
        EXPECT_FALSE(process.waitForFinished(300)) << "ended instead of idling";
        ::kill(static_cast<pid_t>(process.processId()), signalNumber);
    }
    outcome.ended = process.waitForFinished(30000);
    if (!outcome.ended) {
        process.kill();
        process.waitForFinished();
    }
    outcome.exitCode = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}

const QString kMorvex = QString::fromUtf8(MORVEX_PROGRAM);
const QString kConvert = QString::fromUtf8(MORVEX_CONVERT);

QString packagingFile(const QString& name) {
    return QString::fromUtf8(MORVEX_PACKAGING_DIR) + u'/' + name;
}

QString readText(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(file.readAll());
}

TEST(CommandLineInfo, HelpAndVersionEndAtOnceWithStatusZeroWithAndWithoutADesktop) {
    for (Desktop desktop : {Desktop::None, Desktop::Unreachable, Desktop::Offscreen}) {
        SCOPED_TRACE(static_cast<int>(desktop));
        const Outcome help = run(kMorvex, {u"--help"_s, u"/c"_s}, desktop);
        ASSERT_TRUE(help.ended);
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_TRUE(help.out.startsWith("Usage: morvex [MODE [ARGUMENT...]]\n")) << help.out.data();
        EXPECT_EQ(help.err, QByteArray());

        const Outcome version = run(kMorvex, {u"--version"_s}, desktop);
        ASSERT_TRUE(version.ended);
        EXPECT_EQ(version.exitCode, 0);
        const QString binDir = QFileInfo(kMorvex).canonicalPath();
        EXPECT_EQ(version.out,
                  "morvex " MORVEX_VERSION "\nwindow module: " +
                      (binDir + u"/libmorvex-window.so\nmanual: "_s + binDir + u"/Morvex.html\n"_s)
                          .toUtf8());
    }
}

TEST(CommandLineInfo, AProgramWithoutItsModuleAndManualStillAnswersAndNamesWhereItLooked) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ASSERT_TRUE(QDir().mkpath(root.filePath(u"bin"_s)));
    const QString lonely = root.filePath(u"bin/morvex"_s);
    ASSERT_TRUE(QFile::copy(kMorvex, lonely));

    const Outcome version = run(lonely, {u"--version"_s}, Desktop::Offscreen);
    ASSERT_TRUE(version.ended);
    EXPECT_EQ(version.exitCode, 0);
    const QString bin = QFileInfo(lonely).canonicalPath();
    EXPECT_TRUE(version.out.contains(
        (u"window module: not found; looked for "_s + bin + u"/libmorvex-window.so and "_s)
            .toUtf8()))
        << version.out.data();
    EXPECT_TRUE(version.out.contains((u"manual: not found; looked for "_s + bin +
                                      u"/Morvex.html and "_s + QDir::cleanPath(bin + u"/.."_s) +
                                      u"/share/doc/morvex/Morvex.html\n"_s)
                                         .toUtf8()))
        << version.out.data();

    // Without --help the same program needs its module, and says where it looked.
    const Outcome window = run(lonely, {u"/x"_s}, Desktop::Offscreen);
    ASSERT_TRUE(window.ended);
    EXPECT_EQ(window.exitCode, 1);
    EXPECT_TRUE(window.err.contains("the window module is missing; looked for " +
                                    (bin + u"/libmorvex-window.so"_s).toUtf8()))
        << window.err.data();
}

TEST(CommandLineInfo, OtherSpellingsAndLaterArgumentsAreNotHelpAndIdleUntilAQuitSignal) {
    for (const QStringList& arguments :
         {QStringList{u"--HELP"_s}, QStringList{u"-h"_s}, QStringList{u"/x"_s, u"--help"_s}}) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const Outcome idle = run(kMorvex, arguments, Desktop::Offscreen, SIGTERM);
        ASSERT_TRUE(idle.ended);
        EXPECT_EQ(idle.exitCode, 0);
        EXPECT_FALSE(idle.out.contains("Usage:"));
    }
}

TEST(CommandLineInfo, WriteFailuresOfHelpAreNotReportedAsSuccess) {
    QProcess process;
    process.setProgram(kMorvex);
    process.setArguments({u"--help"_s});
    process.setStandardOutputFile(u"/dev/full"_s);
    process.start();
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_NE(process.exitCode(), 0);
}

// The options (--x) and mode switches (/x) that a --help text names.
QStringList switchesOf(const QByteArray& help) {
    static const QRegularExpression word(uR"((?<![\w/-])(--[a-z][a-z-]*|/[a-z])(?![\w/]))"_s);
    QStringList found;
    for (const auto& match : word.globalMatch(QString::fromUtf8(help)))
        if (!found.contains(match.captured(1)))
            found << match.captured(1);
    return found;
}

// The text of a man page's section, with groff's "\-" read as "-".
QString manSection(const QString& page, const QString& name) {
    const QString text = readText(page).replace(u"\\-"_s, u"-"_s);
    const qsizetype start = text.indexOf(u"\n.SH "_s + name + u'\n');
    if (start < 0)
        return {};
    const qsizetype end = text.indexOf(u"\n.SH "_s, start + 1);
    return text.mid(start, end < 0 ? -1 : end - start);
}

// Whether a man page section sets `word` in bold as an entry of its own (".B word", ".BI word").
bool namesInBold(const QString& section, const QString& word) {
    return QRegularExpression(u"^\\.BI? "_s + QRegularExpression::escape(word) + u"( |$)"_s,
                              QRegularExpression::MultilineOption)
        .match(section)
        .hasMatch();
}

TEST(CommandLineInfo, ManPagesDescribeEveryOptionAndExitStatusOfTheHelpTexts) {
    struct Page {
        QString program;
        QString page;
        QStringList sections; // where the options are described
    };
    for (const Page& p : {Page{kMorvex, u"man/morvex.1.in"_s, {u"DESCRIPTION"_s, u"OPTIONS"_s}},
                          Page{kConvert, u"man/morvex-convert.1.in"_s, {u"OPTIONS"_s}}}) {
        SCOPED_TRACE(p.page.toStdString());
        const Outcome help = run(p.program, {u"--help"_s}, Desktop::None);
        ASSERT_EQ(help.exitCode, 0);
        const QString page = packagingFile(p.page);
        QString described;
        for (const QString& section : p.sections)
            described += manSection(page, section);
        const QStringList switches = switchesOf(help.out);
        EXPECT_GE(switches.size(), 4);
        for (const QString& word : switches)
            EXPECT_TRUE(namesInBold(described, word)) << word.toStdString() << " is not described";

        // Every status the help text gives has its entry, and no other status does.
        const QString exitLine = QString::fromUtf8(help.out).section(u"Exit status:"_s, 1);
        QStringList given;
        for (const auto& m : QRegularExpression(u"(?<![\\w-])(\\d+) "_s).globalMatch(exitLine))
            given << m.captured(1);
        given.removeDuplicates(); // one status may be named for several modes
        QStringList listed;
        const QString statuses = manSection(page, u"EXIT STATUS"_s);
        for (const auto& m :
             QRegularExpression(u"^\\.B (\\d+)$"_s, QRegularExpression::MultilineOption)
                 .globalMatch(statuses))
            listed << m.captured(1);
        EXPECT_FALSE(given.isEmpty());
        EXPECT_EQ(listed, given);
    }
}

TEST(CommandLineInfo, DesktopEntryAppStreamAndChangelogNameTheProgramItsIconAndVersion) {
    const QString entry = readText(packagingFile(u"jp.qor.Morvex.desktop"_s));
    EXPECT_TRUE(entry.contains(u"\nExec=morvex\n"_s));
    EXPECT_TRUE(entry.contains(u"\nIcon=jp.qor.Morvex\n"_s));
    EXPECT_TRUE(QFile::exists(packagingFile(u"icons/jp.qor.Morvex.svg"_s)));
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        EXPECT_TRUE(QFile::exists(packagingFile(u"icons/jp.qor.Morvex-%1.png"_s.arg(size))));

    const QString metainfo = readText(packagingFile(u"jp.qor.Morvex.metainfo.xml"_s));
    EXPECT_TRUE(metainfo.contains(u"<id>jp.qor.Morvex</id>"_s));
    EXPECT_TRUE(
        metainfo.contains(u"<launchable type=\"desktop-id\">jp.qor.Morvex.desktop</launchable>"_s));

    const QString changelog = readText(packagingFile(u"debian/changelog"_s));
    EXPECT_TRUE(changelog.startsWith(u"morvex (" MORVEX_VERSION ") "_s))
        << changelog.left(40).toStdString();
}

} // namespace
