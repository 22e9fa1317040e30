// --help and --version of the built programs, and the shipped files that must agree with them:
// the man pages, the desktop entry, the AppStream data and the Debian changelog.
#include "tests/support/Programs.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;
using morvex::test::endedWithin;
using morvex::test::withoutDesktop;

struct Outcome {
    int exitCode = -1;
    bool ended = false;
    QByteArray out;
    QByteArray err;
};

enum class Desktop { None, Unreachable, Offscreen };

QProcessEnvironment environment(Desktop desktop) {
    QProcessEnvironment env = withoutDesktop();
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
    outcome.ended = endedWithin(process, 30000);
    outcome.exitCode = process.exitCode();
    outcome.out = process.readAllStandardOutput();
    outcome.err = process.readAllStandardError();
    return outcome;
}

const QString kMorvex = QString::fromUtf8(MORVEX_PROGRAM);
const QString kConvert = QString::fromUtf8(MORVEX_CONVERT);

QString sourceFile(const QString& name) {
    return QString::fromUtf8(MORVEX_SOURCE_DIR) + u'/' + name;
}

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
        const QByteArray where =
            (u"window module: "_s + binDir + u"/libmorvex-window.so\nmanual: "_s + binDir +
             u"/Morvex.html\n"_s)
                .toUtf8();
        EXPECT_TRUE(version.out.startsWith("morvex " MORVEX_VERSION "\nCopyright (c) "))
            << version.out.data();
        EXPECT_TRUE(version.out.endsWith(where)) << version.out.data();
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
    EXPECT_TRUE(
        version.out.contains((u"manual: not found; looked for "_s + bin + u"/Morvex.html and "_s +
                              QDir::cleanPath(bin + u"/.."_s) + u"/share/morvex/Morvex.html\n"_s)
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

TEST(CommandLineInfo, WriteFailuresOfHelpAndVersionEndWithStatusOne) {
    for (const QString& program : {kMorvex, kConvert}) {
        for (const QString& request : {u"--help"_s, u"--version"_s}) {
            SCOPED_TRACE((program + u' ' + request).toStdString());
            QProcess process;
            process.setProgram(program);
            process.setArguments({request});
            process.setProcessEnvironment(environment(Desktop::None));
            process.setStandardOutputFile(u"/dev/full"_s);
            process.start();
            ASSERT_TRUE(process.waitForFinished(30000));
            EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(process.exitCode(), 1);
        }
    }
}

// Columns on a terminal: East Asian wide characters take two.
int displayWidth(const QString& line) {
    int width = 0;
    for (const char32_t c : line.toUcs4()) {
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                          (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                          (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                          (c >= 0xFFE0 && c <= 0xFFE6);
        width += wide ? 2 : 1;
    }
    return width;
}

// The lines of `text` wider than an 80-column terminal, one per line.
std::string overWide(const QByteArray& text) {
    QStringList wide;
    for (const QString& line : QString::fromUtf8(text).split(u'\n'))
        if (displayWidth(line) > 80)
            wide << line;
    return wide.join(u'\n').toStdString();
}

TEST(CommandLineInfo, HelpAndVersionFitEightyColumnsAndNameTheLicence) {
    const QString licence = readText(QString::fromUtf8(MORVEX_SOURCE_DIR) + u"/LICENSE"_s);
    const QString copyright = licence.section(u'\n', 2, 2);
    ASSERT_TRUE(licence.startsWith(u"MIT License\n"_s));
    ASSERT_TRUE(copyright.startsWith(u"Copyright (c) "_s)) << copyright.toStdString();
    for (const QString& program : {kMorvex, kConvert}) {
        SCOPED_TRACE(program.toStdString());
        for (const QString& request : {u"--help"_s, u"--version"_s}) {
            const Outcome info = run(program, {request}, Desktop::None);
            ASSERT_EQ(info.exitCode, 0);
            EXPECT_EQ(overWide(info.out), "") << request.toStdString();
        }
        const QString version =
            QString::fromUtf8(run(program, {u"--version"_s}, Desktop::None).out);
        EXPECT_EQ(version.section(u'\n', 1, 1), copyright);
        EXPECT_TRUE(version.contains(u"MIT License"_s)) << version.toStdString();
    }
}

TEST(CommandLineInfo, ShortHelpOfTheConverterIsItsHelp) {
    const Outcome help = run(kConvert, {u"--help"_s}, Desktop::None);
    for (const QStringList& arguments : {QStringList{u"-h"_s}, QStringList{u"-h"_s, u"memo.up"_s},
                                         QStringList{u"-n"_s, u"-h"_s}}) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const Outcome shortHelp = run(kConvert, arguments, Desktop::None);
        EXPECT_EQ(shortHelp.exitCode, 0);
        EXPECT_EQ(shortHelp.out, help.out);
        EXPECT_EQ(shortHelp.err, QByteArray());
    }
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

// Whether a man page section sets `word` in bold as an entry of its own (".B word", ".BI word",
// or as the second name of ".BR -x ", " word").
bool namesInBold(const QString& section, const QString& word) {
    return QRegularExpression(u"^\\.(BI?|BR -\\w \", \") "_s + QRegularExpression::escape(word) +
                                  u"( |$)"_s,
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

    const QString changelog = readText(sourceFile(u"debian/changelog"_s));
    EXPECT_TRUE(changelog.startsWith(u"morvex (" MORVEX_VERSION ") "_s))
        << changelog.left(40).toStdString();
}

// The desktop entry's actions: each starts a mode that "morvex --help" lists, and its name ends
// with that switch.
TEST(CommandLineInfo, DesktopActionsStartModesOfTheProgram) {
    const QString entry = readText(packagingFile(u"jp.qor.Morvex.desktop"_s));
    const QStringList switches = switchesOf(run(kMorvex, {u"--help"_s}, Desktop::None).out);
    const QRegularExpression actions(u"^Actions=(.*)$"_s, QRegularExpression::MultilineOption);
    const QStringList ids = actions.match(entry).captured(1).split(u';', Qt::SkipEmptyParts);
    EXPECT_EQ(ids, (QStringList{u"convert"_s, u"watch"_s}));
    QStringList started;
    for (const QString& id : ids) {
        SCOPED_TRACE(id.toStdString());
        const QString group =
            entry.section(u"[Desktop Action "_s + id + u"]\n"_s, 1).section(u"\n["_s, 0, 0);
        const QString exec = group.section(u"Exec="_s, 1).section(u'\n', 0, 0);
        const QString name = group.section(u"Name="_s, 1).section(u'\n', 0, 0);
        ASSERT_TRUE(exec.startsWith(u"morvex "_s)) << exec.toStdString();
        const QString mode = exec.mid(7);
        EXPECT_TRUE(switches.contains(mode)) << mode.toStdString();
        EXPECT_TRUE(name.endsWith(u" ("_s + mode + u')')) << name.toStdString();
        started << mode;
    }
    EXPECT_EQ(started, (QStringList{u"/c"_s, u"/o"_s}));
}

// Both man pages, as man shows them on an 80-column terminal (man-db sets the line length to 78
// there), without a line that runs over.
TEST(CommandLineInfo, ManPagesFitEightyColumns) {
    for (const QString& page : {u"man/morvex.1.in"_s, u"man/morvex-convert.1.in"_s}) {
        SCOPED_TRACE(page.toStdString());
        QProcess groff;
        groff.start(u"groff"_s, {u"-man"_s, u"-Tutf8"_s, u"-P-cbou"_s, u"-rLL=78n"_s, u"-ww"_s,
                                 packagingFile(page)});
        ASSERT_TRUE(groff.waitForFinished(30000)) << "groff (Debian: groff-base) is missing";
        ASSERT_EQ(groff.exitCode(), 0);
        const QByteArray text = groff.readAllStandardOutput();
        EXPECT_GT(text.count('\n'), 50);
        EXPECT_EQ(overWide(text), "");
        EXPECT_EQ(groff.readAllStandardError(), QByteArray());
    }
}

// The licence is the same everywhere it is named, and no shipped file gives a web or mail address
// on a domain the project does not own: only reserved ones (example.jp, .invalid) and the
// standards' own.
TEST(CommandLineInfo, LicenceAgreesAndNoAddressIsInvented) {
    EXPECT_TRUE(readText(sourceFile(u"LICENSE"_s)).startsWith(u"MIT License\n"_s));
    EXPECT_TRUE(readText(packagingFile(u"jp.qor.Morvex.metainfo.xml"_s))
                    .contains(u"<project_license>MIT</project_license>"_s));
    const QString copyright = readText(sourceFile(u"debian/copyright"_s));
    EXPECT_TRUE(copyright.contains(u"\nFiles: *\nCopyright: "_s));
    EXPECT_EQ(copyright.count(u"\nLicense: MIT\n"_s), 2) << "the files' licence and its text";

    const QRegularExpression address(uR"((https?://[^/\s"<>]+|[\w.+-]+@[\w-]+(\.[\w-]+)+))"_s);
    const QRegularExpression allowed(
        uR"(^(https?://(www\.debian\.org|www\.w3\.org)|.*@(example\.jp|[\w.-]+\.invalid))$)"_s);
    for (const QString& file :
         {u"README.md"_s, u"app/Morvex.html"_s, u"debian/control"_s, u"debian/copyright"_s,
          u"debian/changelog"_s, u"packaging/jp.qor.Morvex.metainfo.xml"_s,
          u"packaging/jp.qor.Morvex.desktop"_s, u"packaging/man/morvex.1.in"_s,
          u"packaging/man/morvex-convert.1.in"_s, u"packaging/morvex-watch.service.in"_s}) {
        for (const auto& match : address.globalMatch(readText(sourceFile(file))))
            EXPECT_TRUE(allowed.match(match.captured(1)).hasMatch())
                << file.toStdString() << ": " << match.captured(1).toStdString();
    }
}

} // namespace
