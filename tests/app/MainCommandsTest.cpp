// The main window's creation, commands and ways of ending, driven in-process.
#include "app/StarterLists.h"
#include "controls/FolderDialog.h"
#include "controls/MaruBtn.h"
#include "settings/ListFolder.h"
#include "settings/MainWindowGroups.h"
#include "settings/Sjis.h"
#include "tests/app/MainWindowTestSupport.h"
#include "windows/SrcEditU.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <stdexcept>

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

/// Upload and list files for a pass, and the File group that names them.
class Uploads {
public:
    Uploads() {
        writeBytes(path(u"f.mfl"_s), "-- sig\r\n");
        writeBytes(path(u"h.mhl"_s), "Re: \\H\r\n");
        writeBytes(path(u"a.up"_s), "]Hello\r\n)\r\n");
        writeBytes(path(u"b.up"_s), ")\r\n)\r\n");
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }

    StoreSection fileGroup() const {
        return {u"File"_s,
                {numberValue(u"SrcFileCount"_s, 1), textValue(u"SrcFileName"_s, path(u"*.up"_s)),
                 textValue(u"FutterFileName"_s, path(u"f.mfl"_s)),
                 textValue(u"HeaderFileName"_s, path(u"h.mhl"_s))}};
    }

private:
    QTemporaryDir m_dir;
};

std::vector<FileResult>* collectInto(TMorvexF& w, std::vector<FileResult>& results) {
    w.setResultReporter([&results](const FileResult& result) { results.push_back(result); });
    return &results;
}

TEST_F(MainWindowTest, FirstRunShowsDesignDefaultsAndWritesNothing) {
    TMorvexF& w = create();
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(application.ShowMainWindow);
    EXPECT_TRUE(application.TaskBarButtonVisible);
    EXPECT_EQ(w.runMode(), RunMode::Interactive);
    EXPECT_EQ(ui(w).FFile->text(), listFolder() + u"*.mfl"_s);
    EXPECT_EQ(ui(w).HFile->text(), listFolder() + u"*.mhl"_s);
    EXPECT_TRUE(listFolder().startsWith(qEnvironmentVariable("XDG_DATA_HOME") + u'/'));
    EXPECT_TRUE(QFileInfo(listFolder()).isDir()) << "made, so that lists can be put there";
    EXPECT_EQ(ui(w).ConvChar->text(), u")"_s);
    EXPECT_EQ(ui(w).HeadConvChar->text(), u"]"_s);
    EXPECT_EQ(ui(w).BackExt->text(), u".bak"_s);
    EXPECT_EQ(ui(w).SrcFile->count(), 0);
    EXPECT_FALSE(QFile::exists(SettingsStore::defaultFilePath()));
    EXPECT_FALSE(w.isVisible());
}

// Where the starter lists go; emptied before and after each test.
class StarterListsTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        QDir(listFolder()).removeRecursively();
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        QDir(listFolder()).removeRecursively();
    }
};

TEST_F(StarterListsTest, ANewUserIsOfferedStarterListsOnceAndTheyLoad) {
    answerYes = true;
    TMorvexF& w = create();
    EXPECT_TRUE(questions.empty()) << "asked over the shown window, not before";
    QCoreApplication::processEvents();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].first, u"Morvex"_s);
    EXPECT_TRUE(questions[0].second.contains(listFolder()));
    for (const QString& name : {u"header.mhl"_s, u"footer.mfl"_s})
        EXPECT_TRUE(QFileInfo::exists(listFolder() + name)) << name.toStdString();

    // The fields find them: a conversion draws from them.
    QTemporaryDir work;
    const QString upload = work.filePath(u"memo.up"_s);
    ASSERT_TRUE(writeBytes(upload, "]test\r\nbody\r\n)\r\n"));
    ui(w).SrcFile->addItem(upload);
    std::vector<FileResult> results;
    collectInto(w, results);
    w.ConvBtnClick();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].headers, 1);
    EXPECT_EQ(results[0].footers, 1);
    EXPECT_TRUE(messages.empty());
    const QByteArray converted = readBytes(upload);
    EXPECT_FALSE(converted.startsWith("]")) << converted.toStdString();
    EXPECT_FALSE(converted.endsWith(")\r\n")) << converted.toStdString();

    // Once the window has saved its settings, the user is never asked again.
    w.SaveAndQuit();
    window.reset();
    QDir(listFolder()).removeRecursively();
    create();
    QCoreApplication::processEvents();
    EXPECT_EQ(questions.size(), 1u);
}

TEST_F(StarterListsTest, NoOfferWhenListsAreThereOrTheModeIsUnattendedAndNoIsRespected) {
    ASSERT_TRUE(QDir().mkpath(listFolder()));
    ASSERT_TRUE(writeBytes(listFolder() + u"mine.MFL"_s, "-- me\r\n"));
    create();
    QCoreApplication::processEvents();
    EXPECT_TRUE(questions.empty());
    window.reset();

    QFile::remove(listFolder() + u"mine.MFL"_s);
    create({u"/x"_s});
    QCoreApplication::processEvents();
    EXPECT_TRUE(questions.empty()) << "only the interactive start asks";
    window.reset();

    answerYes = false;
    create();
    QCoreApplication::processEvents();
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_TRUE(QDir(listFolder()).isEmpty());
}

TEST_F(StarterListsTest, AListWithNothingToDrawOffersThemAgainInteractivelyOnly) {
    // Declined at the first start; a pass then finds no list in the fields' folder.
    writeStore({{u"Result"_s, {numberValue(u"ShowResult"_s, 0)}}});
    QTemporaryDir work;
    const QString upload = work.filePath(u"memo.up"_s);
    for (const QStringList& arguments : {QStringList{u"/x"_s}, QStringList{}}) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        ASSERT_TRUE(writeBytes(upload, "]test\r\n)\r\n"));
        messages.clear();
        questions.clear();
        answerYes = true;
        TMorvexF& w = create(arguments);
        ui(w).SrcFile->addItem(upload);
        w.ConvBtnClick();
        ASSERT_GE(messages.size(), 1u);
        EXPECT_EQ(messages[0].first, u"エラー"_s);
        EXPECT_TRUE(messages[0].second.contains(u"見つからないか空"_s));
        if (!arguments.isEmpty()) {
            EXPECT_TRUE(questions.empty()) << "nobody to ask outside the interactive mode";
            EXPECT_EQ(missingStarterLists(listFolder()).size(), 2);
            continue;
        }
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_TRUE(questions[0].second.contains(listFolder()));
        EXPECT_TRUE(missingStarterLists(listFolder()).isEmpty());
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_TRUE(messages[1].second.contains(listFolder() + u"footer.mfl"_s));

        // The next pass draws from them, and asks nothing.
        w.ConvBtnClick();
        EXPECT_EQ(messages.size(), 2u);
        EXPECT_EQ(questions.size(), 1u);
        EXPECT_FALSE(readBytes(upload).startsWith("]"));
    }
}

TEST_F(StarterListsTest, TheMenuCommandKeepsTheUsersFilesAndPointsOnlyFieldsThatFindNothing) {
    writeStore({{u"Result"_s, {numberValue(u"ShowResult"_s, 0)}}});
    ASSERT_TRUE(QDir().mkpath(listFolder()));
    const QByteArray mine = "-- mine\r\n";
    ASSERT_TRUE(writeBytes(listFolder() + u"footer.mfl"_s, mine));
    QTemporaryDir other;
    ASSERT_TRUE(writeBytes(other.filePath(u"own.mhl"_s), "Re: \\H\r\n"));
    TMorvexF& w = create({u"/x"_s});
    ui(w).HFile->setText(other.filePath(u"*.mhl"_s));
    ui(w).FFile->setText(u"/nowhere/*.mfl"_s);

    ui(w).SampleListMnu->trigger();

    EXPECT_EQ(readBytes(listFolder() + u"footer.mfl"_s), mine);
    EXPECT_EQ(readBytes(listFolder() + u"header.mhl"_s), starterLists()[0].bytes);
    EXPECT_EQ(ui(w).HFile->text(), other.filePath(u"*.mhl"_s)) << "it finds a list: left alone";
    EXPECT_EQ(ui(w).FFile->text(), listFolder() + u"*.mfl"_s);
    ASSERT_EQ(messages.size(), 1u);
    const QString& said = messages[0].second;
    EXPECT_TRUE(said.contains(u"そのままにしました:\n"_s + listFolder() + u"footer.mfl"_s))
        << said.toStdString();
    EXPECT_TRUE(said.contains(u"ﾌｯﾀﾘｽﾄ: "_s + listFolder() + u"*.mfl"_s)) << said.toStdString();

    // Run again: both are there now, nothing is written and the fields stay.
    const QByteArray header = readBytes(listFolder() + u"header.mhl"_s);
    ui(w).SampleListMnu->trigger();
    EXPECT_EQ(readBytes(listFolder() + u"header.mhl"_s), header);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_FALSE(messages[1].second.contains(u"作成しました"_s));
    EXPECT_TRUE(questions.empty());
}

TEST(StarterLists, AreShiftJisCrLfCommentedShowEveryEscapeAndNameNobody) {
    const QList<StarterList> lists = starterLists();
    ASSERT_EQ(lists.size(), 2);
    for (const StarterList& list : lists) {
        SCOPED_TRACE(list.name.toStdString());
        ASSERT_TRUE(list.bytes.endsWith("\r\n"));
        EXPECT_EQ(list.bytes.count("\r\n"), list.bytes.count('\n')) << "every line ends in CR LF";
        EXPECT_EQ(list.bytes.count("\r\n"), list.bytes.count('\r'));
        // Round trip: the bytes are Shift-JIS as the editor and the viewer read them.
        EXPECT_EQ(sjis::encode(sjis::decode(list.bytes)), list.bytes);
        const QStringList lines = sjis::decode(list.bytes).split(u"\r\n"_s, Qt::SkipEmptyParts);
        QStringList entries;
        for (const QString& line : lines) {
            if (!line.startsWith(u';'))
                entries << line;
        }
        EXPECT_GE(lines.size() - entries.size(), 8) << "explained in comments";
        ASSERT_GE(entries.size(), 3);
        const QString used = entries.join(u'\n');
        QStringList escapes = {u"\\N"_s, u"\\S"_s, u"\\R"_s, u"\\\\"_s};
        if (list.name.endsWith(u".mhl"_s))
            escapes << u"\\H"_s << u"\\I"_s;
        for (const QString& escape : escapes)
            EXPECT_TRUE(used.contains(escape)) << escape.toStdString();
        EXPECT_FALSE(used.contains(u'@')) << "no mail address goes out by default";
        // Written for this system: no drive letter paths.
        EXPECT_FALSE(QRegularExpression(u"[A-Za-z]:\\\\"_s).match(used).hasMatch())
            << used.toStdString();
    }
}

TEST_F(MainWindowTest, StoredValuesReachTheFieldsAndThePosition) {
    writeStore({{u"System"_s, {numberValue(u"WindowTop"_s, 50), numberValue(u"WindowLeft"_s, 60)}},
                {u"File"_s,
                 {numberValue(u"SrcFileCount"_s, 3), textValue(u"SrcFileName"_s, u"/u/a.up"_s),
                  textValue(u"SrcFileName2"_s, u" *.up"_s), textValue(u"FutterFileName"_s, u"f*"_s),
                  textValue(u"HeaderFileName"_s, u"h*"_s), numberValue(u"Futter"_s, 1),
                  numberValue(u"Header"_s, 0), textValue(u"ConvChar"_s, u"!"_s),
                  textValue(u"HeadConvChar"_s, u"＃"_s), textValue(u"BackUpExt"_s, u".old"_s)}}});
    TMorvexF& w = create();
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(ui(w).SrcFile->count(), 2);
    EXPECT_EQ(ui(w).SrcFile->item(0)->text(), u"/u/a.up"_s);
    EXPECT_EQ(ui(w).SrcFile->item(1)->text(), u" *.up"_s);
    EXPECT_EQ(ui(w).FFile->text(), u"f*"_s);
    EXPECT_EQ(ui(w).HFile->text(), u"h*"_s);
    EXPECT_EQ(ui(w).ConvChar->text(), u"!"_s);
    EXPECT_EQ(ui(w).HeadConvChar->text(), u"＃"_s);
    EXPECT_EQ(ui(w).BackExt->text(), u".old"_s);
    EXPECT_EQ(w.FutterBtnMarker, 1);
    EXPECT_EQ(w.HeaderBtnMarker, 0);
    EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(60, 50));
}

TEST_F(MainWindowTest, AWrongTypeStoredShowsTheErrorBoxNoWindowAndIsNeverOverwritten) {
    for (const QString& group : {u"System"_s, u"File"_s}) {
        SCOPED_TRACE(group.toStdString());
        messages.clear();
        endStatus.reset();
        const QString name = group == u"System"_s ? u"WindowLeft"_s : u"SrcFileCount"_s;
        writeStore({{group, {textValue(name, u"7"_s)}}});
        const QByteArray before = storeBytes();

        TMorvexF& w = create();

        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].first, u"Morvex"_s);
        EXPECT_TRUE(messages[0].second.contains(u"'"_s + name + u"'"_s))
            << messages[0].second.toStdString();
        EXPECT_FALSE(application.ShowMainWindow);
        EXPECT_FALSE(w.isVisible());
        // What could not be read must not be replaced by defaults when the program ends.
        w.SaveAndQuit();
        EXPECT_EQ(endStatus, 0);
        EXPECT_EQ(storeBytes().toStdString(), before.toStdString());
    }
}

TEST_F(MainWindowTest, TheConvertSwitchConvertsOnceAndEndsWithoutSaving) {
    Uploads uploads;
    writeStore({uploads.fileGroup()});
    const QByteArray before = storeBytes();
    std::vector<FileResult> results;

    create({u"/c"_s, u"/w"_s}, [&](TMorvexF& w) { collectInto(w, results); });

    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].path, uploads.path(u"a.up"_s).toStdString());
    EXPECT_EQ(results[0].headers, 1);
    EXPECT_EQ(results[0].footers, 1);
    EXPECT_EQ(results[1].path, uploads.path(u"b.up"_s).toStdString());
    EXPECT_EQ(results[1].footers, 2);
    EXPECT_EQ(endStatus, 0);
    EXPECT_FALSE(application.ShowMainWindow);
    EXPECT_EQ(storeBytes(), before);
    EXPECT_EQ(readBytes(uploads.path(u"a.up"_s)), "Re: Hello\r\n-- sig\r\n");
}

TEST_F(MainWindowTest, UnmatchedArgumentsStartNothing) {
    Uploads uploads;
    writeStore({uploads.fileGroup()});
    for (const QString& argument : {u"/x"_s, u"A"_s, u"/auto"_s, u"c"_s, u"/ao"_s, u"w"_s}) {
        SCOPED_TRACE(argument.toStdString());
        std::vector<FileResult> results;
        TMorvexF& w = create({argument}, [&](TMorvexF& made) { collectInto(made, results); });
        EXPECT_TRUE(results.empty());
        EXPECT_FALSE(endStatus.has_value());
        EXPECT_FALSE(application.ShowMainWindow);
        EXPECT_FALSE(application.TaskBarButtonVisible);
        EXPECT_FALSE(w.isVisible());
        EXPECT_FALSE(ui(w).AppRunTimer->isActive() || ui(w).ObserveTimer->isActive());
    }
    EXPECT_EQ(readBytes(uploads.path(u"b.up"_s)), ")\r\n)\r\n");
}

TEST_F(MainWindowTest, APassTakesTheFieldsAsTheEngineCompares) {
    TMorvexF& w = create({u"/x"_s});
    ui(w).ConvChar->setText(u"！"_s); // full width: Shift-JIS 81 49
    ui(w).HeadConvChar->clear();
    ui(w).BackExt->setText(u".ｂａｋ"_s);
    ui(w).FFile->setText(u"/リスト/*.mfl"_s);
    ui(w).HFile->setText(u"h.mhl"_s);
    ui(w).SrcFile->addItems({u"b.up"_s, u"a.up"_s, u"b.up"_s});

    const ConvSettings settings = w.convSettings();

    EXPECT_EQ(settings.footerMarker, 0x81);
    EXPECT_EQ(settings.headerMarker, 0);
    // Paths and the extension that becomes part of one stay UTF-8, as the file system has them.
    EXPECT_EQ(settings.backupExt, ".ｂａｋ");
    EXPECT_EQ(settings.footerListPattern, "/リスト/*.mfl");
    EXPECT_EQ(settings.headerListPattern, "h.mhl");
    EXPECT_EQ(settings.sources, (std::vector<std::string>{"b.up", "a.up", "b.up"}));
    EXPECT_TRUE(settings.skipConverted);
}

TEST_F(MainWindowTest, FooterAlignmentComesFromTheStoreAtEachPass) {
    Uploads uploads;
    writeStore({uploads.fileGroup(),
                {u"CompList"_s, {numberValue(u"CompList"_s, 1), numberValue(u"Count"_s, 20)}}});
    std::vector<FileResult> results;
    create({u"/x"_s}, [&](TMorvexF& w) { collectInto(w, results); });

    window->ConvBtnClick();

    // "-- sig" is 6 bytes: 13 spaces put the line end in column 20.
    EXPECT_EQ(readBytes(uploads.path(u"b.up"_s)),
              QByteArray(13, ' ') + "-- sig\r\n" + QByteArray(13, ' ') + "-- sig\r\n");
    EXPECT_EQ(results.size(), 2u);
}

TEST_F(MainWindowTest, UndoTakesBackEveryFileOfTheLastPassAndIsGreyedAfter) {
    Uploads uploads;
    writeBytes(uploads.path(u"c.up"_s), "text\r\n)\r\n");
    writeStore({uploads.fileGroup(), {u"Result"_s, {numberValue(u"ShowResult"_s, 0)}}});
    TMorvexF& w = create();
    const QStringList names{u"a"_s, u"b"_s, u"c"_s};
    QList<QByteArray> originals;
    for (const QString& name : names)
        originals << readBytes(uploads.path(name + u".up"_s));
    EXPECT_FALSE(ui(w).UndoMnu->isEnabled()) << "nothing to take back yet";

    ui(w).ConvMnu->trigger();
    EXPECT_TRUE(ui(w).UndoMnu->isEnabled());
    QList<QByteArray> converted;
    for (const QString& name : names)
        converted << readBytes(uploads.path(name + u".up"_s));
    ASSERT_NE(converted, originals);
    messages.clear();

    ui(w).UndoMnu->trigger();
    for (qsizetype i = 0; i < names.size(); ++i) {
        EXPECT_EQ(readBytes(uploads.path(names[i] + u".up"_s)), originals[i]);
        EXPECT_EQ(readBytes(uploads.path(names[i] + u".bak"_s)), converted[i]);
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].second, u"3 個のファイルを元に戻しました。"_s);
    EXPECT_FALSE(ui(w).UndoMnu->isEnabled());
    ui(w).UndoMnu->trigger(); // greyed: nothing happens
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(readBytes(uploads.path(u"a.up"_s)), originals[0]);
}

// With seed 1 independent draws from three entries give the second one twice.
TEST_F(MainWindowTest, APassDrawsWithoutRepeatsWhenTheStoreSaysSo) {
    Uploads uploads;
    writeBytes(uploads.path(u"f.mfl"_s), "x\r\ny\r\nz\r\n");
    writeBytes(uploads.path(u"a.up"_s), ")\r\n)\r\n)\r\n");
    ::unlink(QFile::encodeName(uploads.path(u"b.up"_s)).constData());
    StoreSection file = uploads.fileGroup();
    file.values << numberValue(u"NoRepeat"_s, 1);
    writeStore({file, {u"Result"_s, {numberValue(u"ShowResult"_s, 0)}}});
    TMorvexF& w = create();
    w.Engine.setClock([] { return 1u; });
    w.ConvBtnClick();
    QByteArrayList drawn = readBytes(uploads.path(u"a.up"_s)).split('\n');
    drawn.removeLast();
    std::sort(drawn.begin(), drawn.end());
    EXPECT_EQ(drawn, (QByteArrayList{"x\r", "y\r", "z\r"}));
}

TEST_F(MainWindowTest, TheEncodingComesFromTheStoreAtEachPass) {
    Uploads uploads;
    // A UTF-8 footer list and a UTF-8 upload file with LF line ends.
    writeBytes(uploads.path(u"f.mfl"_s), "署名\\N--\r\n");
    writeBytes(uploads.path(u"b.up"_s), ")\n本文\n");
    writeBytes(uploads.path(u"a.up"_s), "text\n");
    StoreSection file = uploads.fileGroup();
    file.values.push_back(textValue(u"Encoding"_s, u"utf-8"_s));
    writeStore({file});
    std::vector<FileResult> results;
    create({u"/x"_s}, [&](TMorvexF& w) { collectInto(w, results); });

    window->ConvBtnClick();

    EXPECT_EQ(readBytes(uploads.path(u"b.up"_s)), "署名\n--\n本文\n");
    EXPECT_EQ(results.size(), 1u);
}

TEST_F(MainWindowTest, APassRefusesAMarkerOfTwoBytesAndSaysWhich) {
    Uploads uploads;
    writeStore({uploads.fileGroup()});
    std::vector<FileResult> results;
    TMorvexF& w = create({u"/x"_s}, [&](TMorvexF& made) { collectInto(made, results); });
    ui(w).ConvChar->setText(u"！"_s); // Shift-JIS 81 49: its first byte would match lead bytes
    messages.clear();

    w.ConvBtnClick();

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, u"エラー"_s);
    EXPECT_TRUE(messages[0].second.contains(u"\"！\""_s)) << messages[0].second.toStdString();
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(readBytes(uploads.path(u"b.up"_s)), ")\r\n)\r\n");
}

TEST_F(MainWindowTest, EnterInAFieldPressesTheConvertButton) {
    Uploads uploads;
    writeStore({uploads.fileGroup(), {u"Result"_s, {numberValue(u"ShowResult"_s, 0)}}});
    std::vector<FileResult> results;
    TMorvexF& w = create({}, [&](TMorvexF& made) { collectInto(made, results); });

    QTest::keyClick(ui(w).BackExt, Qt::Key_Return);

    EXPECT_EQ(results.size(), 2u);
}

TEST_F(MainWindowTest, BrowseButtonsAndTheirMenuItemsPopUpAtTheDesignedPoint) {
    TMorvexF& w = create();
    w.move(100, 80);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QPoint frame = w.frameGeometry().topLeft();
    struct Row {
        QMenu* menu;
        std::function<void()> open;
        QPoint expected;
    };
    const Row rows[] = {
        {ui(w).HeaderBPMnu, [&] { ui(w).HBBtn->click(); }, frame + QPoint(290 + 4, 122 + 42)},
        {ui(w).FutterBPMnu, [&] { ui(w).FBBtn->click(); }, frame + QPoint(290 + 4, 142 + 42)},
        {ui(w).HeaderBPMnu, [&] { ui(w).HeaderOpenMnu->trigger(); }, frame + QPoint(294, 164)},
        {ui(w).FutterBPMnu, [&] { ui(w).FutterOpenMnu->trigger(); }, frame + QPoint(294, 184)},
    };
    for (const Row& row : rows) {
        row.open();
        EXPECT_TRUE(QTest::qWaitFor([&] { return row.menu->isVisible(); }));
        EXPECT_EQ(row.menu->pos(), row.expected) << row.menu->objectName().toStdString();
        row.menu->hide();
    }
}

TEST_F(MainWindowTest, AChosenFolderGivesItsListPatternAndCancelKeepsTheOld) {
    TMorvexF& w = create({u"/x"_s});
    struct Row {
        QLineEdit* field;
        QAction* command;
        QString caption;
        QString mask;
    };
    const Row rows[] = {
        {ui(w).HFile, ui(w).HeaderDirB, u"ヘッダリストのあるフォルダを指定してください。"_s,
         u"*.mhl"_s},
        {ui(w).FFile, ui(w).FutterDirB, u"フッタリストのあるフォルダを指定してください。"_s,
         u"*.mfl"_s},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mask.toStdString());
        row.field->setText(u"/data/lists/old*.x"_s);
        TFolderDialog::queueAnswer(u"/srv/my lists"_s);
        row.command->trigger();
        EXPECT_EQ(row.field->text(), u"/srv/my lists/"_s + row.mask);
        EXPECT_EQ(TFolderDialog::lastRequest().caption, row.caption);
        EXPECT_EQ(TFolderDialog::lastRequest().startDir, u"/data/lists"_s);
        EXPECT_EQ(TFolderDialog::lastRequest().owner, &w);

        TFolderDialog::queueAnswer(u"/"_s);
        row.command->trigger();
        EXPECT_EQ(row.field->text(), u"/"_s + row.mask);

        row.field->setText(u"plain.x"_s);
        TFolderDialog::queueAnswer(std::nullopt);
        row.command->trigger();
        EXPECT_EQ(row.field->text(), u"plain.x"_s);
        EXPECT_EQ(TFolderDialog::lastRequest().startDir, QString());
    }
    TFolderDialog::clearAnswers();
}

TEST_F(MainWindowTest, AChosenFileReplacesThePatternAndTheOutputChoiceReachesTheEngine) {
    TMorvexF& w = create({u"/x"_s});
    struct Row {
        QLineEdit* field;
        QAction* command;
        QString title;
    };
    const Row rows[] = {{ui(w).HFile, ui(w).HeaderFileB, u"ヘッダリストの選択"_s},
                        {ui(w).FFile, ui(w).FutterFileB, u"フッタリストの選択"_s}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title.toStdString());
        row.field->setText(u"/lists/*.m?l"_s);
        queueFileDialogAnswer(u"/lists/挨拶.txt"_s);
        row.command->trigger();
        EXPECT_EQ(row.field->text(), u"/lists/挨拶.txt"_s);
        EXPECT_EQ(lastFileDialogRequest().title, row.title);
        EXPECT_EQ(lastFileDialogRequest().startDir, u"/lists"_s) << "opens where the field points";
        queueFileDialogAnswer(std::nullopt);
        row.command->trigger();
        EXPECT_EQ(row.field->text(), u"/lists/挨拶.txt"_s);
        row.field->setText(u"*.m?l"_s);
        queueFileDialogAnswer(std::nullopt);
        row.command->trigger();
        EXPECT_EQ(lastFileDialogRequest().startDir, QString());
    }
    queueFileDialogAnswer(u"/up/out.up"_s);
    ui(w).OutOpenMnu->trigger();
    EXPECT_EQ(w.Engine.outFile(), "/up/out.up");
    EXPECT_EQ(lastFileDialogRequest().title, u"変換先ﾌｧｲﾙの指定"_s);
}

TEST_F(MainWindowTest, ARoundButtonSpringsBackUpAndOpensTheViewerForItsLists) {
    TMorvexF& w = create();
    QStringList calls;
    w.setListViewer({[&] { calls << u"header"_s; }, [&] { calls << u"footer"_s; },
                     [&] {
                         calls << u"show"_s;
                     }});
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

    for (TMaruBtn* button : {ui(w).HeaderBtn, ui(w).FutterBtn}) {
        QTest::mouseMove(button, button->rect().center());
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
        EXPECT_FALSE(button->down()) << button->objectName().toStdString();
    }
    EXPECT_EQ(calls, (QStringList{u"header"_s, u"show"_s, u"footer"_s, u"show"_s}));
    EXPECT_EQ(w.FutterBtnMarker, 1);
    EXPECT_EQ(w.HeaderBtnMarker, 0);

    // Saved by the marker rule: 1 for the button whose marker is 0.
    w.SaveAndQuit();
    EXPECT_EQ(storedNumber(morvexKey(u"File"_s), u"Futter"_s), 0);
    EXPECT_EQ(storedNumber(morvexKey(u"File"_s), u"Header"_s), 1);
}

TEST_F(MainWindowTest, AnExceptionInAHandlerIsShownAndTheProgramGoesOn) {
    TMorvexF& w = create();
    w.setListViewer({[] { throw std::runtime_error("viewer failed"); }, [] {},
                     [] {
                     }});
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::mouseMove(ui(w).HeaderBtn, ui(w).HeaderBtn->rect().center());
    QTest::mouseClick(ui(w).HeaderBtn, Qt::LeftButton, {}, ui(w).HeaderBtn->rect().center());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], std::pair(u"Morvex"_s, u"viewer failed"_s));
    EXPECT_FALSE(endStatus.has_value());
    EXPECT_TRUE(w.isVisible());
}

TEST_F(MainWindowTest, TheSourceListEditorsChangesAreTakenOverHoweverItCloses) {
    const std::pair<const char*, std::function<void(TSrcEditF*)>> closings[] = {
        {"close button",
         [](TSrcEditF* editor) {
             editor->Button6->click();
         }},
        {"window close",
         [](TSrcEditF* editor) {
             editor->close();
         }},
        {"escape",
         [](TSrcEditF* editor) {
             QTest::keyClick(editor, Qt::Key_Escape);
         }},
    };
    for (const auto& [how, close] : closings) {
        SCOPED_TRACE(how);
        TMorvexF& w = create({u"/x"_s});
        ui(w).SrcFile->addItems({u"a.up"_s, u"b.up"_s, u"c.up"_s});
        ModalWatcher watcher([&close](QWidget* modal) {
            auto* editor = qobject_cast<TSrcEditF*>(modal);
            ASSERT_NE(editor, nullptr);
            delete editor->SrcList->takeItem(1);
            editor->SrcList->addItem(u"new.up"_s);
            close(editor);
            // Escape is taken by the editor only while its add area is open.
            if (editor->isVisible())
                editor->reject();
        });
        ui(w).SrcEditBtn->click();
        EXPECT_EQ(watcher.names(), QStringList{u"SrcEditF"_s});
        QStringList items;
        for (int row = 0; row < ui(w).SrcFile->count(); ++row)
            items << ui(w).SrcFile->item(row)->text();
        EXPECT_EQ(items, (QStringList{u"a.up"_s, u"c.up"_s, u"new.up"_s}));
    }
}

TEST_F(MainWindowTest, SettingsAndAboutOpenModallyFromMenuAndIconMenu) {
    TMorvexF& w = create({u"/x"_s});
    ModalWatcher watcher([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    for (QAction* command : {ui(w).ShowResultSetting, ui(w).KS1, ui(w).About, ui(w).KA1})
        command->trigger();
    EXPECT_EQ(watcher.names(),
              (QStringList{u"SettingF"_s, u"SettingF"_s, u"AboutF"_s, u"AboutF"_s}));
}

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }
};

TEST_F(MainWindowTest, HelpOpensTheManualBesideTheProgramOrNamesTheMissingFile) {
    TMorvexF& w = create({u"/x"_s});
    const QString manual = programDirectory() + u"Morvex.html"_s;
    QFile::remove(manual);
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(u"file"_s, &recorder, "open");
    // With no launcher to find, the manual goes to Qt's URL handlers, one of which is ours.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");

    ui(w).Contents->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].second.contains(manual)) << messages[0].second.toStdString();
    EXPECT_TRUE(recorder.opened.isEmpty());

    ASSERT_TRUE(writeBytes(manual, "<html></html>"));
    ui(w).Contents->trigger();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(recorder.opened, QList<QUrl>{QUrl::fromLocalFile(manual)});
    EXPECT_EQ(application.HelpFile, manual);

    QDesktopServices::unsetUrlHandler(u"file"_s);
    qputenv("PATH", path);
    QFile::remove(manual);
}

TEST_F(MainWindowTest, TheTitleBarCloseAndTheExitCommandSaveAndEndAtOnce) {
    for (bool byCommand : {false, true}) {
        SCOPED_TRACE(byCommand ? "ExitClick" : "title-bar close");
        QFile::remove(SettingsStore::defaultFilePath());
        endStatus.reset();
        TMorvexF& w = create();
        w.move(120, 90);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        ui(w).SrcFile->addItem(u"x.up"_s);
        ui(w).AppRunTimer->start();

        if (byCommand)
            ui(w).Exit->trigger();
        else
            w.close();

        EXPECT_EQ(endStatus, 0);
        EXPECT_FALSE(ui(w).AppRunTimer->isActive());
        EXPECT_EQ(storedNumber(morvexKey(u"System"_s), u"Version"_s), 120);
        EXPECT_EQ(storedNumber(morvexKey(u"System"_s), u"WindowTop"_s), w.frameGeometry().top());
        EXPECT_EQ(storedNumber(morvexKey(u"System"_s), u"WindowLeft"_s), w.frameGeometry().left());
        EXPECT_EQ(storedNumber(morvexKey(u"System"_s), u"ClientHeight"_s), 161);
        EXPECT_EQ(storedNumber(morvexKey(u"File"_s), u"SrcFileCount"_s), 1);
        EXPECT_EQ(storedText(morvexKey(u"File"_s), u"SrcFileName"_s), u"x.up"_s);
    }
}

TEST_F(MainWindowTest, AWindowNeverShownSavesNoPosition) {
    TMorvexF& w = create({u"/x"_s});
    w.SaveAndQuit();
    EXPECT_EQ(endStatus, 0);
    EXPECT_EQ(storedNumber(morvexKey(u"System"_s), u"Version"_s), 120);
    EXPECT_FALSE(storedNumber(morvexKey(u"System"_s), u"WindowTop"_s).has_value());
    EXPECT_FALSE(storedNumber(morvexKey(u"System"_s), u"WindowLeft"_s).has_value());
}

TEST_F(MainWindowTest, TheIconMenusExitEndsTheLoopWithoutSaving) {
    TMorvexF& w = create();
    w.show();
    QTimer::singleShot(0, &w, [&w] { ui(w).Exit1->trigger(); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(endStatus.has_value());
    EXPECT_FALSE(QFile::exists(SettingsStore::defaultFilePath()));
    w.hide();
    ui(w).Show1->trigger();
    EXPECT_TRUE(w.isVisible());
}

} // namespace
} // namespace morvex::test

#include "MainCommandsTest.moc"
