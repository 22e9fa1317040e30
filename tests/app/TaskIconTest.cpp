// The notification-area icon, the animation events and the main window's shell parts, in-process
// on the offscreen platform (which has no notification area).
#include "app/desktop/TaskIcon.h"

#include "app/Application.h"
#include "app/Main_U.h"
#include "app/desktop/AnimWnd.h"
#include "app/desktop/mutexcheck.h"
#include "settings/Sjis.h"
#include "tests/app/MainWindowTestSupport.h"

#include <QMainWindow>
#include <QMenu>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

TEST(TaskIconTooltip, KeepsTheLongestWholeCharacterPrefixOf63ShiftJisBytes) {
    const QString kanji40 = QString(40, QChar(u'監')); // two bytes each
    const QString kana80 = QString(80, QChar(u'ｶ'));   // half-width: one byte each
    // No Shift-JIS form: the encoder's two-byte substitute; a surrogate pair is one character.
    const QString emoji = QString::fromUtf16(u"\U0001F600");
    const struct {
        QString text;
        QString shown;
    } cases[] = {
        {QString(), QString()},
        {u"Morvex（待機中）"_s, u"Morvex（待機中）"_s},
        {QString(63, u'a'), QString(63, u'a')},
        {QString(64, u'a'), QString(63, u'a')},
        {kanji40, kanji40.left(31)},                     // 62 bytes: the 32nd would cut
        {u'a' + kanji40, u'a' + kanji40.left(31)},       // exactly 63
        {u"ab"_s + kanji40, u"ab"_s + kanji40.left(30)}, // 62: never half a character
        {kana80, kana80.left(63)},
        {QString(61, u'a') + emoji + u'b', QString(61, u'a') + emoji},
        {QString(62, u'a') + emoji, QString(62, u'a')},
    };
    for (const auto& one : cases) {
        const QString shown = shownTooltip(one.text);
        EXPECT_EQ(shown, one.shown) << one.text.toStdString();
        EXPECT_LE(sjis::encode(shown).size(), TTaskIcon::kTooltipBytes);
    }
}

class TaskIconTest : public ::testing::Test {
protected:
    /// Every event of `icon` in order, as "event button x y"; menus popped as "menu name".
    void record(TTaskIcon& icon) {
        const auto log = [this](const char* event) {
            return [this, event](Qt::MouseButton button, QPoint pos) {
                events << u"%1 %2 %3 %4"_s
                              .arg(QString::fromLatin1(event),
                                   button == Qt::LeftButton ? u"L"_s : u"R"_s)
                              .arg(pos.x())
                              .arg(pos.y());
            };
        };
        QObject::connect(&icon, &TTaskIcon::OnClick, &icon, log("click"));
        QObject::connect(&icon, &TTaskIcon::OnMouseDown, &icon, log("down"));
        QObject::connect(&icon, &TTaskIcon::OnMouseUp, &icon, log("up"));
        QObject::connect(&icon, &TTaskIcon::OnDblClick, &icon, log("dblclick"));
        QObject::connect(&icon, &TTaskIcon::menuPopped, &icon, [this](QMenu* menu, QPoint) {
            events << u"menu "_s + menu->objectName();
            menu->hide();
        });
    }

    QStringList events;
};

TEST_F(TaskIconTest, VisibleIsStoredInEveryCaseAndTouchesTheButtonOnlyOnAChange) {
    TTaskIcon icon;
    QSignalSpy button(&icon, &TTaskIcon::taskBarButtonChanged);
    EXPECT_FALSE(icon.Visible());
    icon.setVisible(false);
    EXPECT_FALSE(icon.Visible());
    EXPECT_EQ(button.count(), 0);
    EXPECT_EQ(icon.trayIcon(), nullptr);
    icon.setVisible(true);
    icon.setVisible(true);
    EXPECT_TRUE(icon.Visible());
    ASSERT_EQ(button.count(), 1);
    EXPECT_FALSE(button.at(0).at(0).toBool());
    // The offscreen platform has no notification area.
    EXPECT_EQ(icon.trayKind(), TrayKind::None);
    EXPECT_EQ(currentTrayKind(), TrayKind::None);
    icon.setVisible(false);
    icon.setVisible(false);
    EXPECT_FALSE(icon.Visible());
    ASSERT_EQ(button.count(), 2);
    EXPECT_TRUE(button.at(1).at(0).toBool());
}

TEST(MainWindowShell, AShownIconHidesTheTaskBarButtonAndARemovedOneShowsIt) {
    MorvexApplication application;
    application.TaskBarButtonVisible = true;
    TMorvexF window(application);
    ui(window).ObserveTask->setVisible(true);
    EXPECT_FALSE(application.TaskBarButtonVisible);
    ui(window).ObserveTask->setVisible(false);
    EXPECT_TRUE(application.TaskBarButtonVisible);
}

TEST_F(TaskIconTest, APressRunsClickDownMenuUpInThatOrderWithTheCursorPosition) {
    QMenu left;
    left.setObjectName(u"Left"_s);
    QMenu right;
    right.setObjectName(u"Right"_s);
    TTaskIcon icon;
    record(icon);
    icon.setPopupMenuR(&right);
    icon.buttonDown(Qt::RightButton, {10, 20});
    icon.buttonDown(Qt::LeftButton, {30, 40}); // no left menu: nothing opens
    icon.setPopupMenuL(&left);
    icon.buttonDown(Qt::LeftButton, {50, 60});
    icon.doubleClick(Qt::LeftButton, {70, 80});
    EXPECT_EQ(events, (QStringList{u"click R 10 20"_s, u"down R 10 20"_s, u"menu Right"_s,
                                   u"up R 10 20"_s, u"click L 30 40"_s, u"down L 30 40"_s,
                                   u"up L 30 40"_s, u"click L 50 60"_s, u"down L 50 60"_s,
                                   u"menu Left"_s, u"up L 50 60"_s, u"dblclick L 70 80"_s}));
}

TEST_F(TaskIconTest, ADestroyedMenuIsDroppedFromItsProperty) {
    TTaskIcon icon;
    record(icon);
    auto menu = std::make_unique<QMenu>();
    icon.setPopupMenuR(menu.get());
    icon.setPopupMenuL(menu.get());
    EXPECT_EQ(icon.PopupMenuR(), menu.get());
    menu.reset();
    EXPECT_EQ(icon.PopupMenuR(), nullptr);
    EXPECT_EQ(icon.PopupMenuL(), nullptr);
    icon.buttonDown(Qt::RightButton, {1, 2});
    EXPECT_EQ(events, (QStringList{u"click R 1 2"_s, u"down R 1 2"_s, u"up R 1 2"_s}));
}

TEST_F(TaskIconTest, TooltipAndIconAreKeptAsGiven) {
    TTaskIcon icon;
    const QString longText = QString(70, u'x');
    icon.setTooltipText(longText);
    EXPECT_EQ(icon.TooltipText(), longText); // only the shown tooltip is cut
    EXPECT_TRUE(icon.Icon().isNull());
    const QIcon picture(u":/windows/pictures/icon.bmp"_s);
    ASSERT_FALSE(picture.isNull());
    icon.setIcon(picture);
    EXPECT_EQ(icon.Icon().cacheKey(), picture.cacheKey());
}

TEST(AnimateWindow, OneOnAWindowAndASecondIsRefusedWithTheDesignedMessage) {
    QWidget first;
    QWidget second;
    auto animation = std::make_unique<TAnimateWindow>(&first);
    try {
        TAnimateWindow again(&first);
        ADD_FAILURE() << "a second component on one window was accepted";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "AnimateWindowはフォームに一つしか置けません");
    }
    EXPECT_NO_THROW(TAnimateWindow other(&second));
    animation.reset();
    EXPECT_NO_THROW(TAnimateWindow again(&first)); // the register forgets a destroyed one
}

TEST(AnimateWindow, MinimiseAndRestoreReportTheApplicationAfterTheChange) {
    QWidget window;
    TAnimateWindow animation(&window);
    QSignalSpy minimised(&animation, &TAnimateWindow::OnMinimize);
    QSignalSpy restored(&animation, &TAnimateWindow::OnRestore);
    window.show();
    window.showMinimized();
    ASSERT_EQ(minimised.count(), 1);
    EXPECT_EQ(minimised.at(0).at(0).value<QObject*>(), QCoreApplication::instance());
    EXPECT_TRUE(window.isMinimized());
    window.showMinimized(); // no change, no event
    EXPECT_EQ(minimised.count(), 1);
    EXPECT_EQ(restored.count(), 0);
    // A restore while the main window is hidden shows it.
    window.hide();
    window.setWindowState(Qt::WindowNoState);
    ASSERT_EQ(restored.count(), 1);
    EXPECT_EQ(restored.at(0).at(0).value<QObject*>(), QCoreApplication::instance());
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    // Maximising is neither.
    window.showMaximized();
    EXPECT_EQ(minimised.count(), 1);
    EXPECT_EQ(restored.count(), 1);
}

TEST(MainWindowShell, TheIconsShareTheIconMenuAndTheGuardHasNoName) {
    MorvexApplication application;
    TMorvexF window(application);
    const struct {
        TTaskIcon* icon;
        QString name;
        QString tooltip;
    } icons[] = {{ui(window).AppRunTask, u"AppRunTask"_s, u"Morvex（待機中）"_s},
                 {ui(window).ObserveTask, u"ObserveTask"_s, u"Morvex（ファイルの更新を監視中）"_s}};
    for (const auto& one : icons) {
        ASSERT_NE(one.icon, nullptr);
        EXPECT_EQ(one.icon->objectName(), one.name);
        EXPECT_EQ(one.icon->TooltipText(), one.tooltip);
        EXPECT_EQ(one.icon->PopupMenuR(), ui(window).ObserveMnu);
        EXPECT_EQ(one.icon->PopupMenuL(), nullptr);
        EXPECT_FALSE(one.icon->Visible());
        EXPECT_EQ(one.icon->Icon().actualSize({32, 32}), QSize(32, 32));
    }
    ASSERT_NE(ui(window).CheckMutex1, nullptr);
    EXPECT_TRUE(ui(window).CheckMutex1->MutexID().isEmpty());
    EXPECT_FALSE(ui(window).CheckMutex1->holdsGuard());
    ASSERT_NE(ui(window).AnimateWindow1, nullptr);
    EXPECT_EQ(ui(window).AnimateWindow1->owner(), &window);
}

} // namespace
} // namespace morvex::test
