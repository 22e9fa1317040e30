// The dialogs and the list viewer as a screen reader walks them: every control named and
// described, no two side by side under one name, whole texts where the window shows them cut.
#include "controls/DisRangeTrackBar.h"
#include "gui/Accessibility.h"
#include "tests/support/StoreFiles.h"
#include "windows/About_U.h"
#include "windows/Editor_U.h"
#include "windows/List_U.h"
#include "windows/ProgresU.h"
#include "windows/Select_U.h"
#include "windows/Set_U.h"
#include "windows/SrcEditU.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace morvex::test {
namespace {
using namespace Qt::StringLiterals;

struct Walk {
    QStringList faults;
    QStringList spoken; ///< the names of the static texts a reader meets, in order
    int controls = 0;
};

// What a user acts on: whatever takes the focus, and buttons, choices and fields that do not.
bool isControl(QAccessibleInterface* node) {
    const auto* widget = qobject_cast<const QWidget*>(node->object());
    switch (node->role()) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::EditableText:
    case QAccessible::List:
    case QAccessible::Slider:
        return true;
    default:
        return widget && widget->focusPolicy() != Qt::NoFocus;
    }
}

QString who(const QAccessibleInterface* node) {
    const QObject* object = node->object();
    return object ? object->objectName() + u'(' +
                        QString::fromLatin1(object->metaObject()->className()) + u')'
                  : u"role "_s + QString::number(node->role());
}

void walk(QAccessibleInterface* node, Walk& found) {
    const auto* widget = qobject_cast<const QWidget*>(node->object());
    if (node->state().invisible || (widget && !widget->isVisible()))
        return;
    const QString name = node->text(QAccessible::Name);
    if (node->role() == QAccessible::StaticText)
        found.spoken << name;
    if (node->role() == QAccessible::Graphic && name.isEmpty())
        found.faults << who(node) + u": a picture without a name"_s;
    if (node->role() == QAccessible::PageTab &&
        (name.isEmpty() || node->text(QAccessible::Description).isEmpty()))
        found.faults << who(node) + u": a page tab without a name or description"_s;
    if (widget && isControl(node)) {
        ++found.controls;
        if (name.trimmed().isEmpty())
            found.faults << who(node) + u": no name"_s;
        if (node->text(QAccessible::Description).trimmed().isEmpty())
            found.faults << who(node) + u": no description"_s;
    }
    QStringList siblings;
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (!child)
            continue;
        const auto* control = qobject_cast<const QWidget*>(child->object());
        if (control && control->isVisible() && isControl(child)) {
            const QString childName = child->text(QAccessible::Name);
            if (siblings.contains(childName))
                found.faults << who(child) + u": a sibling has the same name \""_s + childName +
                                    u'"';
            siblings << childName;
        }
        walk(child, found);
    }
}

Walk walkWindow(QWidget* window) {
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    Walk found;
    walk(QAccessible::queryAccessibleInterface(window), found);
    return found;
}

class AccessibleWindows : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        describeWindowsWhenShown();
    }
};

TEST_F(AccessibleWindows, EveryControlHasANameAndADescriptionAndNoSiblingSharesItsName) {
    const std::pair<const char*, std::function<std::unique_ptr<QWidget>()>> windows[] = {
        {"TProgressF",
         [] {
             auto dialog = std::make_unique<TProgressF>();
             dialog->setFileName(u"/home/taro/bbs/today.up"_s);
             return dialog;
         }},
        {"TSrcEditF",
         [] {
             return std::make_unique<TSrcEditF>();
         }},
        {"TSrcEditF adding",
         [] {
             auto dialog = std::make_unique<TSrcEditF>();
             dialog->Button4Click();
             return dialog;
         }},
        {"TAboutF",
         [] {
             return std::make_unique<TAboutF>();
         }},
        {"TEditorF",
         [] {
             return std::make_unique<TEditorF>();
         }},
        {"TSelectListF",
         [] {
             auto dialog = std::make_unique<TSelectListF>();
             dialog->FileList->addItem(u"/home/taro/lists/footer.mfl"_s);
             return dialog;
         }},
        {"TListF",
         [] {
             return std::make_unique<TListF>();
         }},
    };
    for (const auto& [name, make] : windows) {
        SCOPED_TRACE(name);
        const std::unique_ptr<QWidget> window = make();
        const Walk found = walkWindow(window.get());
        EXPECT_GE(found.controls, 1);
        EXPECT_TRUE(found.faults.isEmpty()) << found.faults.join(u"; "_s).toStdString();
    }
    TSettingF settings;
    for (int page = 0; page < settings.PageControl1->count(); ++page) {
        SCOPED_TRACE(page);
        settings.PageControl1->setCurrentIndex(page);
        const Walk found = walkWindow(&settings);
        EXPECT_GE(found.controls, 4);
        EXPECT_TRUE(found.faults.isEmpty()) << found.faults.join(u"; "_s).toStdString();
    }
}

TEST_F(AccessibleWindows, TheResultPathIsReadWholeAndTheSecondsAsOneLabel) {
    TProgressF result;
    const QString path =
        u"/home/taro/掲示板/とても長いフォルダの名前/さらに長いフォルダの名前/today.up"_s;
    result.setFileName(path);
    ASSERT_NE(result.FileName->text(), path) << "the window shows it cut";
    EXPECT_TRUE(walkWindow(&result).spoken.contains(path));

    TSettingF settings;
    settings.GoByClose->setChecked(true);
    settings.GoByCloseClick();
    settings.WaitTime->setPosition(7);
    settings.WaitTimeChange();
    const QStringList spoken = walkWindow(&settings).spoken;
    EXPECT_TRUE(spoken.contains(u"(7秒)"_s)) << spoken.join(u" | "_s).toStdString();
    EXPECT_FALSE(spoken.contains(u"("_s) || spoken.contains(u"秒)"_s) || spoken.contains(u"7"_s))
        << spoken.join(u" | "_s).toStdString();
}

TEST_F(AccessibleWindows, TabEntersARadioGroupAtItsCheckedButtonAndLeavesItAfter) {
    // Each encoding chosen in turn; the arrow key moves to the next button in the group.
    struct Case {
        QRadioButton* TSettingF::*chosen;
        Qt::Key arrow;
        QRadioButton* TSettingF::*next;
    };
    const Case cases[] = {
        {&TSettingF::AutoRadio, Qt::Key_Down, &TSettingF::SjisRadio},
        {&TSettingF::SjisRadio, Qt::Key_Down, &TSettingF::Utf8Radio},
        {&TSettingF::Utf8Radio, Qt::Key_Up, &TSettingF::SjisRadio},
    };
    for (const Case& c : cases) {
        TSettingF settings;
        QRadioButton* chosen = settings.*c.chosen;
        SCOPED_TRACE(chosen->objectName().toStdString());
        chosen->click();
        settings.PageControl1->setCurrentWidget(settings.TabSheet4);
        settings.show();
        QApplication::setActiveWindow(&settings);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&settings));
        settings.PageControl1->tabBar()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), chosen);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), settings.NoRepeatChk);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        EXPECT_EQ(QApplication::focusWidget(), chosen);
        // The arrow keys move within the group and choose; Tab then enters at the new choice.
        QTest::keyClick(chosen, c.arrow);
        QRadioButton* other = settings.*c.next;
        EXPECT_TRUE(other->isChecked());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        EXPECT_EQ(QApplication::focusWidget(), other);
    }
}

} // namespace
} // namespace morvex::test
