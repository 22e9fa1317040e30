#pragma once

#include "settings/SettingsGroups.h"

#include <QList>
#include <QString>

// The Rules group: upload files that get lists, an encoding or markers of their own, in order.
// Under "\Software\QOR\Morvex\Rules", `Count` and per rule n (from 1) `Pattern<n>`,
// `FooterList<n>`, `HeaderList<n>`, `Encoding<n>`, `FooterMarker<n>` and `HeaderMarker<n>`. A
// store without the key has no rules: every file takes the main lists, as before rules.

namespace morvex {

/// One rule as stored; an empty value (or one absent from the file) means the main one.
struct StoredRule {
    QString Pattern; ///< the upload files it is for; a rule without one is left out
    QString FooterList;
    QString HeaderList;
    QString Encoding; ///< "auto", "sjis" or "utf-8"
    QString FooterMarker;
    QString HeaderMarker;

    friend bool operator==(const StoredRule&, const StoredRule&) = default;
};

struct RulesState {
    QList<StoredRule> rules;
    StoreBase base; ///< filled by the load for the save
};

/// Loads the Rules group: rules 1 to `Count` whose pattern is present, in order. A discarded
/// load keeps nothing in `state.base`.
StoreResult LoadRulesGroup(RulesState& state, LoadWrites writes = LoadWrites::Saved);
/// Writes the Rules group, every value of every rule and `Count`, as one unit: a list another
/// writer changed since the load stays unless this state changed it too. A state without rules
/// writes nothing into a store that has no Rules key.
StoreResult SaveRulesGroup(const RulesState& state);

} // namespace morvex
