// The shell completions, run in bash, zsh and fish without a terminal of their own (zsh gets a
// pseudo-terminal from its zpty module) on a few command lines, in a folder of sample files.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

const QString kCompletions = QString::fromUtf8(MORVEX_PACKAGING_DIR) + u"/completions"_s;
const QString kDrivers = QString::fromUtf8(MORVEX_TESTS_DIR) + u"/packaging/completion"_s;

enum class Shell { Bash, Zsh, Fish };

// The program and arguments that print what `shell` offers for `line` (the command's name
// first), one word per line.
QStringList commandFor(Shell shell, const QString& line) {
    const QString program = line.section(u' ', 0, 0);
    switch (shell) {
    case Shell::Bash:
        return {u"bash"_s, kDrivers + u"/complete.bash"_s,
                kCompletions + u'/' + program + u".bash"_s, line};
    case Shell::Zsh:
        return {u"zsh"_s, u"-f"_s, kDrivers + u"/complete.zsh"_s, kCompletions, line};
    case Shell::Fish:
        return {u"fish"_s,
                u"--no-config"_s,
                u"-c"_s,
                u"source $argv[1]; complete -C $argv[2]"_s,
                kCompletions + u'/' + program + u".fish"_s,
                line};
    }
    return {};
}

// The offered words, sorted and separated by spaces, without fish's descriptions, the "--option="
// that fish repeats in front of a value, or the "/" after a folder.
std::string offered(Shell shell, const QString& line, const QString& folder) {
    const QStringList command = commandFor(shell, line);
    QProcess process;
    process.setWorkingDirectory(folder);
    // A home of its own: no completion file or setting of the user's takes part.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : {u"HOME"_s, u"XDG_CONFIG_HOME"_s, u"XDG_DATA_HOME"_s})
        env.insert(name, folder + u"/.home"_s);
    process.setProcessEnvironment(env);
    process.start(command.first(), command.mid(1));
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << command.first().toStdString()
                      << " did not answer: " << process.errorString().toStdString()
                      << " (./test.sh installs bash-completion, zsh and fish)";
        return "<no answer>";
    }
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QString last = line.section(u' ', -1);
    const QString option = last.startsWith(u"--"_s) && last.contains(u'=')
                               ? last.section(u'=', 0, 0) + u'='
                               : QString();
    QStringList words;
    for (QString word : QString::fromUtf8(process.readAllStandardOutput()).split(u'\n')) {
        word = word.section(u'\t', 0, 0);
        if (!option.isEmpty() && word.startsWith(option))
            word.remove(0, option.size());
        if (word.endsWith(u'/'))
            word.chop(1);
        if (!word.isEmpty())
            words << word;
    }
    words.sort();
    return words.join(u' ').toStdString();
}

TEST(Completion, EveryShellOffersTheOptionsModesAndFilesThatFit) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const QString& name :
         {u"sample.up"_s, u"a.mfl"_s, u"b.mhl"_s, u"notes.txt"_s, u"--fancy.up"_s}) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(folder.path()).mkdir(u"sub"_s));
    const QStringList files = {u"--fancy.up"_s, u"a.mfl"_s,     u"b.mhl"_s,
                               u"notes.txt"_s,  u"sample.up"_s, u"sub"_s};

    struct Case {
        QString line;
        QStringList expected; // sorted
    };
    const Case cases[] = {
        {u"morvex-convert --fo"_s, {u"--footer-list"_s, u"--footer-marker"_s}},
        {u"morvex-convert --h"_s, {u"--header-list"_s, u"--header-marker"_s, u"--help"_s}},
        {u"morvex-convert --footer-list "_s, {u"a.mfl"_s, u"sub"_s}},
        {u"morvex-convert --header-list="_s, {u"b.mhl"_s, u"sub"_s}},
        {u"morvex-convert --header-list=s"_s, {u"sub"_s}},
        {u"morvex-convert --seed "_s, {}},
        {u"morvex-convert -n "_s, files},
        {u"morvex-convert -- --f"_s, {u"--fancy.up"_s}},
        {u"morvex /"_s, {u"/a"_s, u"/c"_s, u"/o"_s, u"/w"_s}},
        {u"morvex -"_s, {u"--help"_s, u"--version"_s, u"-a"_s, u"-c"_s, u"-o"_s, u"-w"_s}},
        {u"morvex --v"_s, {u"--version"_s}},
        {u"morvex /a sa"_s, {u"sample.up"_s}},
    };
    for (Shell shell : {Shell::Bash, Shell::Zsh, Shell::Fish}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(commandFor(shell, c.line).first().toStdString() + ": " +
                         c.line.toStdString());
            EXPECT_EQ(offered(shell, c.line, folder.path()), c.expected.join(u' ').toStdString());
        }
    }
}

// The long options and mode switches a program's --help names, sorted.
QStringList switchesInHelp(const QString& program) {
    QProcess help;
    help.start(program, {u"--help"_s});
    EXPECT_TRUE(help.waitForFinished(30000));
    static const QRegularExpression word(uR"((?<![\w/-])(--[a-z][a-z-]*|/[a-z])(?![\w/]))"_s);
    QStringList found;
    for (const auto& match : word.globalMatch(QString::fromUtf8(help.readAllStandardOutput())))
        if (!found.contains(match.captured(1)))
            found << match.captured(1);
    found.sort();
    return found;
}

// A new option in a help text needs its line in each shell's completion.
TEST(Completion, EveryShellOffersEveryOptionAndModeOfTheHelpTexts) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QStringList convert = switchesInHelp(QString::fromUtf8(MORVEX_CONVERT));
    const QStringList morvex = switchesInHelp(QString::fromUtf8(MORVEX_PROGRAM));
    ASSERT_GE(convert.size(), 9);
    ASSERT_TRUE(morvex.contains(u"/w"_s));
    for (Shell shell : {Shell::Bash, Shell::Zsh, Shell::Fish}) {
        SCOPED_TRACE(commandFor(shell, {}).first().toStdString());
        // bash also offers "--" itself, which ends the options.
        QString offeredOptions =
            QString::fromStdString(offered(shell, u"morvex-convert --"_s, folder.path()));
        offeredOptions.remove(QRegularExpression(u"(^| )--(?= |$)"_s));
        EXPECT_EQ(offeredOptions.trimmed().toStdString(), convert.join(u' ').toStdString());
        const QString modes = QString::fromStdString(offered(shell, u"morvex /"_s, folder.path())) +
                              u' ' +
                              QString::fromStdString(offered(shell, u"morvex --"_s, folder.path()));
        QStringList sorted = modes.split(u' ', Qt::SkipEmptyParts);
        sorted.sort();
        EXPECT_EQ(sorted.join(u' ').toStdString(), morvex.join(u' ').toStdString());
    }
}

} // namespace
