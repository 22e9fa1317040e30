// The first ten minutes with the keyboard alone, through the designed keys: a file added, a pass,
// its result closed, a setting changed and saved, the pass taken back. Dialogs are found by their
// object names, wherever their sources live.
#include "tests/app/MainWindowTestSupport.h"

#include <QDialog>
#include <QListWidget>
#include <QPointer>
#include <QTest>

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

// Where a key typed now goes: an open menu, else the focused control, else the active window.
QWidget* keyTarget() {
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup;
    if (QWidget* focus = QApplication::focusWidget())
        return focus;
    return QApplication::activeWindow();
}

void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = keyTarget();
    ASSERT_NE(target, nullptr) << "no window takes keys";
    QTest::keyClick(target, key, modifiers);
}

// Tab until the named control has the focus, as a user looks for it; false when never reached.
bool tabTo(const QString& name) {
    for (int i = 0; i < 40; ++i) {
        if (QApplication::focusWidget() && QApplication::focusWidget()->objectName() == name)
            return true;
        press(Qt::Key_Tab);
    }
    return false;
}

// What the window manager does when a window comes up or a dialog goes.
void activate(QWidget* window) {
    QApplication::setActiveWindow(window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
}

TEST_F(MainWindowTest, KeyboardAloneAddsAFileConvertsChangesASettingAndTakesThePassBack) {
    Uploads uploads(false);
    writeStore({{u"File"_s,
                 {textValue(u"FutterFileName"_s, uploads.path(u"f.mfl"_s)),
                  textValue(u"HeaderFileName"_s, uploads.path(u"h.mhl"_s))}}});
    const QString upload = uploads.path(u"a.up"_s);
    const QByteArray original = readBytes(upload);
    TMorvexF& w = create();
    w.show();
    activate(&w);

    ModalWatcher watcher([&w, &upload](QWidget* modal) {
        const QPointer<QWidget> open = modal;
        activate(modal);
        const QString name = modal->objectName();
        if (name == u"SrcEditF"_s) {
            press(Qt::Key_A, Qt::AltModifier); // 追加(A): the add area, its field focused
            QTest::keyClicks(keyTarget(), upload);
            press(Qt::Key_Return);             // the area's 追加
            press(Qt::Key_C, Qt::AltModifier); // 閉じる(C)
        } else if (name == u"ProgressF"_s) {
            press(Qt::Key_Return); // its OK
        } else if (name == u"SettingF"_s) {
            EXPECT_TRUE(tabTo(u"ShowResult"_s));
            press(Qt::Key_Down); // 表示しない
            EXPECT_TRUE(tabTo(u"OkBtn"_s));
            press(Qt::Key_Space); // no default button: the focused OK is pressed
        }
        if (open && open->isVisible()) {
            ADD_FAILURE() << name.toStdString() << " did not close by its keys";
            static_cast<QDialog*>(open.data())->reject();
        }
        QTimer::singleShot(0, &w, [&w] { activate(&w); });
    });

    press(Qt::Key_E, Qt::AltModifier); // 編集(E)...
    const auto* list = child<QListWidget>(w, "SrcFile");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), upload);

    activate(&w);
    press(Qt::Key_C, Qt::AltModifier); // 変換(C)
    const QByteArray converted = readBytes(upload);
    EXPECT_EQ(converted, "Re: Hello\r\n-- sig\r\n");

    activate(&w);
    press(Qt::Key_S, Qt::AltModifier); // 設定(S)
    press(Qt::Key_E);                  // 動作環境(E)...
    EXPECT_EQ(storedNumber(morvexKey(u"Result"_s), u"ShowResult"_s), 0);
    EXPECT_EQ(storedNumber(morvexKey(u"Result"_s), u"NotShowResult"_s), 1);

    activate(&w);
    messages.clear();
    press(Qt::Key_F, Qt::AltModifier); // ファイル(F)
    press(Qt::Key_U);                  // 元に戻す(U)
    EXPECT_EQ(readBytes(upload), original);
    EXPECT_EQ(readBytes(uploads.path(u"a.bak"_s)), converted);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].second, u"1 個のファイルを元に戻しました。"_s);
    EXPECT_EQ(watcher.names(), (QStringList{u"SrcEditF"_s, u"ProgressF"_s, u"SettingF"_s}));
}

} // namespace
} // namespace morvex::test
