// The built program in "/a" without a desktop: what Morvex's own arguments hold reaches the after
// program through the placeholders as one argument each.
#include "tests/support/Programs.h"
#include "tests/support/StoreFiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace morvex::test {
namespace {
using namespace Qt::StringLiterals;

TEST(AutoRunArguments, EachPlaceholderIsOneArgumentOfTheAfterProgram) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString log = root.filePath(u"child.log"_s);
    const QString afterApp = u"\"%1\" --log=\"%2\" after %3 %4 %5 %6 --name=%7"_s.arg(
        QString::fromUtf8(MORVEX_TEST_CHILD), log, u"%2"_s, u"%3"_s, u"%4"_s, u"%5"_s, u"%6"_s);
    ASSERT_TRUE(writeBytes(
        root.filePath(u"config/morvex/settings.reg"_s),
        storeText({{u"File"_s, {numberValue(u"SrcFileCount"_s, 0)}},
                   {u"AppRun"_s,
                    {numberValue(u"AfterCheck"_s, 1), textValue(u"AfterApp"_s, afterApp)}}})));
    const QStringList given = {u"two words"_s, u"say \"hi\" twice"_s, u"C:\\dir\\"_s,
                               u"\\\"x\" \"y"_s, u"山田 太郎"_s};

    QProcess program;
    QProcessEnvironment env = withoutDesktop();
    env.insert(u"XDG_CONFIG_HOME"_s, root.filePath(u"config"_s));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(root.path());
    program.start(QString::fromUtf8(MORVEX_PROGRAM), QStringList{u"/a"_s} + given);
    ASSERT_TRUE(program.waitForStarted());
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.readAllStandardError(), QByteArray());

    const QList<ChildRun> runs = waitForChildRuns(log, 1);
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs.first().arguments,
              (QStringList{u"after"_s} + given.mid(0, 4) + QStringList{u"--name="_s + given[4]}));
}

} // namespace
} // namespace morvex::test
