// The settings dialog's "振り分け" page: rules added, edited, moved and removed, and the Rules
// group that OK saves read back in the page's order.
#include "windows/RulesPage.h"

#include "settings/RulesGroup.h"
#include "tests/support/StoreFiles.h"
#include "tests/support/Widgets.h"
#include "windows/Set_U.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace morvex::test {
namespace {
using namespace Qt::StringLiterals;

const QString rulesKey = u"\\Software\\QOR\\Morvex\\Rules"_s;

class RulesPageTest : public StoreTest {
protected:
    static QStringList rows(const RulesPage& page) {
        QStringList shown;
        for (int row = 0; row < page.RuleList->count(); ++row)
            shown << page.RuleList->item(row)->text();
        return shown;
    }

    // Types into a field as a user does: the selection is replaced.
    static void type(QLineEdit* field, const QString& text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
    }

    static QList<StoredRule> storedRules() {
        RulesState state;
        EXPECT_TRUE(LoadRulesGroup(state).ok());
        return state.rules;
    }
};

StoredRule rule(const QString& pattern, const QString& footer = {}, const QString& encoding = {},
                const QString& marker = {}) {
    StoredRule made;
    made.Pattern = pattern;
    made.FooterList = footer;
    made.Encoding = encoding;
    made.FooterMarker = marker;
    return made;
}

TEST_F(RulesPageTest, AddsEditsMovesAndRemovesRulesAndOkSavesThemInOrder) {
    RulesState stored;
    stored.rules = {rule(u"*/work/*.up"_s, u"work.mfl"_s, u"UTF8"_s),
                    rule(u"*/club/*.up"_s, u"club.mfl"_s)};
    ASSERT_TRUE(SaveRulesGroup(stored).ok());

    TSettingF f;
    RulesPage& page = *f.TabSheet5;
    EXPECT_EQ(f.PageControl1->tabText(4), u"振り分け"_s);
    f.show();
    f.PageControl1->setCurrentWidget(&page);
    EXPECT_EQ(page.RuleFFile->text(), u"work.mfl"_s) << "the first rule is shown";
    EXPECT_EQ(page.RuleEncoding->currentText(), u"UTF-8"_s) << "as the pass reads \"UTF8\"";

    struct Step {
        const char* what;
        std::function<void()> act;
        QStringList rows;
        int current;
    };
    const Step steps[] = {
        {"loaded", [] {}, {u"1: */work/*.up"_s, u"2: */club/*.up"_s}, 0},
        {"add",
         [&] {
             QTest::mouseClick(page.RuleAddBtn, Qt::LeftButton);
             QTest::keyClicks(page.RulePattern, u"home.up"_s); // replaces the selected "*.up"
         },
         {u"1: */work/*.up"_s, u"2: */club/*.up"_s, u"3: home.up"_s},
         2},
        {"edit: footer list, a marker the pass takes and one it refuses, an encoding",
         [&] {
             type(page.RuleFFile, u"home.mfl"_s);
             type(page.RuleConvChar, u"!x"_s); // one byte only
             page.RuleHeadConvChar->setFocus();
             commitText(page.RuleHeadConvChar, u"、"_s); // two Shift-JIS bytes: refused
             page.RuleEncoding->setFocus();
             QTest::keyClick(page.RuleEncoding, Qt::Key_Home); // 自動
             QTest::keyClick(page.RuleEncoding, Qt::Key_Down); // Shift-JIS
         },
         {u"1: */work/*.up"_s, u"2: */club/*.up"_s, u"3: home.up"_s},
         2},
        {"up twice: to the top, where up is refused",
         [&] {
             QTest::mouseClick(page.RuleUpBtn, Qt::LeftButton);
             QTest::mouseClick(page.RuleUpBtn, Qt::LeftButton);
             EXPECT_FALSE(page.RuleUpBtn->isEnabled());
         },
         {u"1: home.up"_s, u"2: */work/*.up"_s, u"3: */club/*.up"_s},
         0},
        {"down once",
         [&] { QTest::mouseClick(page.RuleDownBtn, Qt::LeftButton); },
         {u"1: */work/*.up"_s, u"2: home.up"_s, u"3: */club/*.up"_s},
         1},
        {"remove the last: the one before it is chosen, down is refused",
         [&] {
             page.RuleList->setCurrentRow(2);
             QTest::mouseClick(page.RuleDelBtn, Qt::LeftButton);
             EXPECT_FALSE(page.RuleDownBtn->isEnabled());
         },
         {u"1: */work/*.up"_s, u"2: home.up"_s},
         1},
        {"a rule left without a pattern",
         [&] {
             QTest::mouseClick(page.RuleAddBtn, Qt::LeftButton);
             page.RulePattern->clear();
         },
         {u"1: */work/*.up"_s, u"2: home.up"_s, u"3: "_s},
         2},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(rows(page), step.rows);
        EXPECT_EQ(page.RuleList->currentRow(), step.current);
    }
    page.RuleList->setCurrentRow(1);
    EXPECT_EQ(page.RuleFFile->text(), u"home.mfl"_s) << "each rule keeps its own fields";
    EXPECT_EQ(page.RuleConvChar->text(), u"!"_s);
    EXPECT_EQ(page.RuleEncoding->currentText(), u"Shift-JIS"_s);

    QTest::mouseClick(f.OkBtn, Qt::LeftButton);
    ASSERT_EQ(f.result(), QDialog::Accepted);
    const QList<StoredRule> expected = {
        rule(u"*/work/*.up"_s, u"work.mfl"_s, u"UTF8"_s), // untouched: stored as it was
        rule(u"home.up"_s, u"home.mfl"_s, u"sjis"_s, u"!"_s),
    };
    EXPECT_EQ(storedRules(), expected);
    EXPECT_EQ(storedNumber(rulesKey, u"Count"_s), 2) << "the rule without a pattern is not kept";
    EXPECT_EQ(rows(*TSettingF().TabSheet5), (QStringList{u"1: */work/*.up"_s, u"2: home.up"_s}));
}

TEST_F(RulesPageTest, WithoutRulesTheFieldsWaitAndCancelOrOkWriteNoRulesKey) {
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        {
            TSettingF f;
            RulesPage& page = *f.TabSheet5;
            EXPECT_EQ(page.RuleList->count(), 0);
            for (QWidget* waiting :
                 std::initializer_list<QWidget*>{page.RulePattern, page.RuleEncoding,
                                                 page.RuleDelBtn, page.RuleUpBtn, page.RuleDownBtn})
                EXPECT_FALSE(waiting->isEnabled()) << waiting->objectName().toStdString();
            f.show();
            f.PageControl1->setCurrentWidget(&page);
            QTest::mouseClick(page.RuleAddBtn, Qt::LeftButton);
            EXPECT_TRUE(page.RulePattern->isEnabled());
            QTest::mouseClick(page.RuleDelBtn, Qt::LeftButton);
            EXPECT_FALSE(page.RulePattern->isEnabled());
            QTest::mouseClick(ok ? f.OkBtn : f.CancelBtn, Qt::LeftButton);
        }
        EXPECT_EQ(storedNumber(rulesKey, u"Count"_s), std::nullopt);
    }
}

} // namespace
} // namespace morvex::test
