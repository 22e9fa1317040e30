#include "settings/RegDocument.h"

#include "settings/Sjis.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using morvex::RegDocument;
using morvex::RegParseError;
using morvex::RegValue;

namespace {

const QByteArray v5 = "Windows Registry Editor Version 5.00\n";

RegDocument parsed(const QByteArray& bytes) {
    auto result = RegDocument::parse(bytes);
    if (auto* error = std::get_if<RegParseError>(&result)) {
        ADD_FAILURE() << "unexpected parse error at " << error->line << ":" << error->column << " "
                      << error->reason.toStdString();
        return RegDocument();
    }
    return std::get<RegDocument>(std::move(result));
}

RegParseError parseError(const QByteArray& bytes) {
    auto result = RegDocument::parse(bytes);
    if (auto* error = std::get_if<RegParseError>(&result))
        return *error;
    ADD_FAILURE() << "parsed although it should not: " << bytes.left(200).toStdString();
    return {};
}

// Writes, serializes and parses again; the value read back must be the one written.
RegValue roundTrip(const RegValue& value) {
    RegDocument document;
    document.setValue(u"Software\\QOR\\Morvex\\T"_s, u"V"_s, value);
    const RegDocument again = parsed(document.serialize());
    EXPECT_EQ(again.state(), document.state());
    const RegValue* read = again.value(u"software\\qor\\morvex\\t"_s, u"v"_s);
    return read ? *read : RegValue::fromRaw(99, "missing");
}

} // namespace

TEST(RegDocument, ReadsTheDesignedLayout) {
    const RegDocument d = parsed(v5 + "\n[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\System]\n"
                                      "\"WindowTop\"=dword:00000064\n"
                                      "\"WindowLeft\"=dword:fffffff8\n\n"
                                      "[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\File]\n"
                                      "\"SrcFileCount\"=dword:00000001\n"
                                      "\"SrcFileName\"=\"/home/user/bbs/*.up\"\n");
    EXPECT_EQ(d.value(u"Software\\QOR\\Morvex\\System"_s, u"WindowTop"_s)->number, 100);
    EXPECT_EQ(d.value(u"Software\\QOR\\Morvex\\System"_s, u"WindowLeft"_s)->number, -8);
    EXPECT_EQ(d.value(u"Software\\QOR\\Morvex\\File"_s, u"SrcFileName"_s)->text,
              u"/home/user/bbs/*.up"_s);
    EXPECT_TRUE(d.keyExists(u"Software\\QOR\\Morvex"_s));
    EXPECT_TRUE(d.hasChildKeys(u"Software\\QOR\\Morvex"_s));
    EXPECT_FALSE(d.hasChildKeys(u"Software\\QOR\\Morvex\\System"_s));
    EXPECT_FALSE(d.keyExists(u"Software\\QOR\\Morvex\\Sys"_s));
}

TEST(RegDocument, WritesTheDesignedLayoutLiterally) {
    RegDocument d;
    d.setValue(u"Software\\QOR\\Morvex\\System"_s, u"WindowTop"_s, RegValue::fromNumber(100));
    d.setValue(u"Software\\QOR\\Morvex\\System"_s, u"WindowLeft"_s, RegValue::fromNumber(-8));
    d.setValue(u"Software\\QOR\\Morvex\\File"_s, u"SrcFileName"_s,
               RegValue::fromText(u"C:\\bbs\\\"x\".up"_s));
    EXPECT_EQ(d.serialize(), v5 + "\n[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\System]\n"
                                  "\"WindowTop\"=dword:00000064\n"
                                  "\"WindowLeft\"=dword:fffffff8\n\n"
                                  "[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\File]\n"
                                  "\"SrcFileName\"=\"C:\\\\bbs\\\\\\\"x\\\".up\"\n");
}

TEST(RegDocument, RoundTripsEveryValueType) {
    const QList<RegValue> values = {
        RegValue::fromNumber(0),
        RegValue::fromNumber(-1),
        RegValue::fromNumber(std::numeric_limits<qint32>::min()),
        RegValue::fromNumber(std::numeric_limits<qint32>::max()),
        RegValue::fromText(QString()),
        RegValue::fromText(u"plain"_s),
        RegValue::fromText(u"say \"hi\" \\ back\\"_s),
        RegValue::fromText(u"\\\\server\\share\\"_s),
        RegValue::fromText(u"ＭＳ ゴシック　表示ソ十"_s),
        RegValue::fromText(u"tab\there"_s),
        RegValue::fromText(u"two\nlines"_s),
        RegValue::fromText(u"crlf\r\nend\r"_s),
        RegValue::fromText(QString(u"nul\0inside"_s) + QChar(0)),
        RegValue::fromText(u"bell\x07 del\x7f"_s),
        RegValue::fromText(QString(QChar(0xD800)) + u"lone surrogate"_s),
        RegValue::fromText(u"emoji 😀 and \"quote\"\nbreak"_s),
        RegValue::fromText(QString(300, u'x') + u'\n'),
        RegValue::fromRaw(3, QByteArray("\x00\x01\xff", 3)),
        RegValue::fromRaw(3, QByteArray()),
        RegValue::fromRaw(2, QByteArray("%\0P\0\0\0", 6)),
        RegValue::fromRaw(0xb, QByteArray(8, '\x7f')),
        RegValue::fromRaw(7, QByteArray(200, 'a')),
        RegValue::fromRaw(1, QByteArray("odd", 3)),
    };
    for (const RegValue& value : values) {
        SCOPED_TRACE(value.text.toStdString() + value.bytes.toHex().toStdString());
        EXPECT_EQ(roundTrip(value), value);
    }
}

TEST(RegDocument, TextThatCannotBeQuotedIsStoredAsHexText) {
    RegDocument d;
    d.setValue(u"Software\\T"_s, u"Multi"_s, RegValue::fromText(u"a\nb"_s));
    // UTF-16LE code units with a terminating NUL, as the exporter writes a text value in hex.
    EXPECT_TRUE(d.serialize().contains("\"Multi\"=hex(1):61,00,0a,00,62,00,00,00\n"));
    const RegDocument again = parsed(d.serialize());
    const RegValue* read = again.value(u"Software\\T"_s, u"Multi"_s);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->kind, RegValue::Kind::Text);
    EXPECT_EQ(read->text, u"a\nb"_s);
}

TEST(RegDocument, LongHexWrapsAndReadsBack) {
    RegDocument d;
    d.setValue(u"Software\\T"_s, u"Long"_s, RegValue::fromRaw(3, QByteArray(100, '\x5a')));
    const QByteArray bytes = d.serialize();
    for (const QByteArray& line : bytes.split('\n'))
        EXPECT_LE(line.size(), 80) << line.toStdString();
    EXPECT_TRUE(bytes.contains(",\\\n  5a,"));
    EXPECT_EQ(parsed(bytes).value(u"Software\\T"_s, u"Long"_s)->bytes, QByteArray(100, '\x5a'));
}

TEST(RegDocument, NamesAndKeysMatchWithoutCase) {
    RegDocument d = parsed(v5 + "[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\Result]\n"
                                "\"ShowResult\"=dword:00000001\n"
                                "[hkey_current_user\\SOFTWARE\\qor\\MORVEX\\result]\n"
                                "\"WaitTime\"=dword:00000005\n");
    EXPECT_EQ(d.value(u"software\\QOR\\morvex\\RESULT"_s, u"showresult"_s)->number, 1);
    EXPECT_EQ(d.value(u"Software\\QOR\\Morvex\\Result"_s, u"WAITTIME"_s)->number, 5);
    // Replacing under another spelling keeps the stored spelling of the name.
    EXPECT_TRUE(
        d.setValue(u"SOFTWARE\\QOR\\MORVEX\\RESULT"_s, u"SHOWRESULT"_s, RegValue::fromNumber(0)));
    EXPECT_TRUE(d.serialize().contains("\"ShowResult\"=dword:00000000\n"));
    EXPECT_FALSE(d.serialize().contains("SHOWRESULT"));
    EXPECT_EQ(d.state().size(), 1);
}

TEST(RegDocument, ReadsUtf16AndUtf8WithByteOrderMarks) {
    const QString text = u"Windows Registry Editor Version 5.00\r\n\r\n"
                         u"[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\ListView]\r\n"
                         u"\"FontName\"=\"ＭＳ ゴシック\"\r\n"_s;
    QStringEncoder utf16(QStringConverter::Utf16LE);
    const QByteArray utf16Bytes = QByteArray("\xFF\xFE") + QByteArray(utf16(text));
    const QByteArray utf8Bom = QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    for (const QByteArray& bytes : {utf16Bytes, utf8Bom}) {
        RegDocument d = parsed(bytes);
        EXPECT_EQ(d.value(u"Software\\QOR\\Morvex\\ListView"_s, u"FontName"_s)->text,
                  u"ＭＳ ゴシック"_s);
        // Rewritten as UTF-8 without a byte-order mark, keeping the CR LF line ends.
        d.setValue(u"Software\\QOR\\Morvex\\ListView"_s, u"FontSize"_s, RegValue::fromNumber(9));
        EXPECT_EQ(d.serialize(), text.toUtf8() + "\"FontSize\"=dword:00000009\r\n");
    }
}

TEST(RegDocument, ReadsRegedit4InCodePage932) {
    const QByteArray bytes =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\ZELT\\Morvex\\ListView]\r\n"
        "\"FontName\"=\"" +
        morvex::sjis::encode(u"ＭＳ ゴシック"_s) +
        "\"\r\n"
        "\"Path\"=hex(2):25,54,4d,50,25,5c,83,5c,00\r\n"
        "\"Bin\"=hex:83,5c\r\n";
    RegDocument d = parsed(bytes);
    const QString key = u"Software\\ZELT\\Morvex\\ListView"_s;
    EXPECT_EQ(d.value(key, u"FontName"_s)->text, u"ＭＳ ゴシック"_s);
    // The string types hold code page 932 there; they are kept as UTF-16 for a version 5 file.
    EXPECT_EQ(d.value(key, u"Path"_s)->bytes, QByteArray("%\0T\0M\0P\0%\0\\\0\xbd\x30\0\0", 16));
    EXPECT_EQ(d.value(key, u"Bin"_s)->bytes, QByteArray("\x83\x5c"));
    d.setValue(key, u"FontSize"_s, RegValue::fromNumber(9));
    const QByteArray written = d.serialize();
    EXPECT_TRUE(written.startsWith("Windows Registry Editor Version 5.00\r\n"));
    EXPECT_TRUE(written.contains(u"\"FontName\"=\"ＭＳ ゴシック\"\r\n"_s.toUtf8()));
    EXPECT_TRUE(written.contains("\"Bin\"=hex:83,5c\r\n"));
    EXPECT_EQ(parsed(written).state(), d.state());
}

TEST(RegDocument, DeletionLinesApplyInOrder) {
    const RegDocument d = parsed(v5 + "[HKEY_CURRENT_USER\\Software\\A\\B]\n\"x\"=dword:1\n"
                                      "[HKEY_CURRENT_USER\\Software\\A\\B\\C]\n\"y\"=dword:2\n"
                                      "[-HKEY_CURRENT_USER\\Software\\A\\B]\n"
                                      "[HKEY_CURRENT_USER\\Software\\A\\D]\n\"z\"=\"1\"\n\"z\"=-\n"
                                      "\"w\"=\"2\"\n\"w\"=-\n\"w\"=\"3\"\n");
    EXPECT_FALSE(d.keyExists(u"Software\\A\\B"_s));
    EXPECT_FALSE(d.keyExists(u"Software\\A\\B\\C"_s));
    EXPECT_TRUE(d.keyExists(u"Software\\A\\D"_s));
    EXPECT_EQ(d.value(u"Software\\A\\D"_s, u"z"_s), nullptr);
    EXPECT_EQ(d.value(u"Software\\A\\D"_s, u"w"_s)->text, u"3"_s);
}

TEST(RegDocument, EditsAfterDeletionLinesKeepTheirMeaning) {
    RegDocument d = parsed(v5 + "[HKEY_CURRENT_USER\\Software\\A]\n\"x\"=\"old\"\n"
                                "[-HKEY_CURRENT_USER\\Software\\A]\n"
                                "[HKEY_CURRENT_USER\\Software\\B]\n\"y\"=\"1\"\n\"y\"=-\n");
    EXPECT_TRUE(d.setValue(u"Software\\A"_s, u"x"_s, RegValue::fromText(u"new"_s)));
    EXPECT_TRUE(d.setValue(u"Software\\B"_s, u"y"_s, RegValue::fromText(u"2"_s)));
    const RegDocument again = parsed(d.serialize());
    EXPECT_EQ(again.state(), d.state());
    EXPECT_EQ(again.value(u"Software\\A"_s, u"x"_s)->text, u"new"_s);
    EXPECT_EQ(again.value(u"Software\\B"_s, u"y"_s)->text, u"2"_s);
}

TEST(RegDocument, KeepsCommentsAndOtherTypesInPlace) {
    const QByteArray original = v5 + "; my settings\n\n"
                                     "[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\File]\n"
                                     "; the source list\n"
                                     "\"SrcFileCount\"=dword:00000001\n"
                                     "\"Blob\"=hex:01,02,\\\n  03\n"
                                     "  \"Expand\"=hex(2):25,00,00,00   \n"
                                     "; trailing remark\n\n"
                                     "[HKEY_CURRENT_USER\\Software\\Other]\n"
                                     "@=\"default\"\n";
    RegDocument d = parsed(original);
    d.setValue(u"Software\\QOR\\Morvex\\File"_s, u"SrcFileCount"_s, RegValue::fromNumber(2));
    d.setValue(u"Software\\QOR\\Morvex\\File"_s, u"SrcFileName"_s, RegValue::fromText(u"a"_s));
    d.setValue(u"Software\\QOR\\Morvex\\System"_s, u"Version"_s, RegValue::fromNumber(120));
    EXPECT_EQ(d.serialize(), v5 + "; my settings\n\n"
                                  "[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\File]\n"
                                  "; the source list\n"
                                  "\"SrcFileCount\"=dword:00000002\n"
                                  "\"Blob\"=hex:01,02,\\\n  03\n"
                                  "  \"Expand\"=hex(2):25,00,00,00   \n"
                                  "\"SrcFileName\"=\"a\"\n"
                                  "; trailing remark\n\n"
                                  "[HKEY_CURRENT_USER\\Software\\Other]\n"
                                  "@=\"default\"\n\n"
                                  "[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\System]\n"
                                  "\"Version\"=dword:00000078\n");
    EXPECT_EQ(parsed(original).value(u"Software\\Other"_s, QString())->text, u"default"_s);
}

TEST(RegDocument, UnchangedValuesDoNotModify) {
    RegDocument d = parsed(v5 + "[HKEY_CURRENT_USER\\Software\\T]\n\"n\"=dword:64\n"
                                "\"t\"=hex(1):61,00,00,00\n");
    EXPECT_FALSE(d.setValue(u"Software\\T"_s, u"N"_s, RegValue::fromNumber(100)));
    EXPECT_FALSE(d.setValue(u"Software\\T"_s, u"t"_s, RegValue::fromText(u"a"_s)));
    EXPECT_FALSE(d.createKey(u"Software\\T"_s));
    EXPECT_FALSE(d.createKey(u"Software"_s));
    EXPECT_FALSE(d.modified());
}

TEST(RegDocument, RemovingATreeKeepsItsParent) {
    RegDocument d = parsed(v5 + "[HKEY_CURRENT_USER\\Software\\ZELT\\Morvex\\System]\n"
                                "\"WindowTop\"=dword:1\n"
                                "; about File\n"
                                "[HKEY_CURRENT_USER\\Software\\ZELT\\Morvex\\File\\Deep]\n"
                                "\"x\"=-\n");
    EXPECT_TRUE(d.removeTree(u"Software\\zelt\\morvex\\system"_s));
    EXPECT_TRUE(d.keyExists(u"Software\\ZELT\\Morvex"_s));
    EXPECT_TRUE(d.removeTree(u"Software\\ZELT\\Morvex\\File"_s));
    EXPECT_FALSE(d.removeTree(u"Software\\ZELT\\Morvex\\File"_s));
    EXPECT_TRUE(d.keyExists(u"Software\\ZELT\\Morvex"_s));
    EXPECT_FALSE(d.hasChildKeys(u"Software\\ZELT\\Morvex"_s));
    EXPECT_EQ(d.serialize(), v5 + "; about File\n\n[HKEY_CURRENT_USER\\Software\\ZELT\\Morvex]\n");
    EXPECT_TRUE(d.removeTree(u"Software\\ZELT"_s));
    EXPECT_FALSE(d.keyExists(u"Software\\ZELT"_s));
    EXPECT_TRUE(d.keyExists(u"Software"_s));
}

TEST(RegDocument, StorePaths) {
    EXPECT_EQ(RegDocument::fromStorePath(u"\\Software\\QOR"_s), u"Software\\QOR"_s);
    EXPECT_EQ(RegDocument::fromStorePath(u"\\Software\\QOR\\"_s), u"Software\\QOR"_s);
    EXPECT_EQ(RegDocument::fromStorePath(u"\\"_s), QString());
    EXPECT_FALSE(RegDocument::fromStorePath(u"Software\\QOR"_s));
    EXPECT_FALSE(RegDocument::fromStorePath(u"\\Software\\\\QOR"_s));
    EXPECT_FALSE(RegDocument::fromStorePath(u"\\Soft\nware"_s));
}

struct BadFile {
    const char* what;
    QByteArray bytes;
    int line;
    int column;
    const char* reasonPart;
};

TEST(RegDocument, ParseErrorsNameLineAndColumn) {
    const QByteArray key = "[HKEY_CURRENT_USER\\Software\\T]\n";
    const BadFile cases[] = {
        {"empty file", "", 1, 1, "1 行目"},
        {"no header", "[HKEY_CURRENT_USER\\Software]\n", 1, 1, "1 行目"},
        {"binary garbage", QByteArray("\x00\x01\x02\xff\xfe\x00", 6), 1, 4, "文字コード"},
        {"header with BOM but UTF-16BE", "\xFE\xFF\0W", 1, 1, ""},
        {"value before key", v5 + "\"x\"=\"1\"\n", 2, 1, "キーの行"},
        {"unclosed key", v5 + "[HKEY_CURRENT_USER\\Software\n", 2, 28, "]"},
        {"other hive", v5 + "[HKEY_LOCAL_MACHINE\\Software]\n", 2, 2, "HKEY_CURRENT_USER"},
        {"empty key part", v5 + "[HKEY_CURRENT_USER\\Software\\\\X]\n", 2, 2, "空"},
        {"junk line", v5 + key + "WindowTop=1\n", 3, 1, "解釈できない"},
        {"indented junk", v5 + key + "   # note\n", 3, 4, "解釈できない"},
        {"unclosed name", v5 + key + "\"x=dword:1\n", 3, 11, "\""},
        {"missing equals", v5 + key + "\"x\" =dword:1\n", 3, 4, "="},
        {"bad escape", v5 + key + "\"x\"=\"a\\nb\"\n", 3, 7, "\\"},
        {"unclosed text", v5 + key + "\"x\"=\"abc\n", 3, 9, "\""},
        {"text then junk", v5 + key + "\"x\"=\"abc\" x\n", 3, 11, "余分"},
        {"dword too long", v5 + key + "\"x\"=dword:123456789\n", 3, 11, "dword"},
        {"dword not hex", v5 + key + "\"x\"=dword:zz\n", 3, 11, "dword"},
        {"dword trailing", v5 + key + "\"x\"=dword:12g\n", 3, 13, "余分"},
        {"unknown type", v5 + key + "\"x\"=qword:1\n", 3, 5, "形式"},
        {"bad hex byte", v5 + key + "\"x\"=hex:01,2g\n", 3, 13, ","},
        {"hex trailing comma", v5 + key + "\"x\"=hex:01,\n", 3, 12, ","},
        {"bad hex type", v5 + key + "\"x\"=hex(z):01\n", 3, 8, "hex("},
        {"continuation at end", v5 + key + "\"x\"=hex:01,\\\n", 3, 12, "続き"},
        {"bad continuation", v5 + key + "\"x\"=hex:01,\\\n  zz\n", 4, 3, "16 進数"},
        {"control character", v5 + key + "\"x\"=\"a\x01\"\n", 3, 7, "制御文字"},
        {"lone CR", v5 + key + "\"x\"=\"a\rb\"\n", 3, 7, "制御文字"},
        {"bad UTF-8", v5 + key + "\"x\"=\"\xc3\x28\"\n", 3, 6, "文字コード"},
        {"duplicate name", v5 + key + "\"x\"=dword:1\n\"x\"=dword:2\n", 4, 1, "二つ"},
        {"case duplicate", v5 + key + "\"Count\"=dword:1\n" + key + "\"COUNT\"=\"2\"\n", 5, 1,
         "大文字と小文字"},
        {"value under deleted key", v5 + "[-HKEY_CURRENT_USER\\Software\\T]\n\"x\"=\"1\"\n", 3, 1,
         "削除"},
        {"regedit4 in UTF-8 header", "\xEF\xBB\xBFREGEDIT4\n", 1, 1, "1 行目"},
    };
    for (const BadFile& c : cases) {
        SCOPED_TRACE(c.what);
        const RegParseError error = parseError(c.bytes);
        EXPECT_EQ(error.line, c.line);
        EXPECT_EQ(error.column, c.column);
        EXPECT_TRUE(error.reason.contains(QString::fromUtf8(c.reasonPart)))
            << error.reason.toStdString();
    }
}

TEST(RegDocument, ParseErrorMessageIsJapaneseAndNamesTheFile) {
    const RegParseError error = parseError(v5 + "[HKEY_CURRENT_USER\\Software]\nnonsense\n");
    EXPECT_EQ(
        error.message(u"/home/u/.config/morvex/settings.reg"_s),
        u"設定ファイル \"/home/u/.config/morvex/settings.reg\" を読めません (3 行目、1 文字目): "_s +
            error.reason);
}

TEST(RegDocument, DeepAndWideFilesParseWithoutRecursion) {
    QByteArray deep = "HKEY_CURRENT_USER";
    for (int i = 0; i < 20000; ++i)
        deep += "\\k";
    QByteArray bytes = v5 + "[" + deep + "]\n\"x\"=dword:1\n";
    for (int i = 0; i < 20000; ++i)
        bytes += "[HKEY_CURRENT_USER\\Software\\W\\" + QByteArray::number(i) + "]\n\"v\"=\"" +
                 QByteArray(20, 'a') + "\"\n";
    RegDocument d = parsed(bytes);
    EXPECT_TRUE(d.hasChildKeys(u"k"_s));
    EXPECT_TRUE(d.hasChildKeys(u"Software\\W"_s));
    EXPECT_TRUE(d.removeTree(u"Software\\W"_s));
    EXPECT_FALSE(d.hasChildKeys(u"Software\\W"_s));
    EXPECT_EQ(parsed(d.serialize()).state(), d.state());
}
