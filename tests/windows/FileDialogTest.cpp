// The file dialogs as the user meets them: Qt's own dialog, filtered, sized and placed.
#include "gui/Dialogs.h"
#include "tests/support/Widgets.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {
using namespace Qt::StringLiterals;
using namespace morvex;
using morvex::test::ModalWatcher;

const QString kProgramFilter = u"実行ファイル (*.exe;*.com)|*.exe;*.com|全てのファイル (*.*)|*.*"_s;

bool makeFile(const QString& path, QFileDevice::Permissions permissions) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x\n") == 2 &&
           file.setPermissions(permissions);
}

class FileDialogTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        const auto readWrite = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        ASSERT_TRUE(makeFile(path(u"tool"_s), readWrite | QFileDevice::ExeOwner));
        ASSERT_TRUE(makeFile(path(u"notes.txt"_s), readWrite));
        ASSERT_TRUE(makeFile(path(u"list.mhl"_s), readWrite));
        ASSERT_TRUE(QDir(m_folder.path()).mkdir(u"sub"_s));
    }

    QString path(const QString& name) const { return m_folder.filePath(name); }

    FileDialogRequest request(const QString& filter, bool executables) const {
        FileDialogRequest r;
        r.title = u"選択"_s;
        r.filter = filter;
        r.mustExist = true;
        r.executables = executables;
        r.startDir = m_folder.path();
        return r;
    }

    /// The names the dialog's file view shows once the folder is read.
    static QStringList shownNames(QFileDialog* dialog, int expected) {
        auto* view = dialog->findChild<QTreeView*>(u"treeView"_s);
        if (!view)
            return {};
        QStringList names;
        (void)QTest::qWaitFor(
            [&] {
                names.clear();
                const QModelIndex root = view->rootIndex();
                for (int row = 0; row < view->model()->rowCount(root); ++row)
                    names << view->model()->index(row, 0, root).data().toString();
                return names.size() == expected;
            },
            3000);
        names.sort();
        return names;
    }

    QTemporaryDir m_folder;
};

TEST_F(FileDialogTest, TheProgramFilterShowsTheFolderExecutablesUnderItsDesignedText) {
    QStringList first, all, again, firstCombo;
    QString comboText;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        auto* combo = dialog->findChild<QComboBox*>(u"fileTypeCombo"_s);
        ASSERT_NE(combo, nullptr);
        comboText = combo->currentText();
        first = shownNames(dialog, 2);
        QTest::keyClick(combo, Qt::Key_Down); // as the user picks the second filter
        all = shownNames(dialog, 4);
        QTest::keyClick(combo, Qt::Key_Up);
        again = shownNames(dialog, 2);
        // As the user types the name and presses the open button.
        auto* name = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s);
        ASSERT_NE(name, nullptr);
        name->clear();
        QTest::keyClicks(name, u"tool"_s);
        static_cast<QDialog*>(dialog)->accept(); // as OK does
        if (dialog->isVisible()) // refused: the test fails on the answer, not by hanging
            dialog->reject();
    });
    const std::optional<QString> chosen = runFileDialog(nullptr, request(kProgramFilter, true));

    EXPECT_EQ(comboText, u"実行ファイル (*.exe *.com)"_s);
    EXPECT_EQ(first, (QStringList{u"sub"_s, u"tool"_s}));
    EXPECT_EQ(all, (QStringList{u"list.mhl"_s, u"notes.txt"_s, u"sub"_s, u"tool"_s}));
    EXPECT_EQ(again, (QStringList{u"sub"_s, u"tool"_s}));
    EXPECT_EQ(chosen, std::optional<QString>(path(u"tool"_s)));
}

TEST_F(FileDialogTest, OtherDialogsKeepTheirPatternsWithFittedColumnsAndLocalDates) {
    QStringList shown;
    QList<int> tooNarrow;
    QString size, date;
    ModalWatcher watcher([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        shown = shownNames(dialog, 2);
        auto* view = dialog->findChild<QTreeView*>(u"treeView"_s);
        ASSERT_NE(view, nullptr);
        QApplication::processEvents();
        for (int column = 1; column < view->header()->count(); ++column)
            if (view->header()->sectionSize(column) <
                static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column))
                tooNarrow << column;
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row)
            if (view->model()->index(row, 0, root).data().toString() == u"list.mhl"_s) {
                size = view->model()->index(row, 1, root).data().toString();
                date = view->model()->index(row, 3, root).data().toString();
            }
        dialog->reject();
    });
    const std::optional<QString> chosen = runFileDialog(
        nullptr, request(u"Morvex ヘッダリスト (*.mhl)|*.mhl|全てのﾌｧｲﾙ (*.*)|*.*"_s, false));

    EXPECT_FALSE(chosen);
    EXPECT_EQ(shown, (QStringList{u"list.mhl"_s, u"sub"_s}));
    EXPECT_TRUE(tooNarrow.isEmpty()) << tooNarrow.size();
    const QDateTime modified = QFileInfo(path(u"list.mhl"_s)).lastModified();
    const bool japanese =
        QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + u"/qtbase_ja.qm"_s);
    const QLocale locale = japanese ? QLocale(QLocale::Japanese, QLocale::Japan) : QLocale();
    EXPECT_EQ(date, locale.toString(modified, QLocale::ShortFormat));
    EXPECT_EQ(size, locale.formattedDataSize(2));
}

// Where a dialog opens: centred on its shown owner, else on the screen.
TEST(DialogPlace, DialogsOpenCentredOnTheirOwnerOrTheScreen) {
    QMainWindow owner;
    // Off the screen's centre, with room around it for the file dialog, which is larger.
    owner.setGeometry(230, 210, 332, 180);
    owner.show();
    QMainWindow hidden;
    hidden.resize(332, 180);
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();

    QList<QPoint> centres;
    ModalWatcher watcher([&](QWidget* modal) {
        centres << modal->frameGeometry().center();
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            box->accept();
        else
            qobject_cast<QDialog*>(modal)->reject();
    });
    showStopBox(&owner, u"エラー"_s, u"だめです"_s);
    showStandardError(&hidden, u"'WindowTop' のﾃﾞｰﾀ型が不正です"_s);
    FileDialogRequest save;
    save.title = u"変換先ﾌｧｲﾙの指定"_s;
    save.filter = u"UPファイル (*.up)|*.up|全てのファイル (*.*)|*.*"_s;
    save.save = true;
    runFileDialog(&owner, save);

    ASSERT_EQ(centres.size(), 3);
    const QPoint ownerCentre = owner.frameGeometry().center();
    EXPECT_LE((centres[0] - ownerCentre).manhattanLength(), 2)
        << centres[0].x() << "," << centres[0].y();
    EXPECT_LE((centres[1] - screenCentre).manhattanLength(), 2)
        << centres[1].x() << "," << centres[1].y();
    EXPECT_LE((centres[2] - ownerCentre).manhattanLength(), 2)
        << centres[2].x() << "," << centres[2].y();
}

} // namespace
