#include "settings/RulesGroup.h"

#include "settings/GroupIo.h"

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace morvex {

using namespace groupio;

namespace {

constexpr int kRuleListUnit = 0;
const QString kPatternStem = u"Pattern"_s;

QString numbered(const QString& stem, qint64 number) {
    return stem + QString::number(number);
}

// The rule number a value name "Pattern<n>" stands for, as the save forms them; -1 for others.
qint64 patternNumber(const QString& name) {
    if (!name.startsWith(kPatternStem, Qt::CaseInsensitive))
        return -1;
    const QString digits = name.mid(kPatternStem.size());
    if (digits.isEmpty() || digits.startsWith(u'0') ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return -1;
    bool ok = false;
    const qint64 number = digits.toLongLong(&ok, 10);
    return ok ? number : -1;
}

// Rules 1 to Count whose pattern is present. Listing the key rather than probing each number
// keeps a corrupt count of two billion from hanging the start.
StoreResult readRules(SettingsStore& store, RulesState& state) {
    qint32 count = 0;
    if (StoreResult r =
            GroupLoader(store).number(u"Count"_s, [&](qint32 v) { count = v; }).result();
        !r.ok())
        return r;
    std::vector<qint64> present;
    for (const QString& name : SettingsStoreAccess::valueNames(store)) {
        const qint64 number = patternNumber(name);
        if (number >= 1 && number <= count)
            present.push_back(number);
    }
    std::sort(present.begin(), present.end());
    GroupLoader loader(store);
    for (qint64 n : present) {
        StoredRule rule;
        const auto into = [](QString& field) {
            return [&field](const QString& v) {
                field = v;
            };
        };
        loader.text(numbered(kPatternStem, n), into(rule.Pattern))
            .text(numbered(u"FooterList"_s, n), into(rule.FooterList))
            .text(numbered(u"HeaderList"_s, n), into(rule.HeaderList))
            .text(numbered(u"Encoding"_s, n), into(rule.Encoding))
            .text(numbered(u"FooterMarker"_s, n), into(rule.FooterMarker))
            .text(numbered(u"HeaderMarker"_s, n), into(rule.HeaderMarker));
        if (!loader.result().ok())
            break;
        if (!rule.Pattern.isEmpty())
            state.rules.append(rule);
    }
    return loader.result();
}

// Every value of every rule, so that a shorter list leaves no value of an earlier rule behind
// under a number a later one now takes.
GroupWrites rulesWrites(const RulesState& state) {
    GroupWrites writes;
    for (qsizetype i = 0; i < state.rules.size(); ++i) {
        const StoredRule& rule = state.rules[i];
        const qint64 n = i + 1;
        writes.text(numbered(kPatternStem, n), rule.Pattern, kRuleListUnit)
            .text(numbered(u"FooterList"_s, n), rule.FooterList, kRuleListUnit)
            .text(numbered(u"HeaderList"_s, n), rule.HeaderList, kRuleListUnit)
            .text(numbered(u"Encoding"_s, n), rule.Encoding, kRuleListUnit)
            .text(numbered(u"FooterMarker"_s, n), rule.FooterMarker, kRuleListUnit)
            .text(numbered(u"HeaderMarker"_s, n), rule.HeaderMarker, kRuleListUnit);
    }
    writes.number(u"Count"_s, qint32(state.rules.size()), kRuleListUnit);
    return writes;
}

} // namespace

StoreResult LoadRulesGroup(RulesState& state, LoadWrites writes) {
    state.rules.clear();
    // The group has no older key to move: the load itself writes nothing.
    return loadRemembering(state, u"Rules", rulesWrites, writes, [&](StoreBase* base) {
        SettingsStore store;
        return loadCurrentKey(
            store, u"Rules", [&](SettingsStore& s) { return readRules(s, state); }, base);
    });
}

StoreResult SaveRulesGroup(const RulesState& state) {
    if (state.rules.isEmpty()) {
        SettingsStore store;
        const auto opened = openExisting(store, currentKey(u"Rules"));
        if (!opened.ok())
            return opened.status();
        if (StoreResult closed = store.StoreClose(); !closed.ok() || !opened.value())
            return closed;
    }
    return writeGroup(StoreHandles(), currentKey(u"Rules"), rulesWrites(state), state.base);
}

} // namespace morvex
