// Where the program looks for the files it needs at run time: beside itself, then in the folders
// the install rules put them in, relative to its own folder.
#include "modes/InstallLayout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace morvex {
namespace {

using namespace Qt::StringLiterals;

class InstallLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        ASSERT_TRUE(QDir().mkpath(bin()));
    }
    QString bin() const { return m_root.filePath(u"prefix/bin"_s); }
    QString path(const QString& relative) const {
        return QDir::cleanPath(m_root.filePath(u"prefix/"_s + relative));
    }
    static void touch(const QString& file) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QTemporaryDir m_root;
};

TEST_F(InstallLayoutTest, BesideTheProgramFirstThenEachInstalledFolderInOrder) {
    const QStringList dirs = {u"../lib/morvex"_s, u"../share/doc/morvex"_s};
    const QStringList expected = {path(u"bin/x.so"_s), path(u"lib/morvex/x.so"_s),
                                  path(u"share/doc/morvex/x.so"_s)};

    InstalledFile none = findBesideOrInstalled(bin(), u"x.so"_s, dirs);
    EXPECT_TRUE(none.found.isEmpty());
    EXPECT_EQ(none.lookedAt, expected);

    // A folder of that name is not the file.
    ASSERT_TRUE(QDir().mkpath(path(u"lib/morvex/x.so"_s)));
    ASSERT_TRUE(QDir().mkpath(path(u"share/doc/morvex"_s)));
    touch(path(u"share/doc/morvex/x.so"_s));
    EXPECT_EQ(findBesideOrInstalled(bin(), u"x.so"_s, dirs).found, expected[2]);

    // The build tree's copy beside the program wins over an installed one.
    touch(path(u"bin/x.so"_s));
    const InstalledFile beside = findBesideOrInstalled(bin() + u'/', u"x.so"_s, dirs);
    EXPECT_EQ(beside.found, expected[0]);
    EXPECT_EQ(beside.lookedAt, expected);
}

TEST_F(InstallLayoutTest, TheModuleAndTheManualAreFoundInTheirInstalledFoldersOnly) {
    const InstalledFile module = findWindowModule(bin());
    const InstalledFile manual = findManual(bin());
    ASSERT_EQ(module.lookedAt.size(), 2);
    ASSERT_EQ(manual.lookedAt.size(), 2);
    EXPECT_EQ(module.lookedAt[0], path(u"bin/libmorvex-window.so"_s));
    EXPECT_EQ(manual.lookedAt[0], path(u"bin/Morvex.html"_s));
    // Both installed places stay inside the prefix, under lib*/morvex and share/morvex: not in
    // share/doc, which an admin may strip.
    EXPECT_TRUE(module.lookedAt[1].startsWith(path(u"lib"_s)));
    EXPECT_TRUE(module.lookedAt[1].endsWith(u"/morvex/libmorvex-window.so"_s));
    EXPECT_EQ(manual.lookedAt[1], path(u"share/morvex/Morvex.html"_s));

    // A manual left in the documentation folder by an older install is not the one looked for.
    ASSERT_TRUE(QDir().mkpath(path(u"share/doc/morvex"_s)));
    touch(path(u"share/doc/morvex/Morvex.html"_s));
    EXPECT_TRUE(findManual(bin()).found.isEmpty());

    ASSERT_TRUE(QDir().mkpath(path(u"share/morvex"_s)));
    touch(manual.lookedAt[1]);
    EXPECT_EQ(findManual(bin()).found, manual.lookedAt[1]);
    EXPECT_TRUE(findWindowModule(bin()).found.isEmpty());
}

} // namespace
} // namespace morvex
