#include "controls/DisRangeTrackBar.h"
#include "controls/ExLabel.h"
#include "settings/SettingFGroups.h"
#include "settings/SettingsStore.h"
#include "tests/support/StoreFiles.h"
#include "tests/support/Widgets.h"
#include "windows/Set_U.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {
using namespace Qt::StringLiterals;
using morvex::TSettingF;
using namespace morvex;
using morvex::test::storedNumber;
using morvex::test::storedText;

const QString resultKey = u"\\Software\\QOR\\Morvex\\Result"_s;
const QString compListKey = u"\\Software\\QOR\\Morvex\\CompList"_s;
const QString appRunKey = u"\\Software\\QOR\\Morvex\\AppRun"_s;
const QString watchKey = u"\\Software\\QOR\\Morvex\\Watch"_s;
const QString fileKey = u"\\Software\\QOR\\Morvex\\File"_s;

class SettingF : public morvex::test::StoreTest {
protected:
    static std::vector<TExLabel*> timeLabels(const TSettingF& f) {
        return {f.MinLbl, f.MaxLbl, f.Label1, f.Label2, f.Time};
    }

    static void expectLabelsLook(const TSettingF& f, bool enabled) {
        // Black and 128 grey on the classic scheme, as the palette gives them (see Look tests).
        const TColor colour = enabled ? clWindowText : clGrayText;
        for (const TExLabel* label : timeLabels(f)) {
            EXPECT_EQ(label->fontColor(), colour) << label->objectName().toStdString();
            EXPECT_EQ(label->font3D(), !enabled) << label->objectName().toStdString();
        }
    }
};

TEST_F(SettingF, EmptyStoreGivesTheDesignValuesAndWritesNothing) {
    TSettingF f;
    EXPECT_TRUE(f.loaded());
    EXPECT_TRUE(f.ShowResult->isChecked());
    EXPECT_FALSE(f.NotShowResult->isChecked());
    EXPECT_FALSE(f.GoByClose->isChecked());
    EXPECT_TRUE(f.GoByClose->isEnabled());
    EXPECT_EQ(f.WaitTime->position(), 5);
    EXPECT_EQ(f.Time->text(), u"5"_s);
    EXPECT_EQ(f.CompListUpDown->position(), 71);
    EXPECT_EQ(f.CompListCount->text(), u"71"_s);
    EXPECT_EQ(f.AppWaitTime->text(), u"1000"_s);
    EXPECT_EQ(f.ObserveWaitTime->text(), u"2000"_s);
    EXPECT_FALSE(f.AppWaitTime->isVisibleTo(&f));
    EXPECT_EQ(f.PageControl1->currentIndex(), 0);
    EXPECT_TRUE(storeBytes().isEmpty());
}

TEST_F(SettingF, GoByCloseUncheckedDisablesTrackbarAndGreysLabelsInRelief) {
    writeNumbers(
        resultKey,
        {{u"ShowResult"_s, 1}, {u"NotShowResult"_s, 0}, {u"GoByClose"_s, 0}, {u"WaitTime"_s, 3}});
    TSettingF f;
    EXPECT_TRUE(f.GoByClose->isEnabled());
    EXPECT_FALSE(f.WaitTime->isEnabled());
    EXPECT_EQ(f.Time->text(), u"3"_s);
    expectLabelsLook(f, false);
    for (const TExLabel* label : timeLabels(f)) // white on the classic scheme
        EXPECT_EQ(toQColor(label->backFont(), f.palette()), toQColor(clBtnHighlight, f.palette()));
}

TEST_F(SettingF, NotShowResultWithGoByCloseDisablesControlsButLabelsStayBlackAndFlat) {
    writeNumbers(
        resultKey,
        {{u"ShowResult"_s, 0}, {u"NotShowResult"_s, 1}, {u"GoByClose"_s, 1}, {u"WaitTime"_s, 7}});
    TSettingF f;
    EXPECT_TRUE(f.NotShowResult->isChecked());
    EXPECT_FALSE(f.ShowResult->isChecked());
    EXPECT_TRUE(f.GoByClose->isChecked());
    EXPECT_FALSE(f.GoByClose->isEnabled());
    EXPECT_FALSE(f.WaitTime->isEnabled());
    expectLabelsLook(f, true);
}

TEST_F(SettingF, NotShowResultThenShowResultClicksRestoreTheControls) {
    writeNumbers(resultKey, {{u"GoByClose"_s, 1}});
    TSettingF f;
    f.show();
    QTest::mouseClick(f.NotShowResult, Qt::LeftButton);
    EXPECT_FALSE(f.GoByClose->isEnabled());
    EXPECT_FALSE(f.WaitTime->isEnabled());
    expectLabelsLook(f, false);
    QTest::mouseClick(f.ShowResult, Qt::LeftButton);
    EXPECT_TRUE(f.ShowResult->isChecked());
    EXPECT_FALSE(f.NotShowResult->isChecked());
    EXPECT_TRUE(f.GoByClose->isEnabled());
    EXPECT_TRUE(f.WaitTime->isEnabled());
    expectLabelsLook(f, true);
}

TEST_F(SettingF, BothRadioButtonsClearLoadsWithNeitherChecked) {
    writeNumbers(resultKey, {{u"ShowResult"_s, 0}, {u"NotShowResult"_s, 0}});
    TSettingF f;
    EXPECT_FALSE(f.ShowResult->isChecked());
    EXPECT_FALSE(f.NotShowResult->isChecked());
    EXPECT_FALSE(f.GoByClose->isEnabled());
}

TEST_F(SettingF, OpeningMovesTheOlderVendorsResultKey) {
    const QString oldKey = u"\\Software\\ZELT\\Morvex\\Result"_s;
    writeNumbers(oldKey, {{u"NotShowResult"_s, 1}, {u"GoByClose"_s, 1}, {u"WaitTime"_s, 25}});
    {
        TSettingF f;
        EXPECT_TRUE(f.NotShowResult->isChecked());
        EXPECT_TRUE(f.GoByClose->isChecked());
        EXPECT_EQ(f.Time->text(), u"10"_s);
    }
    EXPECT_FALSE(storedNumber(oldKey, u"GoByClose"_s));
    EXPECT_EQ(storedNumber(resultKey, u"NotShowResult"_s), 1);
    EXPECT_EQ(storedNumber(resultKey, u"WaitTime"_s), 10);
}

TEST_F(SettingF, TrackbarMovesShowInTime) {
    writeNumbers(resultKey, {{u"GoByClose"_s, 1}});
    TSettingF f;
    f.show();
    QTest::keyClick(f.WaitTime, Qt::Key_Right);
    EXPECT_EQ(f.WaitTime->position(), 6);
    EXPECT_EQ(f.Time->text(), u"6"_s);
    QTest::keyClick(f.WaitTime, Qt::Key_End);
    EXPECT_EQ(f.Time->text(), u"10"_s);
}

TEST_F(SettingF, CheckBoxesEnableTheirEditsAndButtons) {
    TSettingF f;
    f.show();
    EXPECT_FALSE(f.BeforeApp->isEnabled());
    EXPECT_FALSE(f.BeforeBtn->isEnabled());
    EXPECT_FALSE(f.CompListCount->isEnabled());
    EXPECT_FALSE(f.CompListUpDown->isEnabled());
    const QColor face = f.BeforeApp->palette().color(QPalette::Base);

    f.PageControl1->setCurrentIndex(1);
    QTest::mouseClick(f.BeforeRunChk, Qt::LeftButton);
    EXPECT_TRUE(f.BeforeApp->isEnabled());
    EXPECT_TRUE(f.BeforeBtn->isEnabled());
    EXPECT_FALSE(f.AfterApp->isEnabled());
    EXPECT_NE(f.BeforeApp->palette().color(QPalette::Base), face);
    QTest::mouseClick(f.AfterRunChk, Qt::LeftButton);
    EXPECT_TRUE(f.AfterBtn->isEnabled());

    f.PageControl1->setCurrentIndex(0);
    QTest::mouseClick(f.CompListChk, Qt::LeftButton);
    EXPECT_TRUE(f.CompListCount->isEnabled());
    EXPECT_TRUE(f.CompListUpDown->isEnabled());
    QTest::mouseClick(f.CompListChk, Qt::LeftButton);
    EXPECT_FALSE(f.CompListCount->isEnabled());
    EXPECT_EQ(f.CompListCount->palette().color(QPalette::Base), face);
}

TEST_F(SettingF, TypedCountBeyondTheRangeSavesAtMostEighty) {
    struct Case {
        const char* typed;
        int saved;
    };
    for (const Case& c : {Case{"99", 80}, Case{"40", 40}, Case{"-3", 0}, Case{"x", 71}}) {
        TSettingF f;
        f.show();
        QTest::mouseClick(f.CompListChk, Qt::LeftButton);
        f.CompListCount->selectAll();
        QTest::keyClicks(f.CompListCount, QString::fromLatin1(c.typed));
        QTest::mouseClick(f.OkBtn, Qt::LeftButton);
        EXPECT_EQ(f.result(), QDialog::Accepted);
        EXPECT_EQ(storedNumber(compListKey, u"Count"_s), c.saved) << c.typed;
        EXPECT_EQ(storedNumber(compListKey, u"CompList"_s), 1);
        QFile::remove(morvex::SettingsStore::defaultFilePath());
    }
}

TEST_F(SettingF, UpDownStepsWithinTheRangeWithoutWrapping) {
    writeNumbers(compListKey, {{u"CompList"_s, 1}, {u"Count"_s, 79}});
    TSettingF f;
    f.show();
    f.CompListCount->setFocus();
    QTest::keyClick(f.CompListCount, Qt::Key_Up);
    QTest::keyClick(f.CompListCount, Qt::Key_Up);
    EXPECT_EQ(f.CompListCount->text(), u"80"_s);
    f.CompListUpDown->setPosition(1);
    f.CompListUpDown->step(-1);
    f.CompListUpDown->step(-1);
    EXPECT_EQ(f.CompListCount->text(), u"0"_s);
}

TEST_F(SettingF, OkSavesAllFourGroupsAndTheNextOpeningShowsThem) {
    {
        TSettingF f;
        f.show();
        QTest::mouseClick(f.GoByClose, Qt::LeftButton);
        f.WaitTime->setPosition(0);
        f.PageControl1->setCurrentIndex(1);
        QTest::mouseClick(f.BeforeRunChk, Qt::LeftButton);
        f.BeforeApp->setFocus();
        morvex::test::commitText(f.BeforeApp, u"/opt/ツール/前処理"_s);
        f.PageControl1->setCurrentIndex(2);
        QTest::keyClicks(f.WatchApp, u"watched"_s);
        QTest::mouseClick(f.OkBtn, Qt::LeftButton);
        EXPECT_EQ(f.result(), QDialog::Accepted);
    }
    EXPECT_EQ(storedNumber(resultKey, u"GoByClose"_s), 1);
    EXPECT_EQ(storedNumber(resultKey, u"WaitTime"_s), 0);
    EXPECT_EQ(storedNumber(resultKey, u"ShowResult"_s), 1);
    EXPECT_EQ(storedNumber(resultKey, u"NotShowResult"_s), 0);
    EXPECT_EQ(storedText(appRunKey, u"BeforeApp"_s), u"/opt/ツール/前処理"_s);
    EXPECT_EQ(storedNumber(appRunKey, u"BeforeCheck"_s), 1);
    EXPECT_EQ(storedNumber(appRunKey, u"WaitTime"_s), 1000);
    EXPECT_EQ(storedText(watchKey, u"WatchApp"_s), u"watched"_s);
    EXPECT_EQ(storedNumber(watchKey, u"WaitTime"_s), 2000);

    TSettingF again;
    EXPECT_TRUE(again.GoByClose->isChecked());
    EXPECT_TRUE(again.WaitTime->isEnabled());
    EXPECT_EQ(again.Time->text(), u"0"_s);
    EXPECT_TRUE(again.BeforeApp->isEnabled());
    EXPECT_EQ(again.BeforeApp->text(), u"/opt/ツール/前処理"_s);
}

// The choice lives in the File group, which the dialog otherwise never touches: a store that
// never had it stays byte for byte as it was.
TEST_F(SettingF, NoRepeatLoadsFromTheFileGroupAndOkWritesItOnlyOnceChosen) {
    writeText(fileKey, u"ConvChar"_s, u")"_s);
    {
        TSettingF f;
        EXPECT_FALSE(f.NoRepeatChk->isChecked());
        f.show();
        QTest::mouseClick(f.OkBtn, Qt::LeftButton);
    }
    EXPECT_FALSE(storedNumber(fileKey, u"NoRepeat"_s).has_value());
    EXPECT_EQ(storedText(fileKey, u"ConvChar"_s), u")"_s);
    {
        TSettingF f;
        f.show();
        f.PageControl1->setCurrentIndex(3);
        QTest::mouseClick(f.NoRepeatChk, Qt::LeftButton);
        QTest::mouseClick(f.OkBtn, Qt::LeftButton);
    }
    EXPECT_EQ(storedNumber(fileKey, u"NoRepeat"_s), 1);
    {
        TSettingF f;
        EXPECT_TRUE(f.NoRepeatChk->isChecked());
        f.show();
        f.PageControl1->setCurrentIndex(3);
        QTest::mouseClick(f.NoRepeatChk, Qt::LeftButton);
        QTest::mouseClick(f.OkBtn, Qt::LeftButton);
    }
    EXPECT_EQ(storedNumber(fileKey, u"NoRepeat"_s), 0);
    EXPECT_EQ(storedText(fileKey, u"ConvChar"_s), u")"_s);
    writeNumbers(fileKey, {{u"NoRepeat"_s, 7}});
    EXPECT_TRUE(TSettingF().NoRepeatChk->isChecked()) << "any non-zero value reads as true";
}

TEST_F(SettingF, HiddenTextsComeFromTheStoreAndGoBackUnchanged) {
    writeNumbers(appRunKey, {{u"WaitTime"_s, 300}});
    writeNumbers(watchKey, {{u"WaitTime"_s, 2500}});
    TSettingF f;
    EXPECT_EQ(f.AppWaitTime->text(), u"300"_s);
    EXPECT_EQ(f.ObserveWaitTime->text(), u"2500"_s);
    f.show();
    QTest::mouseClick(f.OkBtn, Qt::LeftButton);
    EXPECT_EQ(storedNumber(appRunKey, u"WaitTime"_s), 300);
    EXPECT_EQ(storedNumber(watchKey, u"WaitTime"_s), 2500);
}

TEST_F(SettingF, CancelLeavesTheStoreUnchanged) {
    writeNumbers(resultKey, {{u"GoByClose"_s, 1}, {u"WaitTime"_s, 4}});
    writeText(appRunKey, u"AfterApp"_s, u"after"_s);
    const QByteArray before = storeBytes();
    {
        TSettingF f;
        f.show();
        QTest::mouseClick(f.NotShowResult, Qt::LeftButton);
        QTest::mouseClick(f.CompListChk, Qt::LeftButton);
        f.PageControl1->setCurrentIndex(1);
        QTest::mouseClick(f.AfterRunChk, Qt::LeftButton);
        f.AfterApp->setText(u"changed"_s);
        f.PageControl1->setCurrentIndex(2);
        QTest::keyClicks(f.WatchApp, u"w"_s);
        QTest::mouseClick(f.CancelBtn, Qt::LeftButton);
        EXPECT_EQ(f.result(), QDialog::Rejected);
    }
    EXPECT_EQ(storeBytes(), before);
    TSettingF again;
    EXPECT_TRUE(again.ShowResult->isChecked());
    EXPECT_EQ(again.WaitTime->position(), 4);
    EXPECT_EQ(again.AfterApp->text(), u"after"_s);
    EXPECT_FALSE(again.CompListChk->isChecked());
}

// Every choice can be made, and made again: each opening shows what the last OK saved.
TEST_F(SettingF, EncodingPageChoosesEachEncodingInTurnAndOkSavesIt) {
    {
        TSettingF f;
        EXPECT_EQ(f.PageControl1->tabText(3), u"文字コード"_s);
        EXPECT_EQ(f.PageControl1->widget(3), f.TabSheet4);
        EXPECT_TRUE(f.AutoRadio->isChecked()) << "no stored value means automatic";
        f.show();
        f.PageControl1->setCurrentIndex(3);
        QTest::mouseClick(f.Utf8Radio, Qt::LeftButton, {}, {6, 8});
        EXPECT_FALSE(f.AutoRadio->isChecked());
        QTest::mouseClick(f.CancelBtn, Qt::LeftButton);
    }
    EXPECT_EQ(storedText(fileKey, u"Encoding"_s), std::nullopt) << "Cancel writes nothing";
    struct Case {
        QRadioButton* TSettingF::*chosen;
        const char* stored;
        bool autoFiles;
        bool utf8Files;
    };
    const Case cases[] = {
        {&TSettingF::Utf8Radio, "utf-8", false, true},
        {&TSettingF::SjisRadio, "sjis", false, false},
        {&TSettingF::AutoRadio, "auto", true, false},
        {&TSettingF::Utf8Radio, "utf-8", false, true},
    };
    QRadioButton* TSettingF::*previous = &TSettingF::AutoRadio;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        TSettingF f;
        EXPECT_TRUE((f.*previous)->isChecked());
        f.show();
        f.PageControl1->setCurrentIndex(3);
        QTest::mouseClick(f.*c.chosen, Qt::LeftButton, {}, {6, 8});
        EXPECT_EQ(f.readState().AutoFiles, c.autoFiles);
        EXPECT_EQ(f.readState().Utf8Files, c.utf8Files);
        QTest::mouseClick(f.OkBtn, Qt::LeftButton);
        EXPECT_EQ(f.result(), QDialog::Accepted);
        EXPECT_EQ(storedText(fileKey, u"Encoding"_s), QString::fromLatin1(c.stored));
        previous = c.chosen;
    }
    writeText(fileKey, u"Encoding"_s, u"UTF8"_s);
    EXPECT_TRUE(TSettingF().Utf8Radio->isChecked()) << "any case, with or without the hyphen";
}

TEST_F(SettingF, BrowseSetsTheChosenPathAndCancelKeepsTheText) {
    writeNumbers(appRunKey, {{u"BeforeCheck"_s, 1}, {u"AfterCheck"_s, 1}});
    TSettingF f;
    f.show();
    f.BeforeApp->setText(u"typed"_s);
    morvex::queueFileDialogAnswer(std::nullopt);
    f.BeforeBtnClick();
    EXPECT_EQ(f.BeforeApp->text(), u"typed"_s);
    const morvex::FileDialogRequest request = morvex::lastFileDialogRequest();
    EXPECT_EQ(request.filter, u"実行ファイル (*.exe;*.com)|*.exe;*.com|全てのファイル (*.*)|*.*"_s);
    EXPECT_TRUE(request.mustExist);

    morvex::queueFileDialogAnswer(u"/usr/bin/after"_s);
    f.AfterBtnClick();
    EXPECT_EQ(f.AfterApp->text(), u"/usr/bin/after"_s);
    morvex::queueFileDialogAnswer(u"/usr/bin/watched"_s);
    f.WatchBtnClick();
    EXPECT_EQ(f.WatchApp->text(), u"/usr/bin/watched"_s);
    EXPECT_EQ(f.BeforeApp->text(), u"typed"_s);
}

TEST_F(SettingF, EscapeDoesNotCloseAndEnterPressesOnlyTheFocusedButton) {
    TSettingF f;
    f.show();
    f.CompListCount->setFocus();
    QTest::keyClick(&f, Qt::Key_Escape);
    QTest::keyClick(f.CompListCount, Qt::Key_Return);
    EXPECT_TRUE(f.isVisible());
    f.CancelBtn->setFocus();
    QTest::keyClick(f.CancelBtn, Qt::Key_Return);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.result(), QDialog::Rejected);
    EXPECT_TRUE(storeBytes().isEmpty());
}

TEST_F(SettingF, WrongTypeStopsLoadingKeepsEarlierValuesAndShowsTheError) {
    writeNumbers(resultKey, {{u"GoByClose"_s, 1}});
    writeText(resultKey, u"WaitTime"_s, u"seven"_s);
    writeNumbers(compListKey, {{u"CompList"_s, 1}});
    morvex::test::MessageCapture capture;
    TSettingF f;
    EXPECT_FALSE(f.loaded());
    ASSERT_EQ(capture.messages.size(), 1u);
    EXPECT_EQ(capture.messages[0].first, u"Morvex"_s);
    EXPECT_TRUE(capture.messages[0].second.contains(u"WaitTime"_s));
    EXPECT_TRUE(f.GoByClose->isChecked());
    EXPECT_FALSE(f.CompListChk->isChecked()); // the later groups are not read
}

TEST_F(SettingF, WindowHasTheDesignedFrameAndNoCloseBox) {
    TSettingF f;
    EXPECT_EQ(f.windowTitle(), u"設定"_s);
    EXPECT_EQ(f.size(), QSize(290, 228));
    EXPECT_FALSE(f.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(f.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_EQ(f.PageControl1->count(), 5);
    EXPECT_EQ(f.NoRepeatChk->parentWidget(), f.DrawGroup);
    EXPECT_EQ(f.DrawGroup->parentWidget(), f.TabSheet4) << "below the encoding's radio buttons";
    EXPECT_EQ(f.DrawGroup->geometry().bottom(), f.CompListGroup->geometry().bottom());
    EXPECT_LT(f.EncodingGroup->geometry().bottom(), f.DrawGroup->geometry().top());
    f.show();
    const QTabBar* tabs = f.PageControl1->tabBar();
    EXPECT_LT(tabs->tabRect(tabs->count() - 1).right(), f.PageControl1->width())
        << "every page's tab in view, without scroll buttons";
    EXPECT_EQ(f.PageControl1->tabText(1), u"/aｵﾌﾟｼｮﾝ起動時"_s);
    EXPECT_EQ(f.WaitTime->parentWidget(), f.TabSheet1);
    EXPECT_EQ(f.WaitTime->geometry(), QRect(72, 52, 157, 17));
    EXPECT_EQ(f.Time->geometry().right(), 220 + 13 - 1);
    for (const char* name :
         {"ShowResult", "GoByClose", "WaitTime", "CompListChk", "CompListUpDown", "BeforeRunChk",
          "BeforeApp", "AfterRunChk", "AfterApp", "AppWaitTime", "WatchApp", "ObserveWaitTime"})
        EXPECT_NE(f.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
}

} // namespace
