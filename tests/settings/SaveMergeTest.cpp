// Saves of a process that loaded its groups while another writer (the user in an editor, another
// Morvex) changed the file: the other writer's values stay, the process's own changes land.
#include "settings/ListViewGroup.h"
#include "settings/MainWindowGroups.h"
#include "settings/SettingFGroups.h"
#include "settings/SettingsStore.h"
#include "tests/support/StoreFiles.h"

#include <functional>

using namespace Qt::StringLiterals;
using morvex::test::StoreTest;
using namespace morvex;

namespace {

const QString fileKey = u"\\Software\\QOR\\Morvex\\File"_s;
const QString programDir = u"/opt/morvex/"_s;

const QByteArray storedFile = "Windows Registry Editor Version 5.00\n"
                              "\n"
                              "[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\System]\n"
                              "\"WindowTop\"=dword:0000000a\n"
                              "\"Version\"=dword:00000078\n"
                              "\n"
                              "[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\File]\n"
                              "\"SrcFileName\"=\"/bbs/a/*.up\"\n"
                              "\"SrcFileCount\"=dword:00000001\n"
                              "\"FutterFileName\"=\"/lists/*.mfl\"\n"
                              "\"HeaderFileName\"=\"/lists/*.mhl\"\n"
                              "\"Futter\"=dword:00000001\n"
                              "\"Header\"=dword:00000001\n"
                              "\"ConvChar\"=\")\"\n"
                              "\"HeadConvChar\"=\"]\"\n"
                              "\"BackUpExt\"=\".bak\"\n";

// A value as the tests compare it: its text, its number in decimal, or nothing when absent.
std::optional<QString> stored(const QString& key, const QString& name) {
    if (const auto number = test::storedNumber(key, name))
        return QString::number(*number);
    return test::storedText(key, name);
}

// Readable in a failure message.
std::string shown(const std::optional<QString>& value) {
    return value ? '"' + value->toStdString() + '"' : std::string("(absent)");
}

class SaveMergeTest : public StoreTest {
protected:
    // What the user's editor does to the file.
    void editFile(const std::function<void(QByteArray&)>& edit) {
        QByteArray bytes = storeBytes();
        edit(bytes);
        writeStore(bytes);
    }
};

void replaceLine(QByteArray& bytes, const QByteArray& from, const QByteArray& to) {
    ASSERT_TRUE(bytes.contains(from)) << from.toStdString();
    bytes.replace(from, to);
}

struct MergeCase {
    const char* what;
    std::function<void(QByteArray&)> otherWriter;
    std::function<void(MainWindowSettings&)> ownChange;
    std::vector<std::pair<QString, std::optional<QString>>> expected; ///< File values after
};

TEST_F(SaveMergeTest, MainWindowSaveKeepsWhatOthersWroteAndWritesItsOwnChanges) {
    const QByteArray addSource = "\"SrcFileName1\"=\"/bbs/b/*.up\"\n";
    const MergeCase cases[] = {
        {"a source added and the footer pattern changed by hand; nothing changed here",
         [&](QByteArray& f) {
             replaceLine(f, "\"SrcFileCount\"=dword:00000001\n",
                         "\"SrcFileCount\"=dword:00000002\n" + addSource);
             replaceLine(f, "/lists/*.mfl", "/mine/*.mfl");
         },
         [](MainWindowSettings&) {},
         {{u"SrcFileCount"_s, u"2"_s},
          {u"SrcFileName"_s, u"/bbs/a/*.up"_s},
          {u"SrcFileName1"_s, u"/bbs/b/*.up"_s},
          {u"FutterFileName"_s, u"/mine/*.mfl"_s},
          {u"HeaderFileName"_s, u"/lists/*.mhl"_s},
          // Untouched by the other writer: the designed rule still flips it.
          {u"Futter"_s, u"0"_s}}},
        {"own header pattern lands beside their footer pattern",
         [](QByteArray& f) { replaceLine(f, "/lists/*.mfl", "/theirs/*.mfl"); },
         [](MainWindowSettings& s) { s.HFile = u"/own/*.mhl"_s; },
         {{u"FutterFileName"_s, u"/theirs/*.mfl"_s}, {u"HeaderFileName"_s, u"/own/*.mhl"_s}}},
        {"both changed the footer pattern: the saving process's change lands",
         [](QByteArray& f) { replaceLine(f, "/lists/*.mfl", "/theirs/*.mfl"); },
         [](MainWindowSettings& s) { s.FFile = u"/own/*.mfl"_s; },
         {{u"FutterFileName"_s, u"/own/*.mfl"_s}}},
        {"a value set back to what was loaded is no change",
         [](QByteArray& f) { replaceLine(f, "/lists/*.mfl", "/theirs/*.mfl"); },
         [](MainWindowSettings& s) {
             s.FFile = u"/for/a/moment/*.mfl"_s;
             s.FFile = u"/lists/*.mfl"_s;
         },
         {{u"FutterFileName"_s, u"/theirs/*.mfl"_s}}},
        {"a value deleted by hand stays deleted",
         [](QByteArray& f) { replaceLine(f, "\"BackUpExt\"=\".bak\"\n", ""); },
         [](MainWindowSettings&) {},
         {{u"BackUpExt"_s, std::nullopt}, {u"ConvChar"_s, u")"_s}}},
        {"a value changed here and deleted by hand is written",
         [](QByteArray& f) { replaceLine(f, "\"BackUpExt\"=\".bak\"\n", ""); },
         [](MainWindowSettings& s) { s.BackExt = u".old"_s; },
         {{u"BackUpExt"_s, u".old"_s}}},
        {"the source list changed here lands whole, count and all",
         [&](QByteArray& f) {
             replaceLine(f, "\"SrcFileCount\"=dword:00000001\n",
                         "\"SrcFileCount\"=dword:00000002\n" + addSource);
         },
         [](MainWindowSettings& s) {
             s.SrcFile = {u"/bbs/a/*.up"_s, u"/c/*.up"_s, u"/d/*.up"_s};
         },
         {{u"SrcFileCount"_s, u"3"_s},
          {u"SrcFileName1"_s, u"/c/*.up"_s},
          {u"SrcFileName2"_s, u"/d/*.up"_s}}},
        {"a source renamed by hand stays, with the list around it",
         [](QByteArray& f) { replaceLine(f, "/bbs/a/*.up", "/bbs/renamed/*.up"); },
         [](MainWindowSettings& s) { s.ConvChar = u"#"_s; },
         {{u"SrcFileCount"_s, u"1"_s},
          {u"SrcFileName"_s, u"/bbs/renamed/*.up"_s},
          {u"ConvChar"_s, u"#"_s}}},
        {"a marker value set by hand is not flipped over it",
         [](QByteArray& f) {
             replaceLine(f, "\"Futter\"=dword:00000001", "\"Futter\"=dword:00000005");
         },
         [](MainWindowSettings&) {},
         {{u"Futter"_s, u"5"_s}, {u"Header"_s, u"0"_s}}},
    };
    for (const MergeCase& c : cases) {
        SCOPED_TRACE(c.what);
        writeStore(storedFile);
        MainWindowSettings state;
        ASSERT_TRUE(LoadMainSettings(state, programDir).ok());
        editFile(c.otherWriter);
        c.ownChange(state);
        ASSERT_TRUE(SaveSystemGroup(state).ok());
        ASSERT_TRUE(SaveFileGroup(state).ok());
        for (const auto& [name, value] : c.expected)
            EXPECT_EQ(shown(stored(fileKey, name)), shown(value)) << name.toStdString();
    }
}

TEST_F(SaveMergeTest, AKeyDeletedByHandIsNotMadeAgain) {
    writeStore(storedFile);
    MainWindowSettings state;
    ASSERT_TRUE(LoadMainSettings(state, programDir).ok());
    editFile([](QByteArray& f) {
        f.truncate(f.indexOf("\n[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\File]"));
    });
    ASSERT_TRUE(SaveSystemGroup(state).ok());
    ASSERT_TRUE(SaveFileGroup(state).ok());
    EXPECT_FALSE(storeBytes().contains("Morvex\\File]"));
    EXPECT_EQ(stored(u"\\Software\\QOR\\Morvex\\System"_s, u"WindowTop"_s), u"10"_s);
}

TEST_F(SaveMergeTest, FirstSaveWritesTheWholeGroupsAsDesigned) {
    MainWindowSettings state;
    ASSERT_TRUE(LoadMainSettings(state, programDir).ok());
    ASSERT_TRUE(SaveSystemGroup(state).ok());
    ASSERT_TRUE(SaveFileGroup(state).ok());
    EXPECT_EQ(stored(fileKey, u"SrcFileCount"_s), u"0"_s);
    EXPECT_EQ(stored(fileKey, u"FutterFileName"_s), u"/opt/morvex/*.mfl"_s);
    EXPECT_EQ(stored(fileKey, u"BackUpExt"_s), u".bak"_s);
    EXPECT_EQ(stored(u"\\Software\\QOR\\Morvex\\System"_s, u"Version"_s), u"120"_s);
}

TEST_F(SaveMergeTest, DialogAndViewerSavesKeepWhatOthersWrote) {
    writeStore("Windows Registry Editor Version 5.00\n\n"
               "[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\AppRun]\n"
               "\"BeforeApp\"=\"fetch\"\n"
               "\n[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\ListView]\n"
               "\"TextEditor\"=\"notepad\"\n");
    SettingFState dialog;
    ASSERT_TRUE(loadSettingFGroups(dialog).ok());
    ListViewSettings view;
    ASSERT_TRUE(LoadViewSettings(view).ok());
    editFile([](QByteArray& f) {
        replaceLine(f, "\"fetch\"", "\"fetch --all\"");
        replaceLine(f, "\"notepad\"", "\"emacsclient -n\"");
    });
    dialog.setWaitTime(3);
    view.fontSize = 12;
    ASSERT_TRUE(SaveResultGroup(dialog).ok());
    ASSERT_TRUE(SaveCompListGroup(dialog).ok());
    ASSERT_TRUE(SaveAppRunGroup(dialog).ok());
    ASSERT_TRUE(SaveWatchGroup(dialog).ok());
    ASSERT_TRUE(SaveViewSettings(view).ok());
    const QString root = u"\\Software\\QOR\\Morvex\\"_s;
    EXPECT_EQ(stored(root + u"AppRun"_s, u"BeforeApp"_s), u"fetch --all"_s);
    EXPECT_EQ(stored(root + u"Result"_s, u"WaitTime"_s), u"3"_s);
    EXPECT_EQ(stored(root + u"ListView"_s, u"TextEditor"_s), u"emacsclient -n"_s);
    EXPECT_EQ(stored(root + u"ListView"_s, u"FontSize"_s), u"12"_s);
    // Absent at the load and untouched since: written as designed.
    EXPECT_EQ(stored(root + u"Watch"_s, u"WaitTime"_s), u"2000"_s);
}

// The draw choice shares the File group with the main window: the dialog writes it only when
// chosen there, and never over another writer's choice or the group's other values.
TEST_F(SaveMergeTest, TheDrawChoiceIsWrittenOnlyWhenChangedHere) {
    const struct Case {
        const char* what;
        QByteArray before; ///< the NoRepeat line at the load, or nothing
        QByteArray theirs; ///< what another writer makes of it after the load
        std::optional<bool> own;
        std::optional<QString> expected;
    } cases[] = {
        {"turned on by another writer", "", "\"NoRepeat\"=dword:00000001\n", std::nullopt, u"1"_s},
        {"turned off by another writer", "\"NoRepeat\"=dword:00000001\n",
         "\"NoRepeat\"=dword:00000000\n", std::nullopt, u"0"_s},
        {"deleted by hand", "\"NoRepeat\"=dword:00000001\n", "", std::nullopt, std::nullopt},
        {"never chosen", "", "", false, std::nullopt},
        {"turned on here", "", "", true, u"1"_s},
        {"turned off here over theirs", "\"NoRepeat\"=dword:00000001\n",
         "\"NoRepeat\"=dword:00000005\n", false, u"0"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeStore(storedFile + c.before);
        SettingFState dialog;
        ASSERT_TRUE(loadSettingFGroups(dialog).ok());
        editFile([&](QByteArray& f) {
            if (!c.before.isEmpty())
                replaceLine(f, c.before, "");
            f.append(c.theirs);
            replaceLine(f, "\"ConvChar\"=\")\"", "\"ConvChar\"=\"#\"");
        });
        if (c.own)
            dialog.NoRepeatChk = *c.own;
        ASSERT_TRUE(saveNoRepeat(dialog).ok());
        EXPECT_EQ(shown(stored(fileKey, u"NoRepeat"_s)), shown(c.expected));
        EXPECT_EQ(stored(fileKey, u"ConvChar"_s), u"#"_s);
    }
}

} // namespace
