// The Rules group: what a load makes of the values a user or an older Morvex left, and a save
// that keeps another writer's rules.
#include "settings/RulesGroup.h"

#include "settings/SettingsStore.h"
#include "tests/support/StoreFiles.h"

#include <optional>

using namespace Qt::StringLiterals;
using namespace morvex;
using morvex::test::numberValue;
using morvex::test::StoreSection;
using morvex::test::StoreTest;
using morvex::test::textValue;

namespace {

const QString rulesKey = u"\\Software\\QOR\\Morvex\\Rules"_s;

StoredRule rule(const QString& pattern, const QString& footers = {}, const QString& headers = {},
                const QString& encoding = {}, const QString& footerMarker = {}) {
    return {pattern, footers, headers, encoding, footerMarker, {}};
}

struct LoadCase {
    const char* what;
    QList<StoreSection> store;
    QList<StoredRule> expected;
    std::optional<QString> error; ///< the load's message when it fails
};

using RulesGroupTest = StoreTest;

TEST_F(RulesGroupTest, LoadTakesRulesOneToCountInOrder) {
    const QString file = u"File"_s;
    const LoadCase cases[] = {
        {"an older store: no Rules key", {{file, {textValue(u"ConvChar"_s, u")"_s)}}}, {}, {}},
        {"two rules, every value; names in any case",
         {{u"Rules"_s,
           {numberValue(u"Count"_s, 2), textValue(u"Pattern2"_s, u"*/b/*.up"_s),
            textValue(u"FooterList2"_s, u"/l/b.mfl"_s), textValue(u"pattern1"_s, u"a*.up"_s),
            textValue(u"FOOTERLIST1"_s, u"/l/a.mfl"_s), textValue(u"HeaderList1"_s, u"/l/a.mhl"_s),
            textValue(u"Encoding1"_s, u"utf-8"_s), textValue(u"FooterMarker1"_s, u"#"_s)}}},
         {rule(u"a*.up"_s, u"/l/a.mfl"_s, u"/l/a.mhl"_s, u"utf-8"_s, u"#"_s),
          rule(u"*/b/*.up"_s, u"/l/b.mfl"_s)},
         {}},
        {"beyond Count, without a pattern, numbered 0 or with a leading zero: left out",
         {{u"Rules"_s,
           {numberValue(u"Count"_s, 3), textValue(u"Pattern0"_s, u"zero"_s),
            textValue(u"Pattern01"_s, u"padded"_s), textValue(u"FooterList1"_s, u"/l/x.mfl"_s),
            textValue(u"Pattern2"_s, u""_s), textValue(u"Pattern3"_s, u"c.up"_s),
            textValue(u"Pattern4"_s, u"late.up"_s)}}},
         {rule(u"c.up"_s)},
         {}},
        {"no Count: no rules", {{u"Rules"_s, {textValue(u"Pattern1"_s, u"a.up"_s)}}}, {}, {}},
        {"a count of two billion does not probe every number",
         {{u"Rules"_s, {numberValue(u"Count"_s, 0x7fffffff), textValue(u"Pattern9"_s, u"n.up"_s)}}},
         {rule(u"n.up"_s)},
         {}},
        {"a value of the wrong kind keeps the rules read whole before it",
         {{u"Rules"_s,
           {numberValue(u"Count"_s, 2), textValue(u"Pattern1"_s, u"a.up"_s),
            textValue(u"Pattern2"_s, u"b.up"_s), numberValue(u"FooterList2"_s, 1)}}},
         {rule(u"a.up"_s)},
         u"'FooterList2' のﾃﾞｰﾀ型が不正です"_s},
    };
    for (const LoadCase& c : cases) {
        writeStore(c.store);
        RulesState state;
        const StoreResult result = LoadRulesGroup(state);
        EXPECT_EQ(result.ok(), !c.error) << c.what;
        if (c.error) {
            EXPECT_EQ(result.message(), *c.error) << c.what;
        }
        EXPECT_EQ(state.rules, c.expected) << c.what;
    }
}

TEST_F(RulesGroupTest, SaveKeepsAnotherWritersRulesAndLeavesAnOlderStoreAlone) {
    const QList<StoreSection> older = {{u"File"_s, {textValue(u"ConvChar"_s, u")"_s)}}};
    writeStore(older);
    RulesState none;
    ASSERT_TRUE(LoadRulesGroup(none).ok());
    const QByteArray olderBytes = storeBytes();
    ASSERT_TRUE(SaveRulesGroup(none).ok());
    EXPECT_EQ(storeBytes(), olderBytes);

    // Loaded with one rule; meanwhile another writer adds a second.
    writeStore({{u"Rules"_s, {numberValue(u"Count"_s, 1), textValue(u"Pattern1"_s, u"a.up"_s)}}});
    RulesState loaded;
    ASSERT_TRUE(LoadRulesGroup(loaded).ok());
    writeStore({{u"Rules"_s,
                 {numberValue(u"Count"_s, 2), textValue(u"Pattern1"_s, u"a.up"_s),
                  textValue(u"Pattern2"_s, u"b.up"_s)}}});
    ASSERT_TRUE(SaveRulesGroup(loaded).ok());
    RulesState after;
    ASSERT_TRUE(LoadRulesGroup(after).ok());
    EXPECT_EQ(after.rules, (QList<StoredRule>{rule(u"a.up"_s), rule(u"b.up"_s)}));

    // A list this process changed is written whole; the shorter list leaves rule 2's values
    // behind, past Count, and a later rule 2 reads none of them.
    RulesState changed = after;
    changed.rules = {rule(u"c.up"_s, u"/l/c.mfl"_s, {}, u"sjis"_s)};
    ASSERT_TRUE(SaveRulesGroup(changed).ok());
    RulesState shorter;
    ASSERT_TRUE(LoadRulesGroup(shorter).ok());
    EXPECT_EQ(shorter.rules, changed.rules);
    shorter.rules.append(rule(u"d.up"_s));
    ASSERT_TRUE(SaveRulesGroup(shorter).ok());
    RulesState longer;
    ASSERT_TRUE(LoadRulesGroup(longer).ok());
    EXPECT_EQ(longer.rules, shorter.rules);
}

} // namespace
