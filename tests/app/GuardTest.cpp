// The single-instance guard between real processes, and the names its guards get.
#include "app/desktop/mutexcheck.h"
#include "tests/app/ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

class GuardTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_runtime.isValid()); }

    std::unique_ptr<ChildProcess> start(const QString& id) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_RUNTIME_DIR"_s, m_runtime.path());
        return std::make_unique<ChildProcess>(QString::fromUtf8(MUTEX_PROBE), QStringList{id}, env);
    }
    /// Starts a probe and tells whether it got past the guard.
    static bool passes(ChildProcess& probe) { return probe.waitForLine("running") == 0; }
    QString folder() const { return m_runtime.filePath(u"morvex"_s); }

    QTemporaryDir m_runtime;
};

TEST_F(GuardTest, SecondStartWithTheSameNameEndsWith255BeforeDoingAnything) {
    auto first = start(u"Morvex watch"_s);
    ASSERT_TRUE(passes(*first));
    auto second = start(u"Morvex watch"_s);
    EXPECT_EQ(second->waitForExit(), TCheckMutex::kRefusedStatus);
    EXPECT_TRUE(second->lines().isEmpty());
    // Another name is another guard.
    auto other = start(u"Morvex other"_s);
    EXPECT_TRUE(passes(*other));
    EXPECT_TRUE(first->running());
}

TEST_F(GuardTest, AGuardOfAKilledProcessNeverBlocks) {
    auto holder = start(u"killed"_s);
    ASSERT_TRUE(passes(*holder));
    holder->kill(SIGKILL);
    ASSERT_NE(holder->waitForExit(), 0);
    ASSERT_FALSE(QDir(folder()).isEmpty()) << "the killed holder leaves its file behind";
    auto next = start(u"killed"_s);
    EXPECT_TRUE(passes(*next));
}

TEST_F(GuardTest, ALongRunningHolderStillBlocks) {
    auto holder = start(u"old"_s);
    ASSERT_TRUE(passes(*holder));
    // As if the holder had been running for a day: age alone never makes a guard stale.
    const QString path =
        QDir(folder()).filePath(QFileInfo(TCheckMutex::guardPath(u"old"_s)).fileName());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addDays(-1),
                                 QFileDevice::FileModificationTime));
    file.close();
    auto second = start(u"old"_s);
    EXPECT_EQ(second->waitForExit(), TCheckMutex::kRefusedStatus);
}

TEST_F(GuardTest, AnEmptyNameLetsAnyNumberRunAndLeavesNoFile) {
    auto first = start(QString());
    auto second = start(QString());
    EXPECT_TRUE(passes(*first));
    EXPECT_TRUE(passes(*second));
    EXPECT_FALSE(QFileInfo::exists(folder()));
}

TEST_F(GuardTest, AnyNameStaysOneFileInsideTheGuardFolder) {
    auto probe = start(u"../../escape/me"_s);
    ASSERT_TRUE(passes(*probe));
    const QStringList inside = QDir(folder()).entryList(QDir::Files);
    ASSERT_EQ(inside.size(), 1);
    EXPECT_FALSE(inside.constFirst().contains(u'/'));
    EXPECT_EQ(QDir(m_runtime.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{u"morvex"_s});
    EXPECT_EQ(QFile::permissions(folder()) & (QFile::ReadGroup | QFile::ReadOther), 0);
}

TEST(GuardNames, DistinctNamesGiveDistinctSafeFiles) {
    const QString names[] = {u"a/b"_s,           u"a%2Fb"_s,        u"."_s,   u".."_s,
                             u"メール監視"_s,    u"a b"_s,          u"A/B"_s, u"a\\b"_s,
                             QString(300, u'x'), QString(301, u'x')};
    QStringList files;
    for (const QString& name : names) {
        const QFileInfo guard(TCheckMutex::guardPath(name));
        EXPECT_EQ(guard.absolutePath(), QDir(TCheckMutex::guardFolder()).absolutePath())
            << name.toStdString();
        EXPECT_LE(guard.fileName().size(), 220) << name.toStdString();
        EXPECT_NE(guard.fileName(), u"."_s);
        EXPECT_NE(guard.fileName(), u".."_s);
        files << guard.fileName();
    }
    files.removeDuplicates();
    EXPECT_EQ(files.size(), std::size(names));
}

} // namespace
} // namespace morvex::test
