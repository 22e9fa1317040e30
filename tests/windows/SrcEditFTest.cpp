#include "tests/support/Widgets.h"
#include "windows/SrcEditU.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {
using namespace Qt::StringLiterals;
using morvex::TSrcEditF;

class SrcEditF : public testing::Test {
protected:
    void SetUp() override {
        f.setEntries({u"a.up"_s, u"*.up"_s});
        f.show();
    }

    QStringList addArea() const {
        QStringList shown;
        for (QWidget* w : std::initializer_list<QWidget*>{f.Label1, f.Label2, f.AddFile, f.Button1,
                                                          f.Button2, f.Button3})
            if (w->isVisible())
                shown << w->objectName();
        return shown;
    }

    void add(const QString& text) {
        QTest::mouseClick(f.Button4, Qt::LeftButton);
        f.AddFile->setText(text);
        QTest::mouseClick(f.Button2, Qt::LeftButton);
    }

    TSrcEditF f;
};

TEST_F(SrcEditF, ExpandsAndCollapses) {
    EXPECT_EQ(f.size(), QSize(348, 100));
    EXPECT_TRUE(addArea().isEmpty());
    QTest::mouseClick(f.Button4, Qt::LeftButton);
    EXPECT_TRUE(f.isExpanded());
    EXPECT_EQ(f.height(), 100 + 217 - 126);
    EXPECT_EQ(addArea().size(), 6);
    EXPECT_FALSE(f.Button4->isEnabled());
    EXPECT_FALSE(f.Button5->isEnabled());
    EXPECT_FALSE(f.SrcList->isEnabled());
    EXPECT_TRUE(f.Button6->isEnabled());

    f.AddFile->setText(u"dropped"_s);
    QTest::mouseClick(f.Button3, Qt::LeftButton);
    EXPECT_FALSE(f.isExpanded());
    EXPECT_EQ(f.height(), 100);
    EXPECT_TRUE(addArea().isEmpty());
    EXPECT_TRUE(f.Button4->isEnabled() && f.Button5->isEnabled() && f.SrcList->isEnabled());
    EXPECT_TRUE(f.AddFile->text().isEmpty());
    EXPECT_EQ(f.entries(), (QStringList{u"a.up"_s, u"*.up"_s}));
}

TEST_F(SrcEditF, EnterAddsAndEscapeCancelsOnlyWhileExpanded) {
    QTest::keyClick(f.SrcList, Qt::Key_Return);
    QTest::keyClick(f.SrcList, Qt::Key_Escape);
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(f.isExpanded());
    EXPECT_EQ(f.entries().size(), 2);

    QTest::mouseClick(f.Button4, Qt::LeftButton);
    ASSERT_EQ(f.focusWidget(), f.AddFile);
    QTest::keyClicks(f.AddFile, u"new.up"_s);
    QTest::keyClick(f.AddFile, Qt::Key_Return);
    EXPECT_FALSE(f.isExpanded());
    EXPECT_EQ(f.entries().last(), u"new.up"_s);

    QTest::mouseClick(f.Button4, Qt::LeftButton);
    QTest::keyClicks(f.AddFile, u"gone.up"_s);
    QTest::keyClick(f.AddFile, Qt::Key_Escape);
    EXPECT_FALSE(f.isExpanded());
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.entries().size(), 3);
}

TEST_F(SrcEditF, EntriesAreKeptExactlyAsTyped) {
    add(u"*.up"_s);
    add(u"*.up"_s);
    add(u" spaced.up "_s);
    add(QString());
    QTest::mouseClick(f.Button4, Qt::LeftButton);
    morvex::test::commitText(f.AddFile, u"/home/u/下書き/*.up"_s);
    QTest::mouseClick(f.Button2, Qt::LeftButton);
    EXPECT_EQ(f.entries(), (QStringList{u"a.up"_s, u"*.up"_s, u"*.up"_s, u"*.up"_s,
                                        u" spaced.up "_s, u"/home/u/下書き/*.up"_s}));
}

TEST_F(SrcEditF, DeleteRemovesOnlyTheSelectedEntry) {
    QTest::mouseClick(f.Button5, Qt::LeftButton);
    EXPECT_EQ(f.entries().size(), 2);
    f.SrcList->setCurrentRow(0);
    QTest::mouseClick(f.Button5, Qt::LeftButton);
    EXPECT_EQ(f.entries(), QStringList{u"*.up"_s});
    QTest::mouseClick(f.Button5, Qt::LeftButton);
    EXPECT_EQ(f.entries(), QStringList{u"*.up"_s});
}

TEST_F(SrcEditF, BrowseReplacesTheTypedNameAndCancelKeepsIt) {
    QTest::mouseClick(f.Button4, Qt::LeftButton);
    f.AddFile->setText(u"typed"_s);
    morvex::queueFileDialogAnswer(std::nullopt);
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    EXPECT_EQ(f.AddFile->text(), u"typed"_s);
    const morvex::FileDialogRequest request = morvex::lastFileDialogRequest();
    EXPECT_EQ(request.title, u"追加ファイル選択"_s);
    EXPECT_EQ(request.filter, u"全てのファイル (*.*)|*.*"_s);
    EXPECT_TRUE(request.mustExist);
    EXPECT_TRUE(request.writable);
    morvex::queueFileDialogAnswer(u"/tmp/chosen.up"_s);
    QTest::mouseClick(f.Button1, Qt::LeftButton);
    EXPECT_EQ(f.AddFile->text(), u"/tmp/chosen.up"_s);
}

TEST(EditSourceList, ClosingWhileExpandedHandsBackTheListWithoutTheTypedName) {
    QStringList srcFile{u"one.up"_s, u"two.up"_s};
    morvex::test::ModalWatcher watcher([](QWidget* modal) {
        auto* f = qobject_cast<TSrcEditF*>(modal);
        ASSERT_NE(f, nullptr);
        f->SrcList->setCurrentRow(0);
        f->Button5->click();
        f->Button4->click();
        f->AddFile->setText(u"unconfirmed.up"_s);
        f->Button6->click();
    });
    morvex::editSourceList(nullptr, srcFile);
    EXPECT_EQ(watcher.count(), 1);
    EXPECT_EQ(srcFile, QStringList{u"two.up"_s});
}

TEST(EditSourceList, DeletingEverythingLeavesTheListBoxEmpty) {
    QListWidget box;
    box.addItems({u"x.up"_s, u"y.up"_s});
    morvex::test::ModalWatcher watcher([](QWidget* modal) {
        auto* f = qobject_cast<TSrcEditF*>(modal);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->entries(), (QStringList{u"x.up"_s, u"y.up"_s}));
        while (f->SrcList->count() > 0) {
            f->SrcList->setCurrentRow(0);
            f->Button5->click();
        }
        f->close();
    });
    morvex::editSourceList(nullptr, &box);
    EXPECT_EQ(box.count(), 0);
}

TEST(SrcEditFWindow, DesignedFrame) {
    TSrcEditF f;
    EXPECT_EQ(f.windowTitle(), u"変換ファイルリストの編集"_s);
    EXPECT_TRUE(f.windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
    EXPECT_EQ(f.SrcList->geometry(), QRect(0, 0, 255, 100));
    f.setEntries({u"a"_s, u"b"_s});
    EXPECT_EQ(f.SrcList->sizeHintForRow(0), 12);
}

} // namespace
