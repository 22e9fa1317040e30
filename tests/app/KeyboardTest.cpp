// The first ten minutes with the keyboard alone, through the designed keys: a file added, a pass,
// its result closed, a setting changed and saved, the pass taken back. Dialogs are found by their
// object names, wherever their sources live.
#include "tests/app/MainWindowTestSupport.h"

#include <QDialog>
#include <QListWidget>
#include <QPointer>
#include <QTest>
#include <functional>

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

// Presses a key and lets the events run until `done` holds: a mnemonic clicks its button only
// once the click has been animated, and a menu opens on the next events.
bool pressUntil(Qt::Key key, Qt::KeyboardModifiers modifiers, const std::function<bool()>& done) {
    press(key, modifiers);
    return QTest::qWaitFor(done, 5000);
}

bool focused(const QString& name) {
    return QApplication::focusWidget() && QApplication::focusWidget()->objectName() == name;
}

// Tab until the named control has the focus, as a user looks for it; false when never reached.
bool tabTo(const QString& name) {
    for (int i = 0; i < 40; ++i) {
        if (focused(name))
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

    ModalWatcher watcher([&upload](QWidget* modal) {
        const QPointer<QWidget> open = modal;
        activate(modal);
        const QString name = modal->objectName();
        if (name == u"SrcEditF"_s) {
            // 追加(A) opens the add area on its field; its 追加 takes the line; 閉じる(C).
            EXPECT_TRUE(
                pressUntil(Qt::Key_A, Qt::AltModifier, [] { return focused(u"AddFile"_s); }));
            QTest::keyClicks(keyTarget(), upload);
            press(Qt::Key_Return);
            EXPECT_TRUE(
                pressUntil(Qt::Key_C, Qt::AltModifier, [&open] { return !open->isVisible(); }));
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
    });

    // Each step ends when its dialog has come and gone.
    const auto closed = [&watcher](int dialogs) {
        return [&watcher, dialogs] {
            return watcher.count() == dialogs && !QApplication::activeModalWidget();
        };
    };
    ASSERT_TRUE(pressUntil(Qt::Key_E, Qt::AltModifier, closed(1))); // 編集(E)...
    const auto* list = child<QListWidget>(w, "SrcFile");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), upload);

    activate(&w);
    ASSERT_TRUE(pressUntil(Qt::Key_C, Qt::AltModifier, closed(2))); // 変換(C)
    const QByteArray converted = readBytes(upload);
    EXPECT_EQ(converted, "Re: Hello\r\n-- sig\r\n");

    activate(&w);
    const auto menuOpen = [] {
        return QApplication::activePopupWidget() != nullptr;
    };
    ASSERT_TRUE(pressUntil(Qt::Key_S, Qt::AltModifier, menuOpen)); // 設定(S)
    ASSERT_TRUE(pressUntil(Qt::Key_E, {}, closed(3)));             // 動作環境(E)...
    EXPECT_EQ(storedNumber(morvexKey(u"Result"_s), u"ShowResult"_s), 0);
    EXPECT_EQ(storedNumber(morvexKey(u"Result"_s), u"NotShowResult"_s), 1);

    activate(&w);
    messages.clear();
    ASSERT_TRUE(pressUntil(Qt::Key_F, Qt::AltModifier, menuOpen));                // ファイル(F)
    EXPECT_TRUE(pressUntil(Qt::Key_U, {}, [this] { return !messages.empty(); })); // 元に戻す(U)
    EXPECT_EQ(readBytes(upload), original);
    EXPECT_EQ(readBytes(uploads.path(u"a.bak"_s)), converted);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].second, u"1 個のファイルを元に戻しました。"_s);
    EXPECT_EQ(watcher.names(), (QStringList{u"SrcEditF"_s, u"ProgressF"_s, u"SettingF"_s}));
}

} // namespace
} // namespace morvex::test
