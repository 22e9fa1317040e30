// The list viewer as the program joins it to the main window: opened from the round buttons,
// releasing them when it closes, and stored only by its own close.
#include "app/ListViewerLink.h"

#include "controls/MaruBtn.h"
#include "tests/app/MainWindowTestSupport.h"
#include "windows/ListModel.h"
#include "windows/List_U.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

class ListViewerLinkTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(lists.isValid());
        ASSERT_TRUE(writeBytes(lists.filePath(u"a.mfl"_s), "footer\r\n"));
        ASSERT_TRUE(writeBytes(lists.filePath(u"a.mhl"_s), "header one\r\nheader two\r\n"));
        TMorvexF& w = create();
        ui(w).FFile->setText(lists.filePath(u"*.mfl"_s));
        ui(w).HFile->setText(lists.filePath(u"*.mhl"_s));
        viewer = std::make_unique<TListF>();
        attachListViewer(w, *viewer);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    }

    void TearDown() override {
        viewer.reset();
        MainWindowTest::TearDown();
    }

    static void click(TMaruBtn* button) {
        QTest::mouseMove(button, button->rect().center());
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }

    int rows() const { return viewer->listModel()->rowCount(); }

    QTemporaryDir lists;
    std::unique_ptr<TListF> viewer;
};

TEST_F(ListViewerLinkTest, TheRoundButtonsLoadAndShowTheViewerWhichReleasesThemOnClose) {
    EXPECT_FALSE(viewer->isVisible()) << "made hidden";
    click(ui(*window).HeaderBtn);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->HorF, u"H"_s);
    EXPECT_EQ(rows(), 2);
    EXPECT_FALSE(ui(*window).HeaderBtn->down());

    // While open, the other button reloads with its kind; the settings are not read again.
    viewer->TextEditorLbl = u"changed"_s;
    click(ui(*window).FutterBtn);
    EXPECT_EQ(viewer->HorF, u"F"_s);
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(viewer->TextEditorLbl, u"changed"_s);

    ui(*window).FutterBtn->setDown(true);
    viewer->close();
    EXPECT_FALSE(ui(*window).FutterBtn->down());
    EXPECT_FALSE(ui(*window).HeaderBtn->down());
    EXPECT_EQ(storedText(morvexKey(u"ListView"_s), u"TextEditor"_s), u"changed"_s);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(ListViewerLinkTest, EndingTheProgramWithTheViewerOpenStoresNothingOfIt) {
    click(ui(*window).FutterBtn);
    ASSERT_TRUE(viewer->isVisible());
    viewer->TextEditorLbl = u"kate"_s;
    window->SaveAndQuit();
    EXPECT_EQ(endStatus, 0);
    EXPECT_EQ(storedNumber(morvexKey(u"File"_s), u"Futter"_s), 0)
        << "the main window's groups are saved";
    EXPECT_FALSE(storedText(morvexKey(u"ListView"_s), u"TextEditor"_s).has_value());

    // The icon menu's exit ends the loop; the viewer goes with the program, unsaved.
    QTimer::singleShot(0, window.get(), [this] { ui(*window).Exit1->trigger(); });
    EXPECT_EQ(QApplication::exec(), 0);
    viewer.reset();
    EXPECT_FALSE(storedText(morvexKey(u"ListView"_s), u"TextEditor"_s).has_value());
}

} // namespace
} // namespace morvex::test
