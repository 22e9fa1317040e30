// The main window and the settings dialog as a screen reader walks them: every control named,
// every hint given as a description, the round buttons pressable.
#include "gui/Accessibility.h"

#include "controls/MaruBtn.h"
#include "tests/app/MainWindowTestSupport.h"
#include "windows/Set_U.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <functional>

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
    QStringList undescribed; ///< of controls a user can reach without a description
    QStringList unhinted;    ///< of widgets whose description is not their hint
    QStringList twins;       ///< names two controls of one parent share
    int controls = 0;
};

QString nameOf(const QObject* object) {
    return object ? object->objectName() + u' ' +
                        QString::fromLatin1(object->metaObject()->className())
                  : QString();
}

// Reached by Tab, or pressed by a screen reader (the round buttons take no focus by design).
bool reachable(const QWidget* widget) {
    return widget && (widget->focusPolicy() != Qt::NoFocus || widget->inherits("morvex::TMaruBtn"));
}

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
            found.unnamed << nameOf(object) + u" role "_s + QString::number(node->role());
        if (reachable(widget) && node->text(QAccessible::Description).trimmed().isEmpty())
            found.undescribed << nameOf(object);
    }
    if (widget && !widget->toolTip().isEmpty() &&
        node->text(QAccessible::Description) != widget->toolTip())
        found.unhinted << widget->objectName();
    QStringList names;
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        const auto* shown = child ? qobject_cast<QWidget*>(child->object()) : nullptr;
        if (!child || !isControl(child->role()) || child->state().invisible ||
            (shown && !shown->isVisible()))
            continue;
        const QString name = child->text(QAccessible::Name);
        if (names.contains(name))
            found.twins << nameOf(object) + u": "_s + name;
        names << name;
    }
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), found, depth + 1);
}

Found walkWindow(QWidget* window) {
    Found found;
    walk(QAccessible::queryAccessibleInterface(window), found);
    return found;
}

void expectNamedAndDescribed(const Found& found, int atLeast) {
    EXPECT_GE(found.controls, atLeast);
    EXPECT_TRUE(found.unnamed.isEmpty()) << listed(found.unnamed);
    EXPECT_TRUE(found.undescribed.isEmpty()) << listed(found.undescribed);
    EXPECT_TRUE(found.unhinted.isEmpty()) << listed(found.unhinted);
    EXPECT_TRUE(found.twins.isEmpty()) << listed(found.twins);
}

TEST_F(MainWindowTest, EveryControlHasANameADescriptionAndNoTwinAmongItsSiblings) {
    TMorvexF& w = create({u"/x"_s});
    child<QListWidget>(w, "SrcFile")->addItem(u"/home/user/bbs/memo.up"_s);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    expectNamedAndDescribed(walkWindow(&w), 12);

    // Found by name: the dialog is the settings dialog wherever its source lives.
    ModalWatcher watcher([](QWidget* modal) {
        auto* pages = modal->findChild<QTabWidget*>(u"PageControl1"_s);
        ASSERT_NE(pages, nullptr);
        for (int page = 0; page < pages->count(); ++page) {
            SCOPED_TRACE(pages->tabText(page).toStdString());
            pages->setCurrentIndex(page);
            expectNamedAndDescribed(walkWindow(modal), 4);
        }
        static_cast<QDialog*>(modal)->reject();
    });
    w.findChild<QAction*>(u"ShowResultSetting"_s)->trigger();
    EXPECT_EQ(watcher.names(), QStringList{u"SettingF"_s});
}

TEST_F(MainWindowTest, NamesComeFromCaptionsAndLabelsAndTheMarkerFieldsSayWhatTheyMark) {
    TMorvexF& w = create({u"/x"_s});
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const std::pair<QWidget*, QString> rows[] = {
        {ui(w).SrcEditBtn, u"編集"_s},
        {ui(w).ConvBtn, u"変換"_s},
        {ui(w).BackExt, u"ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙの拡張子"_s},
        {ui(w).HFile, u"ﾍｯﾀﾞﾘｽﾄ"_s},
        {ui(w).FFile, u"ﾌｯﾀﾘｽﾄ"_s},
        {ui(w).HBBtn, u"ヘッダリストを参照"_s},
        {ui(w).FBBtn, u"フッタリストを参照"_s},
        {ui(w).SrcFile, u"変換ﾌｧｲﾙ"_s},
        {ui(w).HeadConvChar, u"ﾍｯﾀﾞに変換する行頭の文字"_s},
        {ui(w).ConvChar, u"ﾌｯﾀに変換する行頭の文字"_s},
    };
    for (const auto& [control, name] : rows) {
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->text(QAccessible::Name), name) << control->objectName().toStdString();
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(ui(w).ConvBtn)->text(QAccessible::Description),
              u"ヘッダ・フッタを挿入し変換を行います"_s);
}

TEST_F(MainWindowTest, TheRoundButtonsAreButtonsAScreenReaderCanPress) {
    TMorvexF& w = create({u"/x"_s});
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (TMaruBtn* round : {ui(w).HeaderBtn, ui(w).FutterBtn}) {
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

// The bracketed accelerator is dropped as the expression "[(（]&.[)）]" drops it: checked against
// that expression over every short caption of the characters that matter.
TEST(SpokenCaption, DropsBracketedAcceleratorsAsTheExpressionDoes) {
    static const QRegularExpression accelerator(u"[(（]&.[)）]"_s);
    const QString pieces[] = {u"("_s, u"（"_s, u"&"_s,          u")"_s, u"）"_s,
                              u"E"_s, u"\n"_s, u"\U0001F600"_s, u" "_s};
    int checked = 0;
    std::function<void(const QString&, int)> every = [&](const QString& caption, int left) {
        EXPECT_EQ(withoutBracketedAccelerators(caption), QString(caption).remove(accelerator))
            << caption.toStdString();
        ++checked;
        if (left > 0) {
            for (const QString& piece : pieces)
                every(caption + piece, left - 1);
        }
    };
    every(QString(), 5);
    EXPECT_GT(checked, 60000);
}

} // namespace
} // namespace morvex::test
