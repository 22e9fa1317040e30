#include "settings/SettingsStore.h"

#include "settings/RegDocument.h"
#include "tests/support/StoreFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using morvex::SettingsStore;
using morvex::StoreError;
using morvex::test::StoreTest;

namespace {

const QString systemKey = u"\\Software\\QOR\\Morvex\\System"_s;
const QByteArray v5 = "Windows Registry Editor Version 5.00\n";

QDateTime modified(const QString& path) {
    return QFileInfo(path).lastModified();
}

} // namespace

TEST_F(StoreTest, FirstRunFindsNothingAndCreatesNothing) {
    SettingsStore store;
    EXPECT_FALSE(store.StoreOpen(systemKey, false));
    EXPECT_FALSE(store.ValuePresent(u"WindowTop"_s));
    EXPECT_TRUE(store.StoreOpen(u"\\Software"_s, false));
    EXPECT_TRUE(store.StoreClose().ok());
    EXPECT_FALSE(store.RemoveKeyTree(systemKey));
    EXPECT_FALSE(QFileInfo::exists(configDir() + u"/morvex"_s));
    EXPECT_FALSE(store.fileError());
}

TEST_F(StoreTest, WritesReadBackWithTheirTypes) {
    {
        SettingsStore store;
        ASSERT_TRUE(store.StoreOpen(systemKey, true));
        EXPECT_TRUE(store.WriteNumber(u"WindowTop"_s, 100).ok());
        EXPECT_TRUE(store.WriteNumber(u"WindowLeft"_s, -8).ok());
        EXPECT_TRUE(store.WriteText(u"Note"_s, u"two\nlines \"q\" \\ ＭＳ"_s).ok());
        // The handle sees its own pending writes before they are committed.
        EXPECT_EQ(store.ReadNumber(u"windowtop"_s).value(), 100);
        EXPECT_FALSE(QFileInfo::exists(storeFile()));
        EXPECT_TRUE(store.StoreClose().ok());
    }
    EXPECT_TRUE(storeBytes().startsWith(v5 +
                                        "\n[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\System]\n"
                                        "\"WindowTop\"=dword:00000064\n"
                                        "\"WindowLeft\"=dword:fffffff8\n"
                                        "\"Note\"=hex(1):74,00,77,00,6f,00,0a,00,6c,00"));
    SettingsStore store;
    ASSERT_TRUE(store.StoreOpen(u"\\SOFTWARE\\qor\\MORVEX\\system"_s, false));
    EXPECT_EQ(store.ReadNumber(u"WindowLeft"_s).value(), -8);
    EXPECT_EQ(store.ReadText(u"NOTE"_s).value(), u"two\nlines \"q\" \\ ＭＳ"_s);
    EXPECT_EQ(store.ReadText(u"Absent"_s).value(), QString());
    EXPECT_FALSE(store.HasChildKeys());
    ASSERT_TRUE(store.StoreOpen(u"\\Software\\QOR"_s, false));
    EXPECT_TRUE(store.HasChildKeys());
}

TEST_F(StoreTest, ReadFailuresCarryTheDesignedMessages) {
    writeStore(v5 + "[HKEY_CURRENT_USER\\Software\\T]\n\"Num\"=dword:00000001\n\"Txt\"=\"x\"\n"
                    "\"Bin\"=hex:00\n\"Exp\"=hex(2):41,00,00,00\n\"Odd\"=hex(1):41,00,42\n"
                    "\"Dw\"=hex(4):01,00,00,00\n\"Short\"=hex(4):01\n");
    SettingsStore store;
    ASSERT_TRUE(store.StoreOpen(u"\\Software\\T"_s, false));
    struct Case {
        QString name;
        bool number;
        QString message;
    };
    const Case cases[] = {
        {u"Num"_s, false, u"'Num' のﾃﾞｰﾀ型が不正です"_s},
        {u"Txt"_s, true, u"'Txt' のﾃﾞｰﾀ型が不正です"_s},
        {u"Bin"_s, true, u"'Bin' のﾃﾞｰﾀ型が不正です"_s},
        {u"Exp"_s, false, u"'Exp' のﾃﾞｰﾀ型が不正です"_s},
        {u"Odd"_s, false, u"'Odd' の取得に失敗しました"_s},
        {u"Short"_s, true, u"'Short' の取得に失敗しました"_s},
        {u"Absent"_s, true, u"'Absent' の取得に失敗しました"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_TRUE(store.ValuePresent(c.name) || c.name == u"Absent"_s);
        const QString message =
            c.number ? store.ReadNumber(c.name).message() : store.ReadText(c.name).message();
        EXPECT_EQ(message, c.message);
    }
    EXPECT_EQ(store.ReadNumber(u"Dw"_s).value(), 1);
    // Reading does not write: the file keeps its other types untouched.
    EXPECT_TRUE(store.StoreClose().ok());
    EXPECT_TRUE(storeBytes().contains("\"Odd\"=hex(1):41,00,42\n"));
}

TEST_F(StoreTest, WritesWithoutAnOpenKeyFail) {
    SettingsStore store;
    EXPECT_EQ(store.WriteNumber(u"WindowTop"_s, 1).message(),
              u"'WindowTop' の設定に失敗しました"_s);
    ASSERT_TRUE(store.StoreOpen(systemKey, true));
    EXPECT_EQ(store.WriteText(u"bad\nname"_s, u"x"_s).error().kind(),
              StoreError::Kind::WriteFailed);
    EXPECT_FALSE(store.StoreOpen(u"no backslash"_s, true));
    EXPECT_EQ(store.WriteText(u"Version"_s, u"x"_s).error().kind(), StoreError::Kind::WriteFailed);
}

TEST_F(StoreTest, FileAndFolderAreOwnerOnly) {
    SettingsStore store;
    ASSERT_TRUE(store.StoreOpen(systemKey, true));
    ASSERT_TRUE(store.WriteNumber(u"Version"_s, 120).ok());
    ASSERT_TRUE(store.StoreClose().ok());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(storeFile()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFile::encodeName(configDir() + u"/morvex"_s).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    // A file someone opened up is closed again at the next rewrite.
    ::chmod(QFile::encodeName(storeFile()).constData(), 0644);
    ASSERT_TRUE(store.StoreOpen(systemKey, true));
    ASSERT_TRUE(store.WriteNumber(u"Version"_s, 121).ok());
    ASSERT_TRUE(store.StoreClose().ok());
    ASSERT_EQ(::stat(QFile::encodeName(storeFile()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(StoreTest, CommitThatChangesNothingLeavesTheFileUntouched) {
    // UTF-16 with CR LF: any rewrite would change the bytes.
    const QString text = u"Windows Registry Editor Version 5.00\r\n\r\n"
                         u"[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\System]\r\n"
                         u"\"Version\"=dword:78\r\n; note\r\n"_s;
    QByteArray utf16("\xFF\xFE");
    for (QChar c : text)
        utf16.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    writeStore(utf16);
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
    {
        QFile file(storeFile());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    SettingsStore store;
    ASSERT_TRUE(store.StoreOpen(systemKey, true));
    ASSERT_TRUE(store.WriteNumber(u"VERSION"_s, 120).ok());
    ASSERT_TRUE(store.StoreClose().ok());
    EXPECT_FALSE(store.RemoveKeyTree(u"\\Software\\QOR\\Morvex\\Absent"_s));
    EXPECT_EQ(storeBytes(), utf16);
    EXPECT_EQ(modified(storeFile()).toSecsSinceEpoch(), old.toSecsSinceEpoch());
}

TEST_F(StoreTest, UnparsableFileIsReportedAndNeverOverwritten) {
    const QByteArray broken = v5 + "[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\System]\n"
                                   "\"WindowTop\"=dword:00000064\n\"WindowLeft\"=dwrod:5\n";
    writeStore(broken);
    SettingsStore store;
    EXPECT_FALSE(store.StoreOpen(systemKey, false));
    ASSERT_TRUE(store.fileError());
    const QString message = store.fileError()->message();
    EXPECT_TRUE(
        message.startsWith(u"設定ファイル \""_s + storeFile() + u"\" を読めません (4 行目、"_s))
        << message.toStdString();
    EXPECT_FALSE(store.StoreOpen(systemKey, true));
    const auto refused = store.WriteNumber(u"WindowTop"_s, 1);
    EXPECT_EQ(refused.error().kind(), StoreError::Kind::WriteFailed);
    EXPECT_TRUE(refused.message().startsWith(u"'WindowTop' の設定に失敗しました\n設定ファイル"_s));
    EXPECT_FALSE(store.RemoveKeyTree(systemKey));
    EXPECT_EQ(storeBytes(), broken);
}

TEST_F(StoreTest, FileBrokenBetweenOpenAndCommitIsKept) {
    SettingsStore store;
    ASSERT_TRUE(store.StoreOpen(systemKey, true));
    ASSERT_TRUE(store.WriteNumber(u"WindowTop"_s, 1).ok());
    writeStore("garbage\n");
    const auto closed = store.StoreClose();
    ASSERT_FALSE(closed.ok());
    EXPECT_TRUE(closed.message().startsWith(u"'WindowTop' の設定に失敗しました\n"_s));
    EXPECT_EQ(storeBytes(), "garbage\n");
}

TEST_F(StoreTest, HandlesCommitOnlyTheirOwnChanges) {
    SettingsStore first;
    SettingsStore second;
    ASSERT_TRUE(first.StoreOpen(systemKey, true));
    ASSERT_TRUE(first.WriteNumber(u"WindowTop"_s, 1).ok());
    ASSERT_TRUE(second.StoreOpen(u"\\Software\\QOR\\Morvex\\Result"_s, true));
    ASSERT_TRUE(second.WriteNumber(u"WaitTime"_s, 7).ok());
    ASSERT_TRUE(second.StoreClose().ok());
    ASSERT_TRUE(first.StoreClose().ok());
    SettingsStore reader;
    ASSERT_TRUE(reader.StoreOpen(u"\\Software\\QOR\\Morvex\\Result"_s, false));
    EXPECT_EQ(reader.ReadNumber(u"WaitTime"_s).value(), 7);
    ASSERT_TRUE(reader.StoreOpen(systemKey, false));
    EXPECT_EQ(reader.ReadNumber(u"WindowTop"_s).value(), 1);
}

TEST_F(StoreTest, AConditionalWriteLandsOnlyWhereTheFileStillHoldsWhatWasFound) {
    using morvex::RegValue;
    const QByteArray key = "[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\System]\n";
    const QByteArray other = "\"Other\"=dword:00000001\n";
    const QByteArray a = "\"Name\"=\"a\"\n";
    const QByteArray mine = "\"Name\"=\"mine\"\n";
    const QByteArray theirs = "\"Name\"=\"theirs\"\n";
    const QByteArray number = "\"Name\"=dword:00000001\n";
    const struct {
        const char* what;
        QByteArray atOpen;   // the key's values when the handle reads the file
        QByteArray atCommit; // what another writer left there before the commit
        std::optional<RegValue> found;
        QByteArray expected; // the key's values after the commit
    } cases[] = {
        {"unchanged", a + other, a + other, RegValue::fromText(u"a"_s), mine + other},
        {"changed meanwhile", a + other, theirs + other, RegValue::fromText(u"a"_s),
         theirs + other},
        {"still absent", other, other, std::nullopt, other + mine},
        {"added meanwhile", other, theirs + other, std::nullopt, theirs + other},
        {"deleted meanwhile", a + other, other, RegValue::fromText(u"a"_s), other},
        {"another type meanwhile", "\"Name\"=\"1\"\n" + other, number + other,
         RegValue::fromText(u"1"_s), number + other},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeStore(v5 + key + c.atOpen);
        SettingsStore store;
        ASSERT_TRUE(store.StoreOpen(systemKey, true));
        ASSERT_TRUE(store.writeIfStill(u"Name"_s, RegValue::fromText(u"mine"_s), c.found).ok());
        writeStore(v5 + key + c.atCommit);
        ASSERT_TRUE(store.StoreClose().ok());
        EXPECT_EQ(storeBytes().toStdString(), (v5 + key + c.expected).toStdString());
    }
}

TEST_F(StoreTest, RemoveKeyTreeDeletesBelowAndKeepsTheParent) {
    {
        SettingsStore store;
        for (const QString& key :
             {u"\\Software\\ZELT\\Morvex\\System"_s, u"\\Software\\ZELT\\Morvex\\File\\Deep"_s}) {
            ASSERT_TRUE(store.StoreOpen(key, true));
            ASSERT_TRUE(store.WriteNumber(u"x"_s, 1).ok());
        }
        ASSERT_TRUE(store.StoreClose().ok());
    }
    SettingsStore store;
    ASSERT_TRUE(store.StoreOpen(u"\\Software\\ZELT\\Morvex\\System"_s, false));
    EXPECT_TRUE(store.RemoveKeyTree(u"\\software\\zelt\\morvex\\system"_s));
    // The open key is gone: it reads as empty and refuses writes.
    EXPECT_FALSE(store.ValuePresent(u"x"_s));
    EXPECT_FALSE(store.WriteNumber(u"x"_s, 2).ok());
    EXPECT_TRUE(store.StoreClose().ok());
    EXPECT_TRUE(store.RemoveKeyTree(u"\\Software\\ZELT\\Morvex\\File"_s));
    ASSERT_TRUE(store.StoreOpen(u"\\Software\\ZELT\\Morvex"_s, false));
    EXPECT_FALSE(store.HasChildKeys());
    EXPECT_FALSE(store.RemoveKeyTree(u"\\"_s));
    EXPECT_FALSE(storeBytes().contains("System"));
}

TEST_F(StoreTest, HugeFilesAreRefusedWithoutCrashing) {
    QByteArray huge = v5 + "[HKEY_CURRENT_USER\\Software\\T]\n\"x\"=hex:";
    huge += QByteArray(17 * 1024 * 1024, '0');
    writeStore(huge);
    SettingsStore store;
    EXPECT_FALSE(store.StoreOpen(u"\\Software\\T"_s, false));
    ASSERT_TRUE(store.fileError());
    EXPECT_TRUE(store.fileError()->message().contains(u"大きすぎます"_s));
}

TEST_F(StoreTest, StoreFileInAnUnwritablePlaceFailsWithTheWriteMessage) {
    writeStore(v5);
    ASSERT_TRUE(QFile::remove(storeFile()));
    ASSERT_TRUE(QDir().mkpath(storeFile())); // a folder where the file should be
    SettingsStore store;
    EXPECT_FALSE(store.StoreOpen(systemKey, true));
    EXPECT_FALSE(store.WriteNumber(u"WindowTop"_s, 1).ok());
}

TEST_F(StoreTest, NoCommitHandlesShareTheirChangesAndNeverTouchTheFile) {
    const QByteArray existing = v5 + "\n[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\System]\n"
                                     "\"WindowTop\"=dword:00000005\n";
    for (const bool fileExists : {false, true}) {
        SCOPED_TRACE(fileExists ? "file exists" : "first run");
        QDir(configDir()).removeRecursively();
        if (fileExists)
            writeStore(existing);
        const auto copy = SettingsStore::copyInMemory();
        {
            SettingsStore writer(copy);
            ASSERT_TRUE(writer.StoreOpen(systemKey, true));
            EXPECT_TRUE(writer.WriteNumber(u"WindowLeft"_s, 7).ok());
            EXPECT_TRUE(writer.StoreClose().ok());
            ASSERT_TRUE(writer.StoreOpen(u"\\Software\\ZELT\\Morvex\\File"_s, true));
            EXPECT_TRUE(writer.WriteText(u"ConvChar"_s, u"}"_s).ok());
            EXPECT_TRUE(writer.StoreClose().ok());
            EXPECT_TRUE(writer.RemoveKeyTree(u"\\Software\\ZELT\\Morvex\\File"_s));
        }
        SettingsStore reader(copy);
        ASSERT_TRUE(reader.StoreOpen(systemKey, false));
        EXPECT_EQ(reader.ReadNumber(u"WindowLeft"_s).value(), 7) << "a commit of another handle";
        EXPECT_EQ(reader.ValuePresent(u"WindowTop"_s), fileExists) << "the file as it was read";
        EXPECT_FALSE(reader.StoreOpen(u"\\Software\\ZELT\\Morvex\\File"_s, false));
        EXPECT_TRUE(reader.StoreOpen(u"\\Software\\ZELT\\Morvex"_s, false));

        SettingsStore onFile;
        EXPECT_EQ(onFile.StoreOpen(systemKey, false), fileExists);
        EXPECT_FALSE(onFile.ValuePresent(u"WindowLeft"_s));
        if (fileExists) {
            EXPECT_EQ(storeBytes(), existing);
            EXPECT_EQ(QDir(configDir() + u"/morvex"_s).entryList(QDir::Files | QDir::Hidden),
                      QStringList{u"settings.reg"_s})
                << "no lock file, no temporary file";
        } else {
            EXPECT_FALSE(QFileInfo::exists(configDir() + u"/morvex"_s));
        }
    }
}

TEST_F(StoreTest, NoCommitHandlesRefuseAnUnusableFileAsTheFileHandlesDo) {
    const QByteArray broken = v5 + "[HKEY_CURRENT_USER\\Software\\T]\n\"oops\n";
    writeStore(broken);
    SettingsStore onFile;
    EXPECT_FALSE(onFile.StoreOpen(systemKey, true));
    ASSERT_TRUE(onFile.fileError());
    SettingsStore inMemory(SettingsStore::copyInMemory());
    EXPECT_FALSE(inMemory.StoreOpen(systemKey, true));
    ASSERT_TRUE(inMemory.fileError());
    EXPECT_EQ(inMemory.fileError()->message(), onFile.fileError()->message());
    EXPECT_EQ(inMemory.WriteNumber(u"WindowTop"_s, 1).message(),
              onFile.WriteNumber(u"WindowTop"_s, 1).message());
    EXPECT_EQ(storeBytes(), broken);
}
