// The viewer's dialogs and the editor start: TSelectListF, TEditorF, LaunchEditor, and the row
// model under the viewer's list.
#include "gui/DesignedWindow.h"
#include "tests/support/Programs.h"
#include "tests/support/StoreFiles.h"
#include "tests/support/Widgets.h"
#include "windows/Editor_U.h"
#include "windows/LaunchEditor.h"
#include "windows/ListModel.h"
#include "windows/Select_U.h"
#include "windows/StyleDialogs.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFontDialog>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QUrl>
#include <gtest/gtest.h>

namespace morvex::test {
namespace {
using namespace Qt::StringLiterals;

TEST(EditorF, HasItsDesignedLayoutAndBrowsesForExecutables) {
    TEditorF f;
    EXPECT_EQ(f.windowTitle(), u"エディタの指定"_s);
    EXPECT_EQ(f.size(), QSize(298, 77));
    EXPECT_FALSE(f.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(f.Label1->text(), u"テキストエディタ(&T):"_s);
    EXPECT_EQ(f.Label1->pos(), QPoint(12, 6));
    EXPECT_EQ(f.Label1->buddy(), f.TextEditor);
    EXPECT_EQ(f.TextEditor->geometry(), QRect(12, 20, 209, 18));
    EXPECT_EQ(f.TextEditor->text(), u"notepad"_s);
    EXPECT_EQ(f.Button1->geometry(), QRect(228, 20, 57, 19));
    EXPECT_EQ(f.Button1->text(), u"参照(&B)..."_s);
    EXPECT_EQ(f.Button2->geometry(), QRect(64, 48, 77, 21));
    EXPECT_EQ(f.Button3->geometry(), QRect(156, 48, 77, 21));
    EXPECT_EQ(f.Button3->text(), u"ｷｬﾝｾﾙ"_s);

    queueFileDialogAnswer(std::nullopt);
    f.Button1->click();
    EXPECT_EQ(f.TextEditor->text(), u"notepad"_s) << "cancel keeps the text";
    const FileDialogRequest request = lastFileDialogRequest();
    EXPECT_TRUE(request.executables);
    EXPECT_TRUE(request.mustExist);
    EXPECT_EQ(request.filter, u"ｱﾌﾟﾘｹｰｼｮﾝ (*.exe)|*.exe|全てのファイル (*.*)|*.*"_s);
    EXPECT_TRUE(request.startDir.isEmpty());
    queueFileDialogAnswer(u"/usr/bin/mousepad"_s);
    f.Button1->click();
    EXPECT_EQ(f.TextEditor->text(), u"/usr/bin/mousepad"_s);
}

TEST(EditorF, EnterIsOkAndEscapeDoesNothing) {
    for (const auto& [key, result] : {std::pair(Qt::Key_Return, QDialog::Accepted),
                                      std::pair(Qt::Key_Escape, QDialog::Rejected)}) {
        TEditorF f;
        f.show();
        f.TextEditor->setFocus();
        QTest::keyClick(f.TextEditor, key);
        EXPECT_EQ(f.isVisible(), key == Qt::Key_Escape) << key;
        EXPECT_EQ(f.result(), key == Qt::Key_Return ? int(result) : 0);
    }
}

TEST(FontDialog, OffersTheSixteenColoursBesideTheEffectsAndReturnsTheChosenOne) {
    QFont start(u"IPAGothic"_s);
    start.setPointSize(9);
    std::optional<FontChoice> choice;
    for (const auto& [color, entries] :
         {std::pair(QColor(Qt::white), 16), std::pair(QColor(1, 2, 3), 17)}) {
        ModalWatcher watcher([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFontDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            auto* colors = dialog->findChild<QComboBox*>(u"FontColor"_s);
            ASSERT_NE(colors, nullptr);
            EXPECT_EQ(colors->count(), entries);
            EXPECT_EQ(colors->currentData().value<QColor>(), color) << "starts at the colour";
            colors->setCurrentIndex(9); // 赤
            dialog->accept();
        });
        choice = runFontDialog(nullptr, {start, color});
        ASSERT_TRUE(choice.has_value());
        EXPECT_EQ(choice->color, QColor(255, 0, 0));
        EXPECT_EQ(choice->font.family(), u"IPAGothic"_s);
    }
}

TEST(SelectListF, HasItsDesignedLayoutAndEscapeCloses) {
    TSelectListF f;
    EXPECT_EQ(f.windowTitle(), u"リストファイルを編集"_s);
    EXPECT_EQ(f.size(), QSize(381, 240));
    EXPECT_TRUE(f.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(f.Label1->text(), u"編集するリストファイルを選択してください（複数選択可）"_s);
    EXPECT_EQ(f.FileList->geometry(), QRect(0, 20, 285, 220));
    EXPECT_EQ(f.FileList->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(f.TextEditBtn->geometry(), QRect(296, 20, 75, 21));
    EXPECT_EQ(f.TextEditBtn->text(), u"編集(&E)"_s);
    EXPECT_EQ(f.CalcelBtn->geometry(), QRect(296, 44, 75, 21));
    f.show();
    QTest::keyClick(&f, Qt::Key_Escape);
    EXPECT_FALSE(f.isVisible());
}

TEST(SelectListF, ShowsEachFileNameWholeAndThePathAsTooltip) {
    TSelectListF f;
    const QString path = u"/home/user/.local/share/morvex/lists/2026/greetings-for-spring.mhl"_s;
    f.FileList->addItem(path);
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    const auto* rows = dynamic_cast<PathRowDelegate*>(f.FileList->itemDelegate());
    ASSERT_NE(rows, nullptr);
    QStyleOptionViewItem option;
    option.initFrom(f.FileList->viewport());
    option.rect = f.FileList->visualItemRect(f.FileList->item(0));
    const QString shown = rows->shownText(option, path);
    EXPECT_TRUE(shown.endsWith(u"/greetings-for-spring.mhl"_s)) << shown.toStdString();
    EXPECT_LE(option.fontMetrics.horizontalAdvance(shown), option.rect.width());
    QHelpEvent help(QEvent::ToolTip, option.rect.center(),
                    f.FileList->viewport()->mapToGlobal(option.rect.center()));
    QCoreApplication::sendEvent(f.FileList->viewport(), &help);
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 2000));
    EXPECT_EQ(QToolTip::text(), path);
    QToolTip::hideText();
}

// Collects what reaches the desktop's handler for file URLs.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    UrlCatcher() { QDesktopServices::setUrlHandler(u"file"_s, this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(u"file"_s); }

    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};

class LaunchEditorTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    // A stand-in editor that writes each argument on a line of its own to `log`.
    QString writeEditor(const QString& folder, const QString& log) {
        QDir().mkpath(folder);
        const QString path = folder + u"/record editor"_s;
        QFile script(path);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >\"" +
                     QFile::encodeName(log) + ".part\"\nmv \"" + QFile::encodeName(log) +
                     ".part\" \"" + QFile::encodeName(log) + "\"\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    QByteArray waitForLog(const QString& log) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(log); }, 10000)) << "no start";
        QFile file(log);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    MessageCapture boxes;
};

TEST_F(LaunchEditorTest, NotepadInAnyCaseOpensTheFileInTheDesktopsApplication) {
    UrlCatcher catcher;
    // With no launcher to find, the file goes to Qt's URL handlers, one of which is ours.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    const QString oldDir = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    LaunchEditor(u"notepad"_s, u"a.mfl"_s);
    LaunchEditor(u"NotePad.EXE"_s, m_dir.filePath(u"b c.mfl"_s));
    QDir::setCurrent(oldDir);
    qputenv("PATH", path);
    EXPECT_EQ(catcher.urls, (QList<QUrl>{QUrl::fromLocalFile(m_dir.filePath(u"a.mfl"_s)),
                                         QUrl::fromLocalFile(m_dir.filePath(u"b c.mfl"_s))}));
    EXPECT_TRUE(boxes.messages.empty());
}

// A launcher standing in for xdg-open: records its argument and ends with the given status
// (3: no application for the file).
void installLauncher(const QString& folder, int status) {
    const QString path = folder + u"/xdg-open"_s;
    QFile script(path);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >>\"$(dirname \"$0\")/opened\"\nexit " +
                 QByteArray::number(status) + "\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(LaunchEditorTest, EveryFailureToOpenTheFileIsSaidWithTheFileAndWhatToDo) {
    const QString list = m_dir.filePath(u"署名/footer.mfl"_s);
    const QString bin = m_dir.filePath(u"bin"_s);
    ASSERT_TRUE(QDir().mkpath(bin));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ":/usr/bin:/bin");

    const EndedProcesses ended;

    // The desktop has no application for list files.
    installLauncher(bin, 3);
    EXPECT_TRUE(LaunchEditor(u"notepad"_s, list));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !boxes.messages.empty(); }, 5000));
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].first, u"Morvex"_s);
    EXPECT_TRUE(boxes.messages[0].second.contains(list));
    EXPECT_TRUE(boxes.messages[0].second.contains(u"インストール"_s));
    EXPECT_TRUE(boxes.messages[0].second.contains(u"テキストエディタ(E)"_s));

    // It has one: nothing to say, also once its end has been dealt with.
    installLauncher(bin, 0);
    EXPECT_TRUE(LaunchEditor(u"notepad"_s, list));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ended.count() == 2; }, 5000));
    EXPECT_EQ(readBytes(bin + u"/opened"_s).count('\n'), 2);
    EXPECT_EQ(boxes.messages.size(), 1u);

    // A configured program that is not there, as a path or as a name: said at once.
    EXPECT_FALSE(LaunchEditor(m_dir.filePath(u"missing editor"_s), list));
    EXPECT_FALSE(LaunchEditor(u"morvex-no-such-editor -n"_s, list));
    qputenv("PATH", path);
    ASSERT_EQ(boxes.messages.size(), 3u);
    EXPECT_TRUE(boxes.messages[1].second.contains(u"missing editor"_s));
    EXPECT_TRUE(boxes.messages[2].second.contains(u"「morvex-no-such-editor -n」"_s));
    for (size_t i = 1; i < 3; ++i)
        EXPECT_TRUE(boxes.messages[i].second.contains(list)) << i;

    // An empty setting means no editor: nothing starts and nothing is said.
    EXPECT_TRUE(LaunchEditor(QString(), list));
    EXPECT_EQ(boxes.messages.size(), 3u);
}

TEST_F(LaunchEditorTest, TheSettingIsSplitAndThePathStaysOneArgument) {
    std::vector<std::pair<QString, QStringList>> calls;
    setEditorStarter([&](const QString& program, const QStringList& arguments) {
        calls.emplace_back(program, arguments);
        return true;
    });
    UrlCatcher catcher;
    LaunchEditor(u"emacsclient -n"_s, u"/lists/my list.mfl"_s);
    LaunchEditor(u"\"my editor\" --new"_s, u"-x.mfl"_s);
    LaunchEditor(QString(), u"/lists/a.mfl"_s);
    LaunchEditor(u"   "_s, u"/lists/a.mfl"_s);
    LaunchEditor(u"notepad --x"_s, u"/lists/a.mfl"_s);
    setEditorStarter({});
    EXPECT_EQ(calls, (std::vector<std::pair<QString, QStringList>>{
                         {u"emacsclient"_s, {u"-n"_s, u"/lists/my list.mfl"_s}},
                         {u"my editor"_s, {u"--new"_s, u"-x.mfl"_s}},
                         {u"notepad"_s, {u"--x"_s, u"/lists/a.mfl"_s}}}));
    EXPECT_TRUE(catcher.urls.isEmpty()) << "an empty setting starts nothing";
}

TEST_F(LaunchEditorTest, ARealEditorGetsThePathAsOneArgumentAndLeavesNoZombie) {
    const QString log = m_dir.filePath(u"args"_s);
    const QString editor = writeEditor(m_dir.filePath(u"bin dir"_s), log);
    const QString path = m_dir.filePath(u"my lists/署名 *.mfl"_s);
    // A program path with spaces, given whole, is one program.
    LaunchEditor(editor, path);
    EXPECT_EQ(waitForLog(log), QFile::encodeName(path) + '\n');
    EXPECT_TRUE(QTest::qWaitFor([] { return childProcesses(true).isEmpty(); }, 5000))
        << "every child is reaped";

    // Quoted in a command line, with arguments of its own.
    QFile::remove(log);
    LaunchEditor(u"\""_s + editor + u"\" -n"_s, path);
    EXPECT_EQ(waitForLog(log), "-n\n" + QFile::encodeName(path) + '\n');
    EXPECT_TRUE(boxes.messages.empty());
}

TEST(MergedListModel, RowsAreTheLinesOfTheTextDecodedWhenAsked) {
    MergedListModel model;
    EXPECT_EQ(model.rowCount(), 0);
    model.setText("x\n\n;c\n\x82\xA0\nlast");
    ASSERT_EQ(model.rowCount(), 5);
    EXPECT_EQ(model.data(model.index(1)).toString(), QString());
    EXPECT_EQ(model.data(model.index(3)).toString(), u"あ"_s);
    EXPECT_EQ(model.data(model.index(4)).toString(), u"last"_s);
    EXPECT_EQ(model.rowBytes(2), QByteArrayView(";c"));
    EXPECT_FALSE(model.data(model.index(0), Qt::EditRole).isValid());
    model.setText("only\n");
    EXPECT_EQ(model.rowCount(), 1) << "a final line end opens no row";
    EXPECT_TRUE(model.rowBytes(1).isNull());
    model.setText(std::string());
    EXPECT_EQ(model.rowCount(), 0);
}

} // namespace
} // namespace morvex::test

#include "ListDialogsTest.moc"
