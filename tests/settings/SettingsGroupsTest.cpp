#include "settings/ListViewGroup.h"
#include "settings/MainWindowGroups.h"
#include "settings/SettingFGroups.h"
#include "settings/SettingsStore.h"
#include "settings/Sjis.h"
#include "tests/support/StoreFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using morvex::test::storedNumber;
using morvex::test::storedText;
using morvex::test::StoreTest;
using namespace morvex;

namespace {

const QByteArray v5 = "Windows Registry Editor Version 5.00\n";
const QByteArray hkcu = "[HKEY_CURRENT_USER\\Software\\";
const QString programDir = u"/opt/morvex/"_s;

bool keyExists(const QString& key) {
    SettingsStore store;
    return store.StoreOpen(key, false);
}

const QString qorFile = u"\\Software\\QOR\\Morvex\\File"_s;
const QString qorSystem = u"\\Software\\QOR\\Morvex\\System"_s;
const QString qorResult = u"\\Software\\QOR\\Morvex\\Result"_s;

// A start and a close of the main window, as the window does them.
MainWindowSettings startAndClose() {
    MainWindowSettings state;
    EXPECT_TRUE(PruneOldVendorKey().ok());
    EXPECT_TRUE(LoadMainSettings(state, programDir).ok());
    EXPECT_TRUE(SaveSystemGroup(state).ok());
    EXPECT_TRUE(SaveFileGroup(state).ok());
    return state;
}

} // namespace

using GroupTest = StoreTest;

TEST_F(GroupTest, FirstRunCreatesNothingUntilTheFirstClose) {
    MainWindowSettings state;
    ASSERT_TRUE(PruneOldVendorKey().ok());
    ASSERT_TRUE(LoadMainSettings(state, programDir).ok());
    SettingFState dialog;
    ASSERT_TRUE(LoadResultGroup(dialog).ok());
    ASSERT_TRUE(LoadCompListGroup(dialog).ok());
    ASSERT_TRUE(LoadAppRunGroup(dialog).ok());
    ASSERT_TRUE(LoadWatchGroup(dialog).ok());
    ListViewSettings view;
    ASSERT_TRUE(LoadViewSettings(view).ok());
    EXPECT_FALSE(QFileInfo::exists(configDir() + u"/morvex"_s));

    EXPECT_EQ(state.FFile, u"/opt/morvex/*.mfl"_s);
    EXPECT_EQ(state.HFile, u"/opt/morvex/*.mhl"_s);
    EXPECT_FALSE(state.windowTop);
    EXPECT_TRUE(state.SrcFile.isEmpty());
    EXPECT_EQ(state.ConvChar, u")"_s);
    EXPECT_EQ(state.HeadConvChar, u"]"_s);
    EXPECT_EQ(state.BackExt, u".bak"_s);
    EXPECT_TRUE(dialog.ShowResult);
    EXPECT_FALSE(dialog.NotShowResult);
    EXPECT_EQ(dialog.WaitTime, 5);
    EXPECT_EQ(dialog.CompListUpDown, 71);
    EXPECT_EQ(dialog.AppWaitTime, u"1000"_s);
    EXPECT_EQ(dialog.ObserveWaitTime, u"2000"_s);
    EXPECT_EQ(view.windowWidth, 514);
    EXPECT_EQ(view.fontName, u"ＭＳ ゴシック"_s);
    EXPECT_EQ(view.fontColor, 0x00FFFFFFu);

    state.windowTop = 100;
    state.windowLeft = -8;
    state.SrcFile = QStringList{u"/home/user/bbs/*.up"_s};
    ASSERT_TRUE(SaveSystemGroup(state).ok());
    ASSERT_TRUE(SaveFileGroup(state).ok());
    EXPECT_EQ(storedNumber(qorSystem, u"WindowLeft"_s), -8);
    EXPECT_EQ(storedNumber(qorSystem, u"Version"_s), 120);
    EXPECT_EQ(storedNumber(qorFile, u"SrcFileCount"_s), 1);
    EXPECT_EQ(storedText(qorFile, u"FutterFileName"_s), u"/opt/morvex/*.mfl"_s);
}

TEST_F(GroupTest, SourceListSkipsMissingNumbers) {
    writeStore(v5 + hkcu +
               "QOR\\Morvex\\File]\n\"SrcFileCount\"=dword:3\n"
               "\"SrcFileName2\"=\"c.up\"\n\"SrcFileName\"=\"a.up\"\n"
               "\"SrcFileName3\"=\"beyond.up\"\n\"SrcFileName02\"=\"zero.up\"\n");
    MainWindowSettings state;
    ASSERT_TRUE(LoadMainSettings(state, programDir).ok());
    EXPECT_EQ(state.SrcFile, (QStringList{u"a.up"_s, u"c.up"_s}));
}

TEST_F(GroupTest, HugeCountDoesNotHang) {
    writeStore(v5 + hkcu +
               "QOR\\Morvex\\File]\n\"SrcFileCount\"=dword:7fffffff\n"
               "\"SrcFileName2000000000\"=\"far.up\"\n\"SrcFileName\"=\"a.up\"\n");
    MainWindowSettings state;
    ASSERT_TRUE(LoadMainSettings(state, programDir).ok());
    EXPECT_EQ(state.SrcFile, (QStringList{u"a.up"_s, u"far.up"_s}));
}

TEST_F(GroupTest, ShorterListLeavesOldNamesUnloaded) {
    MainWindowSettings state;
    state.SrcFile = QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s};
    ASSERT_TRUE(SaveFileGroup(state).ok());
    state.SrcFile = QStringList{u"x"_s, u"y"_s};
    ASSERT_TRUE(SaveFileGroup(state).ok());
    EXPECT_EQ(storedNumber(qorFile, u"SrcFileCount"_s), 2);
    EXPECT_EQ(storedText(qorFile, u"SrcFileName2"_s), u"3"_s);
    EXPECT_EQ(storedText(qorFile, u"SrcFileName4"_s), u"5"_s);
    MainWindowSettings loaded;
    ASSERT_TRUE(LoadMainSettings(loaded, programDir).ok());
    EXPECT_EQ(loaded.SrcFile, (QStringList{u"x"_s, u"y"_s}));
}

TEST_F(GroupTest, OldFileKeyAloneMovesAndItsParentGoesLater) {
    writeStore(v5 + hkcu +
               "ZELT\\Morvex\\File]\n\"FutterFileName\"=\"C:\\\\old\\\\*.mfl\"\n"
               "\"Futter\"=dword:1\n\"ConvChar\"=\"}\"\n\"BackUpExt\"=\".old\"\n");
    MainWindowSettings state;
    ASSERT_TRUE(PruneOldVendorKey().ok());
    ASSERT_TRUE(LoadMainSettings(state, programDir).ok());
    EXPECT_EQ(state.FFile, u"C:\\old\\*.mfl"_s);
    EXPECT_EQ(state.HFile, u"/opt/morvex/*.mhl"_s);
    // The marker went 1 -> saved as 0 by the marker rule -> read back from the current key.
    EXPECT_EQ(state.FutterMarker, 0);
    EXPECT_EQ(state.ConvChar, u"}"_s);
    EXPECT_EQ(state.BackExt, u".old"_s);
    EXPECT_EQ(storedNumber(qorFile, u"SrcFileCount"_s), 0);
    EXPECT_EQ(storedText(qorFile, u"FutterFileName"_s), u"C:\\old\\*.mfl"_s);
    EXPECT_EQ(storedNumber(qorFile, u"Futter"_s), 0); // saved by the marker rule
    EXPECT_FALSE(keyExists(u"\\Software\\ZELT\\Morvex\\File"_s));
    EXPECT_TRUE(keyExists(u"\\Software\\ZELT\\Morvex"_s));
    ASSERT_TRUE(PruneOldVendorKey().ok());
    EXPECT_FALSE(keyExists(u"\\Software\\ZELT\\Morvex"_s));
    EXPECT_FALSE(keyExists(u"\\Software\\ZELT"_s));
}

TEST_F(GroupTest, MovingTheOldFileKeyKeepsTheCurrentSourceList) {
    writeStore(v5 + hkcu + "ZELT\\Morvex\\File]\n\"HeaderFileName\"=\"old.mhl\"\n\n" + hkcu +
               "QOR\\Morvex\\File]\n\"SrcFileCount\"=dword:2\n\"SrcFileName\"=\"a.up\"\n"
               "\"SrcFileName1\"=\"b.up\"\n\"HeaderFileName\"=\"current.mhl\"\n");
    MainWindowSettings state;
    ASSERT_TRUE(LoadMainSettings(state, programDir).ok());
    EXPECT_EQ(state.SrcFile, (QStringList{u"a.up"_s, u"b.up"_s}));
    EXPECT_EQ(state.HFile, u"old.mhl"_s); // the old values win
    EXPECT_EQ(storedNumber(qorFile, u"SrcFileCount"_s), 2);
    EXPECT_EQ(storedText(qorFile, u"SrcFileName1"_s), u"b.up"_s);
    EXPECT_FALSE(keyExists(u"\\Software\\ZELT\\Morvex\\File"_s));
}

TEST_F(GroupTest, OldSystemKeyMoves) {
    writeStore(v5 + hkcu + "ZELT\\Morvex\\System]\n\"WindowTop\"=dword:20\n\"Version\"=dword:64\n");
    MainWindowSettings state;
    state.windowWidth = 340;
    ASSERT_TRUE(LoadMainSettings(state, programDir).ok());
    EXPECT_EQ(state.windowTop, 32);
    EXPECT_FALSE(state.windowLeft);
    EXPECT_EQ(state.version, 120); // the current key, read after the move, holds the saved 120
    EXPECT_EQ(storedNumber(qorSystem, u"WindowTop"_s), 32);
    EXPECT_EQ(storedNumber(qorSystem, u"WindowWidth"_s), 340);
    EXPECT_EQ(storedNumber(qorSystem, u"Version"_s), 120);
    EXPECT_FALSE(storedNumber(qorSystem, u"WindowLeft"_s));
    EXPECT_FALSE(keyExists(u"\\Software\\ZELT\\Morvex\\System"_s));
}

TEST_F(GroupTest, PruneKeepsVendorKeysWithOtherSubkeys) {
    writeStore(v5 + hkcu + "ZELT\\Morvex]\n\"Stray\"=dword:1\n" + hkcu + "ZELT\\Other\\X]\n");
    ASSERT_TRUE(PruneOldVendorKey().ok());
    EXPECT_FALSE(keyExists(u"\\Software\\ZELT\\Morvex"_s));
    EXPECT_TRUE(keyExists(u"\\Software\\ZELT\\Other\\X"_s));
}

TEST_F(GroupTest, FutterAndHeaderAlternateOverStartAndCloseCycles) {
    const std::pair<int, int> expected[] = {{1, 1}, {0, 0}, {1, 1}};
    for (auto [futter, header] : expected) {
        startAndClose();
        EXPECT_EQ(storedNumber(qorFile, u"Futter"_s), futter);
        EXPECT_EQ(storedNumber(qorFile, u"Header"_s), header);
    }
}

TEST_F(GroupTest, WrongTypeStopsTheStepWithEarlierValuesApplied) {
    writeStore(v5 + hkcu +
               "QOR\\Morvex\\System]\n\"WindowTop\"=dword:10\n"
               "\"WindowLeft\"=\"20\"\n\"Version\"=dword:1\n" +
               hkcu + "QOR\\Morvex\\File]\n\"ConvChar\"=\"#\"\n");
    MainWindowSettings state;
    const StoreResult result = LoadMainSettings(state, programDir);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.message(), u"'WindowLeft' のﾃﾞｰﾀ型が不正です"_s);
    EXPECT_EQ(state.windowTop, 16);
    EXPECT_FALSE(state.windowLeft);
    EXPECT_FALSE(state.version);
    EXPECT_EQ(state.ConvChar, u")"_s); // the File group is not reached
    EXPECT_EQ(state.FFile, u"*.mfl"_s);
}

TEST_F(GroupTest, WrongTypeInTheOldKeyLeavesItInPlace) {
    writeStore(v5 + hkcu + "ZELT\\Morvex\\Result]\n\"ShowResult\"=dword:0\n\"GoByClose\"=hex:01\n");
    SettingFState state;
    const StoreResult result = LoadResultGroup(state);
    EXPECT_EQ(result.message(), u"'GoByClose' のﾃﾞｰﾀ型が不正です"_s);
    EXPECT_FALSE(state.ShowResult);
    EXPECT_TRUE(keyExists(u"\\Software\\ZELT\\Morvex\\Result"_s));
    EXPECT_FALSE(keyExists(qorResult));
}

struct RadioCase {
    int show;
    int notShow;
    bool showChecked;
    bool notShowChecked;
};

TEST_F(GroupTest, RadioFlagsFollowTheCheckRule) {
    const RadioCase cases[] = {
        {1, 1, false, true}, {0, 0, false, false}, {1, 0, true, false}, {0, 5, false, true}};
    for (const RadioCase& c : cases) {
        writeStore(v5 + hkcu +
                   "QOR\\Morvex\\Result]\n\"ShowResult\"=dword:" + QByteArray::number(c.show) +
                   "\n\"NotShowResult\"=dword:" + QByteArray::number(c.notShow) + "\n");
        SettingFState state;
        ASSERT_TRUE(LoadResultGroup(state).ok());
        EXPECT_EQ(state.ShowResult, c.showChecked) << c.show << c.notShow;
        EXPECT_EQ(state.NotShowResult, c.notShowChecked) << c.show << c.notShow;
    }
    SettingFState state;
    state.setNotShowResult(false); // unchecking leaves the other one
    EXPECT_TRUE(state.ShowResult);
    state.setNotShowResult(true);
    EXPECT_FALSE(state.ShowResult);
}

TEST_F(GroupTest, ResultWaitTimeIsClampedAndSavedClamped) {
    writeStore(v5 + hkcu + "QOR\\Morvex\\Result]\n\"WaitTime\"=dword:19\n\"GoByClose\"=dword:2\n");
    SettingFState state;
    ASSERT_TRUE(LoadResultGroup(state).ok());
    EXPECT_EQ(state.WaitTime, 10);
    EXPECT_TRUE(state.GoByClose);
    ASSERT_TRUE(SaveResultGroup(state).ok());
    EXPECT_EQ(storedNumber(qorResult, u"WaitTime"_s), 10);
    EXPECT_EQ(storedNumber(qorResult, u"GoByClose"_s), 1);
    EXPECT_EQ(storedNumber(qorResult, u"ShowResult"_s), 1);
    EXPECT_EQ(storedNumber(qorResult, u"NotShowResult"_s), 0);
    state.setWaitTime(-4);
    EXPECT_EQ(state.WaitTime, 0);
}

TEST_F(GroupTest, OldResultKeyMovesOnTheFirstDialog) {
    writeStore(v5 + hkcu +
               "ZELT\\Morvex\\Result]\n\"NotShowResult\"=dword:1\n\"WaitTime\"=dword:3\n");
    SettingFState state;
    ASSERT_TRUE(LoadResultGroup(state).ok());
    EXPECT_TRUE(state.NotShowResult);
    EXPECT_EQ(state.WaitTime, 3);
    EXPECT_EQ(storedNumber(qorResult, u"NotShowResult"_s), 1);
    EXPECT_EQ(storedNumber(qorResult, u"ShowResult"_s), 0);
    EXPECT_FALSE(keyExists(u"\\Software\\ZELT\\Morvex\\Result"_s));
}

TEST_F(GroupTest, CompListCountIsASixteenBitPositionWithinRange) {
    const std::pair<qint32, qint32> cases[] = {{40, 40},       {100, 80},  {-5, 0},
                                               {65536 + 7, 7}, {65535, 0}, {0x10050, 80}};
    for (auto [stored, position] : cases) {
        writeStore(v5 + hkcu + "QOR\\Morvex\\CompList]\n\"CompList\"=dword:1\n\"Count\"=dword:" +
                   QByteArray::number(quint32(stored), 16) + "\n");
        SettingFState state;
        ASSERT_TRUE(LoadCompListGroup(state).ok());
        EXPECT_TRUE(state.CompListChk);
        EXPECT_EQ(state.CompListUpDown, position) << stored;
    }
    SettingFState state;
    state.CompListUpDown = 33;
    ASSERT_TRUE(SaveCompListGroup(state).ok());
    EXPECT_EQ(storedNumber(u"\\Software\\QOR\\Morvex\\CompList"_s, u"Count"_s), 33);
    EXPECT_EQ(storedNumber(u"\\Software\\QOR\\Morvex\\CompList"_s, u"CompList"_s), 0);
}

TEST_F(GroupTest, AppRunAndWatchWaitTimesTravelAsText) {
    writeStore(v5 + hkcu +
               "QOR\\Morvex\\AppRun]\n\"WaitTime\"=dword:12c\n\"BeforeCheck\"=dword:1\n"
               "\"BeforeApp\"=\"/usr/bin/fetch --all\"\n" +
               hkcu + "QOR\\Morvex\\Watch]\n\"WaitTime\"=dword:ffffffff\n\"WatchApp\"=\"mail\"\n");
    SettingFState state;
    ASSERT_TRUE(LoadAppRunGroup(state).ok());
    ASSERT_TRUE(LoadWatchGroup(state).ok());
    EXPECT_EQ(state.AppWaitTime, u"300"_s);
    EXPECT_TRUE(state.BeforeRunChk);
    EXPECT_EQ(state.BeforeApp, u"/usr/bin/fetch --all"_s);
    EXPECT_FALSE(state.AfterRunChk);
    EXPECT_EQ(state.ObserveWaitTime, u"-1"_s);
    EXPECT_EQ(state.WatchApp, u"mail"_s);
    ASSERT_TRUE(SaveAppRunGroup(state).ok());
    EXPECT_EQ(storedNumber(u"\\Software\\QOR\\Morvex\\AppRun"_s, u"WaitTime"_s), 300);
    EXPECT_EQ(storedText(u"\\Software\\QOR\\Morvex\\AppRun"_s, u"AfterApp"_s), QString());
    state.AppWaitTime = u"soon"_s;
    state.ObserveWaitTime = u"99999999999"_s;
    ASSERT_TRUE(SaveAppRunGroup(state).ok());
    ASSERT_TRUE(SaveWatchGroup(state).ok());
    EXPECT_EQ(storedNumber(u"\\Software\\QOR\\Morvex\\AppRun"_s, u"WaitTime"_s), 1000);
    EXPECT_EQ(storedNumber(u"\\Software\\QOR\\Morvex\\Watch"_s, u"WaitTime"_s), 2000);
}

TEST_F(GroupTest, EncodingIsTextUnderTheFileKeyAndAbsentMeansShiftJis) {
    const std::pair<QByteArray, bool> cases[] = {
        {"", false}, // absent
        {"\"Encoding\"=\"utf-8\"\n", true},
        {"\"Encoding\"=\"UTF8\"\n", true},
        {"\"encoding\"=\" Utf-8 \"\n", true}, // names and values as people type them
        {"\"Encoding\"=\"sjis\"\n", false},
        {"\"Encoding\"=\"euc-jp\"\n", false}, // anything else is the default
    };
    for (const auto& [value, utf8] : cases) {
        writeStore(v5 + hkcu + "QOR\\Morvex\\File]\n\"ConvChar\"=\")\"\n" + value);
        SettingFState state; // Shift-JIS, as the dialog's design has it
        if (!value.isEmpty())
            state.Utf8Files = !utf8; // a stored value sets the choice either way
        ASSERT_TRUE(loadSettingFGroups(state).ok()) << value.constData();
        EXPECT_EQ(state.Utf8Files, utf8) << value.constData();
    }
    writeStore(v5 + hkcu + "QOR\\Morvex\\File]\n\"Encoding\"=dword:1\n");
    SettingFState wrong;
    EXPECT_FALSE(loadFileChoices(wrong).ok()) << "a value of another type fails the load";

    // Saving writes the one value and keeps the main window's.
    writeStore(v5 + hkcu + "QOR\\Morvex\\File]\n\"ConvChar\"=\"!\"\n");
    SettingFState state;
    state.AutoFiles = false; // an explicit choice; the automatic default writes nothing here
    state.Utf8Files = true;
    ASSERT_TRUE(saveFileEncoding(state).ok());
    EXPECT_EQ(storedText(qorFile, u"Encoding"_s), u"utf-8"_s);
    EXPECT_EQ(storedText(qorFile, u"ConvChar"_s), u"!"_s);
    state.Utf8Files = false;
    ASSERT_TRUE(saveFileEncoding(state).ok());
    EXPECT_EQ(storedText(qorFile, u"Encoding"_s), u"sjis"_s);
    // The main window's save of its File group leaves the encoding as the dialog stored it.
    state.Utf8Files = true;
    ASSERT_TRUE(saveFileEncoding(state).ok());
    startAndClose();
    EXPECT_EQ(storedText(qorFile, u"Encoding"_s), u"utf-8"_s);
}

TEST_F(GroupTest, ListViewMovesAndCutsTheFontName) {
    // 16 full-width characters are 32 bytes in Shift-JIS: the 16th does not fit.
    const QString longName = u"ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰ"_s;
    writeStore(v5 + hkcu +
               "ZELT\\Morvex\\ListView]\n\"WindowWidth\"=dword:258\n"
               "\"BackColor\"=dword:8000000f\n\"FontName\"=\"" +
               longName.toUtf8() + "\"\n\"TextEditor\"=\"\"\n");
    ListViewSettings state;
    ASSERT_TRUE(LoadViewSettings(state).ok());
    EXPECT_EQ(state.windowWidth, 600);
    EXPECT_EQ(state.backColor, 0x8000000Fu);
    EXPECT_EQ(state.fontName, longName.left(15));
    EXPECT_EQ(sjis::encode(state.fontName).size(), 30);
    EXPECT_EQ(state.TextEditorLbl, QString());
    EXPECT_EQ(state.windowHeight, 359);
    const QString current = u"\\Software\\QOR\\Morvex\\ListView"_s;
    EXPECT_EQ(storedNumber(current, u"BackColor"_s), qint32(0x8000000F));
    EXPECT_EQ(storedText(current, u"TextEditor"_s), QString());
    EXPECT_EQ(storedNumber(current, u"FontSize"_s), 9);
    EXPECT_FALSE(keyExists(u"\\Software\\ZELT\\Morvex\\ListView"_s));

    state.windowTop = 5;
    state.fontName = u"a"_s + longName;
    ASSERT_TRUE(SaveViewSettings(state).ok());
    ListViewSettings again;
    ASSERT_TRUE(LoadViewSettings(again).ok());
    EXPECT_EQ(again.windowTop, 5);
    EXPECT_EQ(again.fontName, u"a"_s + longName.left(15)); // 31 bytes exactly
}

TEST_F(GroupTest, UnparsableFileStopsLoadsAndRefusesSaves) {
    const QByteArray broken = v5 + hkcu + "QOR\\Morvex\\System]\n\"WindowTop\"=dword:1\n\"oops\n";
    writeStore(broken);
    MainWindowSettings state;
    const StoreResult pruned = PruneOldVendorKey();
    ASSERT_FALSE(pruned.ok());
    EXPECT_EQ(pruned.error().kind(), StoreError::Kind::FileUnusable);
    const StoreResult loaded = LoadMainSettings(state, programDir);
    ASSERT_FALSE(loaded.ok());
    EXPECT_TRUE(loaded.message().contains(u"(4 行目、6 文字目)"_s))
        << loaded.message().toStdString();
    EXPECT_TRUE(loaded.message().contains(storeFile()));
    EXPECT_FALSE(state.windowTop);
    SettingFState dialog;
    EXPECT_FALSE(LoadResultGroup(dialog).ok());
    state.windowTop = 1;
    EXPECT_TRUE(SaveSystemGroup(state).message().startsWith(u"'WindowTop' の設定に失敗しました"_s));
    EXPECT_TRUE(
        SaveFileGroup(state).message().startsWith(u"'SrcFileCount' の設定に失敗しました"_s));
    EXPECT_TRUE(SaveWatchGroup(dialog).message().startsWith(u"'WatchApp' の設定に失敗しました"_s));
    EXPECT_EQ(storeBytes(), broken);
}

TEST(ProgramDirectory, IsTheExecutablesFolderWithASlash) {
    const QString dir = programDirectory();
    EXPECT_TRUE(dir.endsWith(u'/'));
    EXPECT_EQ(QDir(dir).canonicalPath(),
              QDir(QCoreApplication::applicationDirPath()).canonicalPath());
}

TEST_F(GroupTest, AnOldFileKeysSourceListMovesWithIt) {
    writeStore(v5 + hkcu +
               "ZELT\\Morvex\\File]\n\"SrcFileCount\"=dword:2\n"
               "\"SrcFileName\"=\"old1.up\"\n\"SrcFileName1\"=\"old2.up\"\n\n" +
               hkcu + "QOR\\Morvex\\File]\n\"SrcFileCount\"=dword:1\n\"SrcFileName\"=\"cur.up\"\n");
    MainWindowSettings state;
    ASSERT_TRUE(LoadMainSettings(state, programDir).ok());
    EXPECT_EQ(state.SrcFile, (QStringList{u"old1.up"_s, u"old2.up"_s})) << "once, old values win";
    EXPECT_EQ(storedNumber(qorFile, u"SrcFileCount"_s), 2);
    EXPECT_EQ(storedText(qorFile, u"SrcFileName1"_s), u"old2.up"_s);
    EXPECT_FALSE(keyExists(u"\\Software\\ZELT\\Morvex\\File"_s));
}

// What a run that saves nothing (/c) reads: the same as a start that moves the old keys.
TEST_F(GroupTest, ReadingInPlaceGivesWhatAMoveGivesAndWritesNothing) {
    const QByteArray file =
        v5 + hkcu +
        "ZELT\\Morvex\\File]\n\"SrcFileCount\"=dword:1\n\"SrcFileName\"=\"old.up\"\n"
        "\"ConvChar\"=\"}\"\n\n" +
        hkcu + "ZELT\\Morvex\\System]\n\"WindowTop\"=dword:20\n\n" + hkcu +
        "QOR\\Morvex\\File]\n\"SrcFileCount\"=dword:1\n\"SrcFileName\"=\"cur.up\"\n"
        "\"HeadConvChar\"=\"[\"\n\"ConvChar\"=\"{\"\n\n" +
        hkcu + "QOR\\Morvex\\System]\n\"WindowTop\"=dword:5\n\"WindowLeft\"=dword:7\n";
    writeStore(file);
    MainWindowSettings inPlace;
    ASSERT_TRUE(LoadMainSettings(inPlace, programDir, LoadWrites::Discarded).ok());
    EXPECT_EQ(storeBytes(), file) << "not a byte written";

    MainWindowSettings moved;
    ASSERT_TRUE(LoadMainSettings(moved, programDir).ok());
    EXPECT_EQ(inPlace.SrcFile, moved.SrcFile);
    EXPECT_EQ(inPlace.SrcFile, QStringList{u"old.up"_s});
    EXPECT_EQ(inPlace.ConvChar, u"}"_s);
    EXPECT_EQ(inPlace.HeadConvChar, u"]"_s) << "a move saves the window's own value over it";
    EXPECT_EQ(inPlace.HeadConvChar, moved.HeadConvChar);
    EXPECT_EQ(inPlace.windowTop, 0x20);
    EXPECT_EQ(inPlace.windowLeft, 7);
    EXPECT_EQ(inPlace.windowTop, moved.windowTop);
    EXPECT_EQ(inPlace.windowLeft, moved.windowLeft);
    EXPECT_EQ(inPlace.version, moved.version);
    EXPECT_EQ(inPlace.FFile, moved.FFile);
    EXPECT_EQ(inPlace.FutterMarker, moved.FutterMarker);
}

// Every value a load gives, for comparing two loads (what they remember for the saves aside).
QString loaded(const MainWindowSettings& s) {
    return QStringList{QString::number(s.windowTop.value_or(-1)),
                       QString::number(s.windowLeft.value_or(-1)),
                       QString::number(s.version.value_or(-1)),
                       s.SrcFile.join(u'|'),
                       s.FFile,
                       s.HFile,
                       s.ConvChar,
                       s.HeadConvChar,
                       s.BackExt,
                       QString::number(s.FutterMarker),
                       QString::number(s.HeaderMarker)}
        .join(u", "_s);
}

QString loaded(const SettingFState& s) {
    return QStringList{QString::number(s.ShowResult),
                       QString::number(s.NotShowResult),
                       QString::number(s.GoByClose),
                       QString::number(s.WaitTime),
                       QString::number(s.CompListChk),
                       QString::number(s.CompListUpDown),
                       QString::number(s.BeforeRunChk),
                       s.BeforeApp,
                       QString::number(s.AfterRunChk),
                       s.AfterApp,
                       s.AppWaitTime,
                       s.WatchApp,
                       s.ObserveWaitTime}
        .join(u", "_s);
}

QString loaded(const ListViewSettings& s) {
    return QStringList{QString::number(s.windowTop.value_or(-1)),
                       QString::number(s.windowLeft.value_or(-1)),
                       QString::number(s.windowWidth),
                       QString::number(s.windowHeight),
                       s.TextEditorLbl,
                       QString::number(s.backColor),
                       s.fontName,
                       QString::number(s.fontColor),
                       QString::number(s.fontSize)}
        .join(u", "_s);
}

// What one start (prune, main window, settings dialog, list viewer) gives: values and messages.
struct StartLoads {
    MainWindowSettings main;
    SettingFState dialog;
    ListViewSettings view;
    QStringList messages;

    explicit StartLoads(LoadWrites writes) {
        for (const StoreResult& result :
             {PruneOldVendorKey(writes), LoadMainSettings(main, programDir, writes),
              loadSettingFGroups(dialog, writes), LoadViewSettings(view, writes)})
            messages.append(result.message());
    }
};

// The older vendor's keys of every group beside current ones, well formed or not: a load whose
// writes are dropped gives what the move gives, and leaves the file as it was.
TEST_F(GroupTest, DiscardedLoadsGiveWhatTheMoveGivesAndWriteNothing) {
    const QByteArray oldFile = hkcu + "ZELT\\Morvex\\File]\n\"ConvChar\"=\"}\"\n\n";
    const QByteArray currentList = hkcu + "QOR\\Morvex\\File]\n\"SrcFileCount\"=dword:2\n"
                                          "\"SrcFileName\"=\"a.up\"\n\"SrcFileName1\"=\"b.up\"\n"
                                          "\"Futter\"=dword:0\n\n";
    const struct {
        const char* what;
        QByteArray file;
    } cases[] = {
        {"no file", {}},
        {"old File key beside a current source list", v5 + oldFile + currentList},
        {"old Result and ListView keys beside current ones",
         v5 + hkcu + "ZELT\\Morvex\\Result]\n\"NotShowResult\"=dword:1\n\"WaitTime\"=dword:2\n\n" +
             hkcu + "QOR\\Morvex\\Result]\n\"GoByClose\"=dword:1\n\n" + hkcu +
             "ZELT\\Morvex\\ListView]\n\"FontName\"=\"" + QString(20, u'\u3042').toUtf8() +
             "\"\n\"BackColor\"=dword:ff\n\n" + hkcu +
             "QOR\\Morvex\\ListView]\n\"WindowTop\"=dword:9\n\"FontSize\"=dword:12\n"},
        {"wrong types in the old keys",
         v5 + hkcu + "ZELT\\Morvex\\System]\n\"WindowTop\"=dword:3\n\"Version\"=\"x\"\n\n" + hkcu +
             "QOR\\Morvex\\System]\n\"WindowLeft\"=dword:4\n\n" + hkcu +
             "ZELT\\Morvex\\Result]\n\"ShowResult\"=dword:0\n\"GoByClose\"=hex:01\n\n" + hkcu +
             "ZELT\\Morvex\\ListView]\n\"WindowWidth\"=dword:99\n\"TextEditor\"=dword:1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(configDir()).removeRecursively();
        if (!c.file.isEmpty())
            writeStore(c.file);
        const StartLoads discarded(LoadWrites::Discarded);
        if (c.file.isEmpty())
            EXPECT_FALSE(QFileInfo::exists(configDir() + u"/morvex"_s));
        else
            EXPECT_EQ(storeBytes(), c.file) << "not a byte written";
        EXPECT_TRUE(discarded.main.base.keys.isEmpty());
        EXPECT_TRUE(discarded.view.base.keys.isEmpty());

        const StartLoads saved(LoadWrites::Saved);
        EXPECT_EQ(discarded.messages, saved.messages);
        EXPECT_EQ(loaded(discarded.main), loaded(saved.main));
        EXPECT_EQ(loaded(discarded.dialog), loaded(saved.dialog));
        EXPECT_EQ(loaded(discarded.view), loaded(saved.view));
    }
}

TEST_F(GroupTest, AFifoInTheStoresPlaceIsRefusedAtOnce) {
    QDir().mkpath(configDir() + u"/morvex"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(storeFile()).constData(), 0600), 0);
    MainWindowSettings state;
    const StoreResult loaded = LoadMainSettings(state, programDir); // must not hang
    ASSERT_FALSE(loaded.ok());
    EXPECT_TRUE(loaded.message().contains(u"通常のファイルではありません"_s))
        << loaded.message().toStdString();
    EXPECT_FALSE(SaveFileGroup(state).ok()) << "and nothing is written in its place";
}
