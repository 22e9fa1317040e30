// Writes a PNG of every dialog of the windows folder, for checking the layouts by eye:
// morvex_render_dialogs <output folder>
#include "controls/DisRangeTrackBar.h"
#include "gui/GuiStartup.h"
#include "settings/ListViewGroup.h"
#include "settings/Sjis.h"
#include "windows/About_U.h"
#include "windows/Editor_U.h"
#include "windows/List_U.h"
#include "windows/ProgresU.h"
#include "windows/RulesPage.h"
#include "windows/Select_U.h"
#include "windows/Set_U.h"
#include "windows/SrcEditU.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

namespace {
using namespace Qt::StringLiterals;
using namespace morvex;

bool save(QWidget* window, const QDir& folder, const QString& name) {
    window->show();
    QApplication::processEvents();
    const QPixmap picture = window->grab();
    const QString path = folder.filePath(name + u".png"_s);
    const bool ok = !picture.isNull() && picture.size() == window->size() && picture.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

bool renderSettings(const QDir& folder) {
    TSettingF f;
    bool ok = save(&f, folder, u"SettingF-1-general"_s);
    f.GoByClose->click();
    f.CompListChk->click();
    ok &= save(&f, folder, u"SettingF-1-general-autoclose"_s);
    f.WaitTime->setPosition(10);
    f.WaitTimeChange();
    ok &= save(&f, folder, u"SettingF-1-general-10s"_s);
    f.NotShowResult->click();
    ok &= save(&f, folder, u"SettingF-1-general-notshown"_s);
    f.PageControl1->setCurrentIndex(1);
    f.BeforeRunChk->click();
    f.BeforeApp->setText(u"/usr/local/bin/受信ツール"_s);
    ok &= save(&f, folder, u"SettingF-2-apprun"_s);
    f.PageControl1->setCurrentIndex(2);
    f.WatchApp->setText(u"/usr/bin/オフライン通信"_s);
    ok &= save(&f, folder, u"SettingF-3-watch"_s);
    f.PageControl1->setCurrentIndex(3);
    f.Utf8Radio->click();
    f.NoRepeatChk->click();
    ok &= save(&f, folder, u"SettingF-4-encoding"_s);
    f.PageControl1->setCurrentIndex(4);
    RulesPage& rules = *f.TabSheet5;
    rules.RuleAddBtnClick();
    rules.RulePattern->setText(u"*/仕事/*.up"_s);
    rules.RuleFFile->setText(u"/home/taro/lists/仕事/*.mfl"_s);
    rules.RuleAddBtnClick();
    rules.RulePattern->setText(u"*/写真部/*.up"_s);
    rules.RuleConvChar->setText(u"!"_s);
    ok &= save(&f, folder, u"SettingF-5-rules"_s);
    return ok;
}

bool renderSourceEditor(const QDir& folder) {
    TSrcEditF f;
    f.setEntries({u"/home/user/投稿/mail.up"_s, u"/home/user/投稿/*.up"_s, u"ﾒｰﾙ?.up"_s});
    bool ok = save(&f, folder, u"SrcEditF-collapsed"_s);
    f.Button4->click();
    f.AddFile->setText(u"/home/user/下書き/*.up"_s);
    ok &= save(&f, folder, u"SrcEditF-expanded"_s);
    return ok;
}

bool renderOthers(const QDir& folder) {
    TProgressF progress;
    progress.setFileName(u"/home/user/投稿/mail.up"_s);
    progress.setCounts(12, 3);
    bool ok = save(&progress, folder, u"ProgressF"_s);
    // Counts of many digits and a path too long for the box.
    TProgressF large;
    large.setFileName(
        u"/home/user/とても長いフォルダの名前/その下のフォルダ/もう一つ下/日本語の投稿.up"_s);
    large.setCounts(8000, 888);
    ok &= save(&large, folder, u"ProgressF-large"_s);
    TAboutF about;
    ok &= save(&about, folder, u"AboutF"_s);
    return ok;
}

bool writeList(const QDir& dir, const QString& name, const QString& text) {
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(sjis::encode(text)) >= 0;
}

bool renderListViewer(const QDir& folder) {
    QTemporaryDir lists;
    const QDir dir(lists.path());
    if (!writeList(dir, u"a.mfl"_s,
                   u"; 署名その一\r\n-- \\N山田太郎 <taro@example.jp>\r\n\r\n"
                   u"; 署名その二\r\n--\\S4ﾊﾅｺ\\N  hanako@example.jp\r\n"_s) ||
        !writeList(dir, u"b.mfl"_s, u"またね！ (\\R100 回目の投稿)\r\n"_s) ||
        !writeList(dir, u"c.mfl"_s, u"では、また。\r\n"_s) ||
        !writeList(dir, u"h.mhl"_s, u"こんにちは、\\Hさん。\r\n[\\I] Re: \\H\r\n"_s))
        return false;
    QLineEdit footer(dir.filePath(u"*.mfl"_s));
    QLineEdit header(dir.filePath(u"h.mhl"_s));
    TListF viewer;
    viewer.setMainWindowFields({&footer, &header, nullptr, nullptr});
    viewer.LoadListBtnClick();
    bool ok = save(&viewer, folder, u"ListF-footers"_s);
    viewer.LoadHeadListBtnClick();
    ok &= save(&viewer, folder, u"ListF-headers"_s);
    for (QToolButton* button : {viewer.ListEditBtn, viewer.ReloadBtn, viewer.FontBtn,
                                viewer.SpeedButton1, viewer.TextEditorBtn})
        button->setEnabled(false);
    ok &= save(&viewer, folder, u"ListF-buttons-disabled"_s);
    for (QToolButton* button : {viewer.ListEditBtn, viewer.ReloadBtn, viewer.FontBtn,
                                viewer.SpeedButton1, viewer.TextEditorBtn})
        button->setEnabled(true);
    ListViewSettings changed = viewer.viewSettings();
    changed.fontName = u"ＭＳ Ｐゴシック"_s;
    changed.fontSize = 12;
    changed.backColor = 0x00804000; // a dark blue
    changed.fontColor = 0x0000FFFF; // yellow
    viewer.applyViewSettings(changed);
    viewer.LoadListBtnClick();
    ok &= save(&viewer, folder, u"ListF-font-and-colour"_s);
    {
        // A list saved by a Linux editor, in UTF-8, beside the Shift-JIS ones.
        QFile utf8(dir.filePath(u"d.mfl"_s));
        ok &= utf8.open(QIODevice::WriteOnly) &&
              utf8.write(u"〜 よろしくお願いします 〜\r\n絵文字も使えます 😀\r\n"_s.toUtf8()) > 0;
    }
    viewer.LoadListBtnClick();
    ok &= save(&viewer, folder, u"ListF-utf8"_s);
    viewer.hide();

    TSelectListF select;
    for (const char* name : {"a.mfl", "b.mfl", "c.mfl"})
        select.FileList->addItem(dir.filePath(QString::fromLatin1(name)));
    for (int row = select.FileList->count() - 1; row >= 0; --row)
        select.FileList->item(row)->setSelected(true);
    ok &= save(&select, folder, u"SelectListF"_s);
    TEditorF editor;
    ok &= save(&editor, folder, u"EditorF"_s);

    // The viewer's font dialog with the colour list in its effects, grabbed while it runs.
    QTimer::singleShot(0, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            ok &= save(dialog, folder, u"FontDialog"_s);
            dialog->close();
        }
    });
    viewer.Font1Click();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir config; // never the user's own settings
    if (!config.isValid() || !qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path())))
        return 2;
    QApplication app(argc, argv);
    QString error;
    if (!prepareGui(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"render"_s);
    if (!QDir().mkpath(folder.path()))
        return 2;
    const bool ok = renderSettings(folder) & renderSourceEditor(folder) & renderOthers(folder) &
                    renderListViewer(folder);
    return ok ? 0 : 1;
}
