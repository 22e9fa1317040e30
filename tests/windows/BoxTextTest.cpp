// A message box's text: a path in it breaks only after one of its "/", at any width.
#include "gui/DesignedWindow.h"
#include "gui/Dialogs.h"

#include <QFontMetrics>
#include <QTextLayout>
#include <gtest/gtest.h>

namespace {
using namespace Qt::StringLiterals;

// Where each line after the first starts, laying `text` out `width` pixels wide as a label does.
QList<int> lineStarts(const QString& text, int width) {
    QTextLayout layout(text, morvex::designedDialogFont());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QList<int> starts;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (line.textStart() > 0)
            starts << line.textStart();
    }
    layout.endLayout();
    return starts;
}

TEST(BoxText, APathBreaksOnlyAfterASlashAndReadsAsBefore) {
    const QString path = u"/home/user/.local/share/morvex-watch/サンプル集/header-list.mhl"_s;
    const QString messages[] = {
        u"リストファイル %1 を開くアプリケーションが見つかりませんでした。"_s.arg(path),
        u"テキストエディタ「%1」を起動できませんでした。"_s.arg(path),
        u"探した場所:\n%1\n%1"_s.arg(path),
    };
    for (const QString& message : messages) {
        SCOPED_TRACE(message.toStdString());
        const QString shown = morvex::boxText(message);
        EXPECT_EQ(QString(shown).remove(QChar(0x200B)).remove(QChar(0x2060)), message);
        const qsizetype first = shown.indexOf(u'/');
        const qsizetype last = shown.lastIndexOf(u"mhl"_s) + 3;
        for (int width = 40; width <= 420; width += 9) {
            for (const int start : lineStarts(shown, width)) {
                if (start <= first || start >= last || shown[start - 1] == u'\n')
                    continue;
                // Inside the paths: only right after a "/" (and the break mark put there).
                EXPECT_EQ(shown[start - 1], QChar(0x200B))
                    << "width " << width << ", line from " << shown.mid(start, 12).toStdString();
            }
        }
    }
}

TEST(BoxText, TextWithoutPathsReadsAsItIs) {
    for (const QString& text : {u"ヘッダリストが開けませんでした"_s, u"a/b 1/2"_s, QString()})
        EXPECT_EQ(morvex::boxText(text).remove(QChar(0x2060)), text);
}

TEST(BoxText, NoParagraphEndsInALineOfAFewCharactersAlone) {
    const QString messages[] = {
        u"このファイルシステムではファイルとバックアップを一度に入れ替えられないため、元に戻せませんでした。"_s,
        u"変換の後でバックアップが別のファイルに置き換えられたため、元に戻しませんでした\n"
        "抽選の記録を保存できないため、この変換の中だけで重複を避けます"_s,
    };
    for (const QString& message : messages) {
        const QString shown = morvex::boxText(message);
        for (int width = 60; width <= 420; width += 7) {
            QList<int> starts = lineStarts(shown, width);
            starts.prepend(0);
            starts << int(shown.size());
            for (qsizetype line = 0; line + 1 < starts.size(); ++line) {
                const int from = starts[line];
                const QString text = shown.mid(from, starts[line + 1] - from);
                const bool wrapped = from > 0 && shown[from - 1] != u'\n';
                const bool lastOfParagraph = line + 2 == starts.size() || text.endsWith(u'\n');
                if (wrapped && lastOfParagraph) {
                    EXPECT_GE(QString(text).remove(QChar(0x2060)).remove(u'\n').size(), 5)
                        << "width " << width << ": " << text.toStdString();
                }
            }
        }
    }
}

TEST(FittedPath, FoldersGiveWayAndTheFileNameStaysWhole) {
    const QFontMetrics metrics(morvex::designedDialogFont());
    const QString path = u"/home/user/bbs/投稿/下書き/memo.up"_s;
    EXPECT_EQ(morvex::fittedPath(path, metrics, 1000), path);
    for (int width = metrics.horizontalAdvance(u"/…/memo.up"_s); width < 200; width += 5) {
        const QString fitted = morvex::fittedPath(path, metrics, width);
        EXPECT_TRUE(fitted.endsWith(u"/memo.up"_s)) << fitted.toStdString();
        EXPECT_TRUE(fitted.startsWith(u'/') || fitted.startsWith(u"…/"_s)) << fitted.toStdString();
        EXPECT_LE(metrics.horizontalAdvance(fitted), width);
    }
}

} // namespace
