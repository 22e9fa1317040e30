// The main window and the settings dialog as a screen reader walks them: every control named,
// every hint given as a description, the round buttons pressable.
#include "gui/Accessibility.h"

#include "controls/MaruBtn.h"
#include "tests/app/MainWindowTestSupport.h"
#include "windows/Set_U.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

namespace morvex::test {
namespace {

using namespace Qt::StringLiterals;

// The roles a user acts on, which must never be met without a name.
bool isControl(QAccessible::Role role) {
    switch (role) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::EditableText:
    case QAccessible::List:
    case QAccessible::ComboBox:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::PageTab:
    case QAccessible::MenuItem:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
        return true;
    default:
        return false;
    }
}

// Lists print as their text in failure messages.
std::string listed(const QStringList& names) {
    return names.join(u" | "_s).toStdString();
}

struct Found {
    QStringList unnamed;     ///< object names of controls without a name
    QStringList undescribed; ///< of widgets with a hint but no description
    int controls = 0;
};

void walk(QAccessibleInterface* node, Found& found, int depth = 0) {
    if (!node || depth > 40)
        return;
    QObject* object = node->object();
    const auto* widget = qobject_cast<QWidget*>(object);
    if (node->state().invisible || (widget && !widget->isVisible()))
        return;
    if (isControl(node->role())) {
        ++found.controls;
        if (node->text(QAccessible::Name).trimmed().isEmpty())
            found.unnamed << (object ? object->objectName() + u' ' +
                                           QString::fromLatin1(object->metaObject()->className())
                                     : QString()) +
                                 u" role "_s + QString::number(node->role());
    }
    if (widget && !widget->toolTip().isEmpty() &&
        node->text(QAccessible::Description) != widget->toolTip())
        found.undescribed << widget->objectName();
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), found, depth + 1);
}

Found walkWindow(QWidget* window) {
    Found found;
    walk(QAccessible::queryAccessibleInterface(window), found);
    return found;
}

TEST_F(MainWindowTest, EveryControlOfTheMainWindowAndTheSettingsDialogHasANameAndItsHint) {
    TMorvexF& w = create({u"/x"_s});
    w.SrcFile->addItem(u"/home/user/bbs/memo.up"_s);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    Found main = walkWindow(&w);
    EXPECT_GE(main.controls, 12);
    EXPECT_TRUE(main.unnamed.isEmpty()) << listed(main.unnamed);
    EXPECT_TRUE(main.undescribed.isEmpty()) << listed(main.undescribed);

    TSettingF setting(&w);
    setting.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&setting));
    for (int page = 0; page < setting.PageControl1->count(); ++page) {
        SCOPED_TRACE(page);
        setting.PageControl1->setCurrentIndex(page);
        const Found found = walkWindow(&setting);
        EXPECT_GE(found.controls, 4);
        EXPECT_TRUE(found.unnamed.isEmpty()) << listed(found.unnamed);
    }
}

TEST_F(MainWindowTest, NamesComeFromCaptionsAndLabelsAndTheMarkerFieldsSayWhatTheyMark) {
    TMorvexF& w = create({u"/x"_s});
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const std::pair<QWidget*, QString> rows[] = {
        {w.SrcEditBtn, u"編集"_s},
        {w.ConvBtn, u"変換"_s},
        {w.BackExt, u"ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙの拡張子"_s},
        {w.HFile, u"ﾍｯﾀﾞﾘｽﾄ"_s},
        {w.FFile, u"ﾌｯﾀﾘｽﾄ"_s},
        {w.HBBtn, u"参照"_s},
        {w.SrcFile, u"変換ﾌｧｲﾙ"_s},
        {w.HeadConvChar, u"ﾍｯﾀﾞに変換する行頭の文字"_s},
        {w.ConvChar, u"ﾌｯﾀに変換する行頭の文字"_s},
    };
    for (const auto& [control, name] : rows) {
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->text(QAccessible::Name), name) << control->objectName().toStdString();
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.ConvBtn)->text(QAccessible::Description),
              u"ヘッダ・フッタを挿入し変換を行います"_s);
}

TEST_F(MainWindowTest, TheRoundButtonsAreButtonsAScreenReaderCanPress) {
    TMorvexF& w = create({u"/x"_s});
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (TMaruBtn* round : {w.HeaderBtn, w.FutterBtn}) {
        SCOPED_TRACE(round->objectName().toStdString());
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(round);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->role(), QAccessible::Button);
        EXPECT_FALSE(node->text(QAccessible::Name).isEmpty());
        QAccessibleActionInterface* actions = node->actionInterface();
        ASSERT_NE(actions, nullptr);
        EXPECT_EQ(actions->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
        QSignalSpy clicks(round, &TMaruBtn::clicked);
        // Wherever the mouse cursor is.
        QCursor::setPos(w.mapToGlobal(QPoint(0, 0)));
        actions->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(clicks.count(), 1);
        EXPECT_FALSE(round->down()) << "the main window's buttons spring back up";
    }
}

TEST(SpokenCaption, DropsAcceleratorsEllipsesAndClosingColons) {
    const std::pair<QString, QString> rows[] = {
        {u"編集(&E)..."_s, u"編集"_s}, {u"ﾍｯﾀﾞﾘｽﾄ(&H):"_s, u"ﾍｯﾀﾞﾘｽﾄ"_s},
        {u"&OK"_s, u"OK"_s},           {u"A && B"_s, u"A & B"_s},
        {u"参照..."_s, u"参照"_s},     {u"変換ﾌｧｲﾙ:"_s, u"変換ﾌｧｲﾙ"_s},
        {u"ｷｬﾝｾﾙ"_s, u"ｷｬﾝｾﾙ"_s},      {QString(), QString()},
    };
    for (const auto& [caption, spoken] : rows)
        EXPECT_EQ(spokenCaption(caption), spoken) << caption.toStdString();
}

} // namespace
} // namespace morvex::test
