#include "controls/FolderDialog.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <gtest/gtest.h>

using namespace morvex;

using namespace Qt::StringLiterals;

namespace {

TEST(FolderDialogPaths, OneTrailingSeparatorIsDropped) {
    const std::pair<QString, QString> rows[] = {
        {u"/data/"_s, u"/data"_s}, {u"/"_s, u"/"_s},
        {QString(), QString()},    {u"/data"_s, u"/data"_s},
        {u"data/"_s, u"data"_s},   {u"//"_s, u"/"_s},
        {u"/a/b//"_s, u"/a/b/"_s}, {u"/データ/"_s, u"/データ"_s},
    };
    QWidget owner;
    TFolderDialog dialog(&owner);
    for (const auto& [given, stored] : rows) {
        dialog.setStartDir(given);
        dialog.setRootDir(given);
        EXPECT_EQ(dialog.startDir(), stored) << qPrintable(given);
        EXPECT_EQ(dialog.rootDir(), stored) << qPrintable(given);
    }
    dialog.setCaption(u"フォルダを選択/"_s);
    EXPECT_EQ(dialog.caption(), u"フォルダを選択/"_s);
}

TEST(FolderDialogQueue, AnswersReplaceTheChooser) {
    QWidget owner;
    TFolderDialog dialog(&owner);
    EXPECT_EQ(dialog.parent(), &owner);
    EXPECT_TRUE(dialog.Path().isEmpty());
    dialog.setCaption(u"ヘッダーリストのフォルダ"_s);
    dialog.setStartDir(u"/home/user/lists/"_s);
    TFolderDialog::queueAnswer(u"/home/user/lists"_s);
    TFolderDialog::queueAnswer(std::nullopt);

    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.Path(), u"/home/user/lists"_s);
    const TFolderDialog::Request request = TFolderDialog::lastRequest();
    EXPECT_EQ(request.caption, u"ヘッダーリストのフォルダ"_s);
    EXPECT_EQ(request.startDir, u"/home/user/lists"_s);
    EXPECT_TRUE(request.rootDir.isEmpty());
    EXPECT_EQ(request.owner, &owner);

    // A cancel after a successful browse keeps nothing of it.
    EXPECT_FALSE(dialog.Execute());
    EXPECT_TRUE(dialog.Path().isEmpty());
}

/// Runs `Execute` while `act` handles the chooser as soon as it is up.
bool executeWith(TFolderDialog& dialog, const std::function<void(QDialog&)>& act) {
    bool seen = false;
    QTimer::singleShot(0, qApp, [&] {
        auto* chooser = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!chooser)
            return;
        seen = true;
        act(*chooser);
        if (chooser->isVisible())
            chooser->reject();
    });
    const bool chosen = dialog.Execute();
    EXPECT_TRUE(seen);
    return chosen;
}

QString currentPath(QDialog& chooser) {
    auto* tree = chooser.findChild<QTreeView*>(u"FolderTree"_s);
    auto* model = qobject_cast<QFileSystemModel*>(tree->model());
    return tree->currentIndex().isValid() ? model->filePath(tree->currentIndex()) : QString();
}

QPushButton* okButton(QDialog& chooser) {
    return chooser.findChild<QDialogButtonBox*>(u"Buttons"_s)->button(QDialogButtonBox::Ok);
}

class FolderDialogRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folders.isValid());
        root = folders.path();
        ASSERT_TRUE(QDir(root).mkpath(u"lists/old"_s));
        ASSERT_TRUE(QDir(root).mkpath(u"other"_s));
        TFolderDialog::clearAnswers();
    }

    QTemporaryDir folders;
    QString root;
    QWidget owner;
};

TEST_F(FolderDialogRun, PreselectsStartDirBelowTheRoot) {
    TFolderDialog dialog(&owner);
    dialog.setCaption(u"フォルダを選んでください"_s);
    dialog.setRootDir(root + u'/');
    dialog.setStartDir(root + u"/lists/old/"_s);
    const bool chosen = executeWith(dialog, [&](QDialog& chooser) {
        EXPECT_EQ(chooser.parentWidget(), &owner);
        EXPECT_EQ(chooser.findChild<QLabel*>(u"Instruction"_s)->text(),
                  u"フォルダを選んでください"_s);
        auto* tree = chooser.findChild<QTreeView*>(u"FolderTree"_s);
        auto* model = qobject_cast<QFileSystemModel*>(tree->model());
        ASSERT_NE(model, nullptr);
        EXPECT_FALSE(model->filter().testFlag(QDir::Files));
        EXPECT_EQ(model->filePath(tree->rootIndex()), QFileInfo(root).absolutePath());
        EXPECT_EQ(currentPath(chooser), root + u"/lists/old"_s);
        EXPECT_TRUE(okButton(chooser)->isEnabled());
        okButton(chooser)->click();
    });
    EXPECT_TRUE(chosen);
    EXPECT_EQ(dialog.Path(), root + u"/lists/old"_s);

    // Cancelling the next browse empties Path.
    EXPECT_FALSE(executeWith(dialog, [](QDialog& chooser) { chooser.reject(); }));
    EXPECT_TRUE(dialog.Path().isEmpty());
}

TEST_F(FolderDialogRun, TheStartFolderIsExpandedAndScrolledIntoViewFromTheFileSystemRoot) {
    // Enough folders before it that the tree must scroll to show it.
    for (int i = 0; i < 80; ++i)
        ASSERT_TRUE(QDir(root).mkpath(u"a%1"_s.arg(i, 2, 10, QChar(u'0'))));
    ASSERT_TRUE(QDir(root).mkpath(u"zz/deep/target"_s));
    const QString target = root + u"/zz/deep/target"_s;
    TFolderDialog dialog(&owner); // no root: the tree starts at "/"
    dialog.setStartDir(target);
    executeWith(dialog, [&](QDialog& chooser) {
        auto* tree = chooser.findChild<QTreeView*>(u"FolderTree"_s);
        const auto inSight = [tree] {
            const QRect row = tree->visualRect(tree->currentIndex());
            return row.isValid() && row.top() >= 0 && row.bottom() < tree->viewport()->height() &&
                   row.left() >= 0 && row.left() < tree->viewport()->width();
        };
        EXPECT_TRUE(QTest::qWaitFor(inSight, 5000));
        EXPECT_EQ(currentPath(chooser), target);
        for (QModelIndex up = tree->currentIndex().parent(); up.isValid(); up = up.parent())
            EXPECT_TRUE(tree->isExpanded(up)) << up.data().toString().toStdString();
        // It stays there once every folder on the way has been read: each lists (at least) the
        // folders it holds, the system's temporary folder changing meanwhile as it may.
        auto* model = qobject_cast<QFileSystemModel*>(tree->model());
        const auto everyFolderRead = [tree, model] {
            for (QModelIndex up = tree->currentIndex().parent(); up.isValid(); up = up.parent()) {
                const QDir folder(model->filePath(up));
                if (model->rowCount(up) < folder.entryList(model->filter()).size())
                    return false;
            }
            return true;
        };
        EXPECT_TRUE(QTest::qWaitFor(everyFolderRead, 10000));
        // The last batch's rows are sorted in first and followed on the next turn of the loop.
        EXPECT_TRUE(QTest::qWaitFor(inSight, 2000));
    });
}

TEST_F(FolderDialogRun, StartDirOutsideTheRootOrMissingSelectsNothing) {
    TFolderDialog dialog(&owner);
    dialog.setRootDir(root + u"/lists"_s);
    for (const QString& start : {root + u"/other"_s, root + u"/missing"_s, QString()}) {
        dialog.setStartDir(start);
        executeWith(dialog, [&](QDialog& chooser) {
            EXPECT_TRUE(currentPath(chooser).isEmpty()) << qPrintable(start);
            EXPECT_FALSE(okButton(chooser)->isEnabled());
        });
        EXPECT_TRUE(dialog.Path().isEmpty());
    }
}

TEST_F(FolderDialogRun, TheRootItselfAndTheFileSystemRootCanBeChosen) {
    TFolderDialog dialog(&owner);
    dialog.setRootDir(root);
    dialog.setStartDir(root);
    executeWith(dialog, [](QDialog& chooser) { okButton(chooser)->click(); });
    EXPECT_EQ(dialog.Path(), root);

    // A root that is no folder leaves the whole file system; "/" keeps its separator.
    dialog.setRootDir(root + u"/missing"_s);
    dialog.setStartDir(u"/"_s);
    const bool chosen = executeWith(dialog, [](QDialog& chooser) {
        auto* tree = chooser.findChild<QTreeView*>(u"FolderTree"_s);
        EXPECT_FALSE(tree->rootIndex().isValid());
        okButton(chooser)->click();
    });
    EXPECT_TRUE(chosen);
    EXPECT_EQ(dialog.Path(), u"/"_s);
}

} // namespace
