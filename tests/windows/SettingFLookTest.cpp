// The settings dialog as it opens and as its seconds change: focus and spacing.
#include "controls/DisRangeTrackBar.h"
#include "controls/ExLabel.h"
#include "tests/support/StoreFiles.h"
#include "windows/Set_U.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QTabBar>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {
using namespace Qt::StringLiterals;
using morvex::TSettingF;

class SettingFLook : public morvex::test::StoreTest {};

TEST_F(SettingFLook, OpensWithTheFirstControlOfItsTabOrderFocused) {
    TSettingF f;
    f.show(); // no events yet: the window manager may not have activated it
    QWidget* focus = f.focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(focus == f.PageControl1 || f.PageControl1->tabBar() == focus)
        << focus->metaObject()->className();
    EXPECT_EQ(f.PageControl1->currentIndex(), 0);
}

TEST_F(SettingFLook, EveryTabShowsItsWholeCaptionInTheDesktopsOwnStyle) {
    const QString desktop = QApplication::style()->name();
    for (const QString& key : QStyleFactory::keys()) {
        SCOPED_TRACE(key.toStdString());
        QApplication::setStyle(key);
        TSettingF f;
        f.show();
        const QTabBar* bar = f.PageControl1->tabBar();
        // A style of its own would measure with other metrics and fonts than those it paints with.
        EXPECT_EQ(bar->style(), QApplication::style());
        for (int tab = 0; tab < bar->count(); ++tab) {
            const QString caption = bar->tabText(tab);
            EXPECT_GE(bar->tabRect(tab).width(), bar->fontMetrics().horizontalAdvance(caption) + 4)
                << caption.toStdString();
        }
        EXPECT_LE(bar->tabRect(bar->count() - 1).right(), f.PageControl1->width())
            << "all four tabs fit in the dialog";
    }
    QApplication::setStyle(desktop);
}

TEST_F(SettingFLook, TheSecondsNeverTouchTheirBrackets) {
    TSettingF f;
    f.show();
    for (int seconds = 0; seconds <= 10; ++seconds) {
        SCOPED_TRACE(seconds);
        f.WaitTime->setPosition(seconds);
        f.WaitTimeChange();
        ASSERT_EQ(f.Time->text(), QString::number(seconds));
        const int textRight = f.Time->geometry().right() + 1;
        const int textLeft = textRight - f.Time->fontMetrics().horizontalAdvance(f.Time->text());
        EXPECT_GE(textLeft - (f.Label1->geometry().right() + 1), 2);
        EXPECT_GE(f.Label2->x() - textRight, 2);
        EXPECT_EQ(textRight, 233); // the box's right edge stays
        EXPECT_EQ(f.Label2->x(), 236);
        if (seconds < 10) { // one digit: "(" where the layout puts it
            EXPECT_EQ(f.Label1->x(), 216);
        }
    }
}

} // namespace
