// The marker and backup-extension fields hold at most as many Shift-JIS bytes as the pass takes,
// however the text arrives.
#include "tests/app/MainWindowTestSupport.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

namespace morvex::test {
namespace {
using namespace Qt::StringLiterals;

void typeText(QLineEdit* edit, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
    }
}

void commitText(QLineEdit* edit, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(edit, &event);
}

void pasteText(QLineEdit* edit, const QString& text) {
    QApplication::clipboard()->setText(text);
    edit->paste();
}

// Each way text reaches a field, starting from `start` with the cursor at its end.
const std::pair<const char*, void (*)(QLineEdit*, const QString&)> kWays[] = {
    {"typed", typeText}, {"committed", commitText}, {"pasted", pasteText}};

QString afterInput(QLineEdit* edit, void (*way)(QLineEdit*, const QString&), const QString& start,
                   const QString& input) {
    edit->setText(start);
    edit->end(false);
    way(edit, input);
    return edit->text();
}

TEST_F(MainWindowTest, MarkersTakeOneShiftJisByteHoweverTheTextArrives) {
    TMorvexF& w = create({u"/x"_s});
    for (QLineEdit* marker : {ui(w).ConvChar, ui(w).HeadConvChar}) {
        for (const auto& [name, way] : kWays) {
            SCOPED_TRACE(marker->objectName().toStdString() + " " + name);
            // Two bytes: a footer marker "あ" would split every line starting with 0x82.
            EXPECT_EQ(afterInput(marker, way, {}, u"あ"_s), QString());
            EXPECT_EQ(afterInput(marker, way, {}, u"Ａ"_s), QString());
            // No Shift-JIS form at all.
            EXPECT_EQ(afterInput(marker, way, {}, u"é"_s), QString());
            // Half-width katakana and ASCII are one byte each.
            EXPECT_EQ(afterInput(marker, way, {}, u"ｱ"_s), u"ｱ"_s);
            EXPECT_EQ(afterInput(marker, way, {}, u"#"_s), u"#"_s);
        }
    }
}

TEST_F(MainWindowTest, BackupExtensionTakesFourShiftJisBytesAndNoSlash) {
    TMorvexF& w = create({u"/x"_s});
    for (const auto& [name, way] : kWays) {
        SCOPED_TRACE(name);
        EXPECT_EQ(afterInput(ui(w).BackExt, way, u".あ"_s, u"い"_s), u".あ"_s); // 5 bytes
        EXPECT_EQ(afterInput(ui(w).BackExt, way, u".ba"_s, u"あ"_s), u".ba"_s);
        EXPECT_EQ(afterInput(ui(w).BackExt, way, u".b"_s, u"あ"_s), u".bあ"_s);
        EXPECT_EQ(afterInput(ui(w).BackExt, way, {}, u".あ"_s), u".あ"_s);
        EXPECT_EQ(afterInput(ui(w).BackExt, way, u".あ"_s, u"k"_s), u".あk"_s);
        EXPECT_EQ(afterInput(ui(w).BackExt, way, u".ｱｲ"_s, u"ｳ"_s), u".ｱｲｳ"_s);
        EXPECT_EQ(afterInput(ui(w).BackExt, way, u".b"_s, u"/"_s), u".b"_s);
    }
}

TEST_F(MainWindowTest, AStoredValueBeyondTheLimitIsShownAndCanOnlyBeShortened) {
    writeStore({{u"File"_s,
                 {textValue(u"BackUpExt"_s, u".あいう"_s), textValue(u"ConvChar"_s, u"あ"_s)}}});
    TMorvexF& w = create({u"/x"_s});
    ASSERT_EQ(ui(w).BackExt->text(), u".あいう"_s);
    EXPECT_FALSE(ui(w).BackExt->hasAcceptableInput());
    ui(w).BackExt->end(false);
    QTest::keyClick(ui(w).BackExt, Qt::Key_Backspace);
    EXPECT_EQ(ui(w).BackExt->text(), u".あい"_s);
    commitText(ui(w).BackExt, u"x"_s);
    EXPECT_EQ(ui(w).BackExt->text(), u".あい"_s);
    QTest::keyClick(ui(w).BackExt, Qt::Key_Backspace);
    EXPECT_EQ(ui(w).BackExt->text(), u".あ"_s);
    EXPECT_TRUE(ui(w).BackExt->hasAcceptableInput());
    commitText(ui(w).BackExt, u"い"_s);
    EXPECT_EQ(ui(w).BackExt->text(), u".あ"_s);

    ASSERT_EQ(ui(w).ConvChar->text(), u"あ"_s);
    ui(w).ConvChar->end(false);
    QTest::keyClick(ui(w).ConvChar, Qt::Key_Backspace);
    EXPECT_EQ(ui(w).ConvChar->text(), QString());
}

} // namespace
} // namespace morvex::test
