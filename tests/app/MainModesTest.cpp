// The unattended modes as the main window runs them: its timers, icons and result reports.
#include "app/desktop/TaskIcon.h"
#include "modes/Unattended.h"
#include "tests/app/MainWindowTestSupport.h"
#include "tests/support/Programs.h"

#include <QDialog>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

class MainModesTest : public MainWindowTest {
protected:
    QString path(const QString& name) const { return m_uploads.path(name); }
    StoreSection fileGroup() const { return m_uploads.fileGroup(); }

    TMorvexF& createCollecting(const QStringList& arguments) {
        return create(arguments, [this](TMorvexF& w) {
            w.setResultReporter([this](const FileResult& result) { results.push_back(result); });
        });
    }

    Uploads m_uploads{false};
    std::vector<FileResult> results;
};

TEST_F(MainModesTest, AutoRunWaitsWithItsIconAndConvertsAtTheTick) {
    writeStore({fileGroup(),
                {u"AppRun"_s,
                 {numberValue(u"BeforeCheck"_s, 1), textValue(u"BeforeApp"_s, QString()),
                  numberValue(u"WaitTime"_s, 300)}}});
    TMorvexF& w = createCollecting({u"/a"_s});

    EXPECT_TRUE(ui(w).AppRunTask->Visible());
    EXPECT_EQ(ui(w).AppRunTask->TooltipText(), u"Morvex（待機中）"_s);
    EXPECT_FALSE(ui(w).ObserveTask->Visible());
    EXPECT_TRUE(ui(w).AppRunTimer->isActive());
    EXPECT_EQ(ui(w).AppRunTimer->interval(), 300);
    EXPECT_FALSE(endStatus.has_value());
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(application.ShowMainWindow);

    w.AppRunTimerTimer();
    EXPECT_EQ(endStatus, 0);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(readBytes(path(u"a.up"_s)), "Re: Hello\r\n-- sig\r\n");
}

TEST_F(MainModesTest, TheAfterProgramWaitsForAResultDialogThatDoesNotCloseByItself) {
    const QString log = path(u"child.log"_s);
    const QString after =
        u"\"%1\" --log=\"%2\" after"_s.arg(QString::fromUtf8(MORVEX_TEST_CHILD), log);
    writeStore({fileGroup(),
                {u"Result"_s,
                 {numberValue(u"ShowResult"_s, 1), numberValue(u"NotShowResult"_s, 0),
                  numberValue(u"GoByClose"_s, 0)}},
                {u"AppRun"_s,
                 {numberValue(u"BeforeCheck"_s, 1), numberValue(u"AfterCheck"_s, 1),
                  textValue(u"AfterApp"_s, after)}}});
    TMorvexF& w = create({u"/a"_s});
    const QSet<qint64> children = childProcesses();
    QSet<qint64> startedWhileOpen = {-1};
    ModalWatcher watcher([&](QWidget* modal) {
        // A program started too early is a child of ours from its start on, until it is reaped.
        startedWhileOpen = childProcesses() - children;
        static_cast<QDialog*>(modal)->accept();
    });
    w.AppRunTimerTimer();
    EXPECT_EQ(watcher.names(), QStringList{u"ProgressF"_s});
    EXPECT_TRUE(startedWhileOpen.isEmpty());
    EXPECT_FALSE((childProcesses() - children).isEmpty()) << "started once the dialog closed";
    EXPECT_EQ(waitForChildRuns(log, 1).size(), 1);
    EXPECT_EQ(endStatus, 0);
}

TEST_F(MainModesTest, AutoRunWithoutBeforeProgramEndsInsideCreationWithoutIcon) {
    writeStore({fileGroup()});
    TMorvexF& w = createCollecting({u"-A"_s});
    EXPECT_EQ(endStatus, 0);
    EXPECT_FALSE(ui(w).AppRunTask->Visible());
    EXPECT_FALSE(ui(w).AppRunTimer->isActive());
    EXPECT_EQ(results.size(), 1u);
}

TEST_F(MainModesTest, TheIconMenuExitEndsAWaitingAutoRunAtOnceWithoutConverting) {
    writeStore({fileGroup(), {u"AppRun"_s, {numberValue(u"BeforeCheck"_s, 1)}}});
    const QByteArray storeBefore = storeBytes();
    TMorvexF& w = createCollecting({u"/a"_s});
    ui(w).Exit1->trigger();
    EXPECT_EQ(endStatus, 0);
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(readBytes(path(u"a.up"_s)), "]Hello\r\n)\r\n");
    EXPECT_EQ(storeBytes(), storeBefore);
}

TEST_F(MainModesTest, ObserveShowsItsIconAndConvertsWhatChangesAfterTheBaseline) {
    writeStore({fileGroup()});
    TMorvexF& w = createCollecting({u"-o"_s});
    EXPECT_TRUE(ui(w).ObserveTask->Visible());
    EXPECT_EQ(ui(w).ObserveTask->TooltipText(), u"Morvex（ファイルの更新を監視中）"_s);
    EXPECT_EQ(ui(w).ObserveTask->PopupMenuR(), ui(w).ObserveMnu);
    EXPECT_TRUE(ui(w).ObserveTimer->isActive());
    EXPECT_EQ(ui(w).ObserveTimer->interval(), 2000);
    EXPECT_FALSE(ui(w).AppRunTimer->isActive());
    EXPECT_FALSE(w.SkipConverted);

    w.ObserveTimerTimer();
    EXPECT_TRUE(results.empty());
    writeBytes(path(u"b.up"_s), ")\r\n");
    w.ObserveTimerTimer();
    w.ObserveTimerTimer();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].path, path(u"b.up"_s).toStdString());
    EXPECT_EQ(readBytes(path(u"a.up"_s)), "]Hello\r\n)\r\n");
    EXPECT_FALSE(endStatus.has_value());
}

TEST_F(MainModesTest, ACloseRequestDuringALongLookEndsItBetweenTwoFiles) {
    writeStore({fileGroup()});
    TMorvexF& w = create({u"/o"_s}, [this](TMorvexF& form) {
        form.setResultReporter([this, &form](const FileResult& result) {
            results.push_back(result);
            QThread::msleep(1); // however fast the machine, the look takes a while
            // A close request (SIGTERM, D-Bus SaveAndQuit) arrives while the look goes on.
            if (results.size() == 3)
                QTimer::singleShot(0, &form, [&form] { form.SaveAndQuit(); });
        });
    });
    w.ObserveTimerTimer(); // baseline
    constexpr int kFiles = 400;
    for (int i = 0; i < kFiles; ++i)
        writeBytes(path(u"m%1.up"_s.arg(i, 3, 10, QChar(u'0'))), "]Hi\r\n)\r\n");
    w.ObserveTimerTimer();
    EXPECT_EQ(endStatus, 0);
    EXPECT_GE(results.size(), 3u);
    EXPECT_LT(results.size(), std::size_t(kFiles)) << "the look ended before its last file";
    std::size_t converted = 0;
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray text = readBytes(path(u"m%1.up"_s.arg(i, 3, 10, QChar(u'0'))));
        converted += text == "Re: Hi\r\n-- sig\r\n" ? 1 : 0;
        EXPECT_TRUE(text == "Re: Hi\r\n-- sig\r\n" || text == "]Hi\r\n)\r\n") << i;
    }
    EXPECT_EQ(converted, results.size());
}

TEST_F(MainModesTest, WatchAppThatCannotStartEndsWithoutIconOrMessage) {
    writeStore(
        {fileGroup(), {u"Watch"_s, {textValue(u"WatchApp"_s, u"morvex-no-such-program"_s)}}});
    TMorvexF& w = createCollecting({u"/W"_s});
    EXPECT_EQ(endStatus, 0);
    EXPECT_FALSE(ui(w).ObserveTask->Visible());
    EXPECT_FALSE(ui(w).ObserveTimer->isActive());
    EXPECT_TRUE(messages.empty());
}

} // namespace
} // namespace morvex::test
