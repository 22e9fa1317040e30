#include "tests/support/StoreFiles.h"
#include "tests/support/Widgets.h"
#include "windows/ProgresU.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
using namespace Qt::StringLiterals;
using morvex::TProgressF;

const QString resultKey = u"\\Software\\QOR\\Morvex\\Result"_s;

TEST(ProgressF, ShowsFileNameAndBothCounts) {
    TProgressF f;
    f.setFileName(u"/home/u/投稿.up"_s);
    f.setCounts(2, 0);
    EXPECT_EQ(f.FileName->text(), u"/home/u/投稿.up"_s);
    EXPECT_EQ(f.ConvCount->text(), u"2"_s);
    EXPECT_EQ(f.HeadConvCount->text(), u"0"_s);
    f.setCounts(7, 123);
    EXPECT_EQ(f.HeadConvCount->text(), u"123"_s);
    // The header count grows to the left; its right edge stays where "個" begins.
    EXPECT_EQ(f.HeadConvCount->geometry().right() + 1, f.Label5->x());
    EXPECT_EQ(f.ConvCount->geometry(), QRect(64, 4, 20, f.ConvCount->height()));
    EXPECT_EQ(f.HeadConvCount->parentWidget(), f.HeadConvPnl);
    EXPECT_EQ(f.ConvPnl->geometry(), QRect(114, 33, 101, 21));
}

struct TimerCase {
    int seconds;
    int flag;
    bool active;
    int interval;
};

void PrintTo(const TimerCase& c, std::ostream* out) {
    *out << c.seconds << " s, flag " << c.flag;
}

class ProgressTimer : public testing::TestWithParam<TimerCase> {};

TEST_P(ProgressTimer, OnShowFollowsTheAutoCloseRules) {
    TProgressF f;
    f.setWaitSeconds(GetParam().seconds);
    f.setAutoClose(GetParam().flag);
    f.show();
    EXPECT_EQ(f.Timer->isActive(), GetParam().active);
    EXPECT_EQ(f.Timer->interval(), GetParam().interval);
}

INSTANTIATE_TEST_SUITE_P(Windows, ProgressTimer,
                         testing::Values(TimerCase{0, 1, true, 417}, TimerCase{10, 1, true, 10000},
                                         TimerCase{3, 1, true, 3000}, TimerCase{5, 0, false, 5000},
                                         TimerCase{0, 0, false, 5000}),
                         [](const testing::TestParamInfo<TimerCase>& timerCase) {
                             return "Wait" + std::to_string(timerCase.param.seconds) +
                                    (timerCase.param.flag ? "AutoClose" : "Stays");
                         });

TEST(ProgressF, ZeroSecondsClosesByItself) {
    TProgressF f;
    f.setAutoClose(1);
    f.setWaitSeconds(0);
    f.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.isVisible(); }, 5000));
}

TEST(ProgressF, StaysOpenWithoutAutoClose) {
    TProgressF f;
    f.setAutoClose(0);
    f.setWaitSeconds(0);
    f.show();
    EXPECT_FALSE(QTest::qWaitFor([&] { return !f.isVisible(); }, 600));
    QTest::keyClick(&f, Qt::Key_Escape);
    EXPECT_TRUE(f.isVisible());
    QTest::mouseClick(f.OkBtn, Qt::LeftButton);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.result(), QDialog::Accepted);
}

TEST(ProgressF, SystemMenuCloseClosesIt) {
    TProgressF f;
    EXPECT_TRUE(f.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(f.windowTitle(), u"変換結果"_s);
    EXPECT_EQ(f.size(), QSize(241, 117));
    f.show();
    EXPECT_TRUE(f.close());
    EXPECT_FALSE(f.isVisible());
}

class FileResult : public morvex::test::StoreTest {
protected:
    struct Seen {
        QString file, footers, headers;
        int interval = -1;
        bool timerActive = false;
    };

    // Shows the result for the counts; returns what the dialog showed, if one opened.
    std::optional<Seen> report(int footers, int headers, bool closeByHand) {
        std::optional<Seen> seen;
        morvex::test::ModalWatcher watcher([&](QWidget* modal) {
            auto* f = qobject_cast<TProgressF*>(modal);
            if (!f)
                return;
            seen = Seen{f->FileName->text(), f->ConvCount->text(), f->HeadConvCount->text(),
                        f->Timer->interval(), f->Timer->isActive()};
            if (closeByHand)
                f->OkBtn->click();
        });
        morvex::showFileResult(nullptr, u"/tmp/a.up"_s, footers, headers);
        return seen;
    }
};

TEST_F(FileResult, ShowsTheCountsWithTheStoredSettings) {
    writeNumbers(resultKey, {{u"GoByClose"_s, 0}, {u"WaitTime"_s, 8}});
    const std::optional<Seen> seen = report(2, 0, true);
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->file, u"/tmp/a.up"_s);
    EXPECT_EQ(seen->footers, u"2"_s);
    EXPECT_EQ(seen->headers, u"0"_s);
    EXPECT_FALSE(seen->timerActive);
}

TEST_F(FileResult, ClosesItselfAfterTheStoredWait) {
    writeNumbers(resultKey, {{u"GoByClose"_s, 1}, {u"WaitTime"_s, 0}});
    const std::optional<Seen> seen = report(1, 3, false);
    ASSERT_TRUE(seen);
    EXPECT_TRUE(seen->timerActive);
    EXPECT_EQ(seen->interval, 417);
    EXPECT_EQ(seen->headers, u"3"_s);
}

TEST_F(FileResult, NoDialogForZeroCounts) {
    EXPECT_FALSE(report(0, 0, true));
}

TEST_F(FileResult, NoDialogWithNotShowResult) {
    writeNumbers(resultKey, {{u"ShowResult"_s, 0}, {u"NotShowResult"_s, 1}, {u"GoByClose"_s, 1}});
    EXPECT_FALSE(report(4, 4, true));
}

TEST_F(FileResult, NoDialogWhenNeitherChoiceIsStored) {
    writeNumbers(resultKey, {{u"ShowResult"_s, 0}, {u"NotShowResult"_s, 0}});
    EXPECT_FALSE(report(1, 0, true));
}

} // namespace
