#include "settings/SettingFGroups.h"

#include "settings/GroupIo.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace morvex {

using namespace groupio;

namespace {

qint32 decimalOr(const QString& text, qint32 fallback) {
    bool ok = false;
    const qint32 value = text.toInt(&ok, 10);
    return ok ? value : fallback;
}

StoreResult readResultValues(SettingsStore& store, SettingFState& state) {
    return GroupLoader(store)
        .number(u"ShowResult"_s, [&](qint32 v) { state.setShowResult(v != 0); })
        .number(u"NotShowResult"_s, [&](qint32 v) { state.setNotShowResult(v != 0); })
        .number(u"GoByClose"_s, [&](qint32 v) { state.GoByClose = v != 0; })
        .number(u"WaitTime"_s, [&](qint32 v) { state.setWaitTime(v); })
        .result();
}

StoreResult readCompListValues(SettingsStore& store, SettingFState& state) {
    return GroupLoader(store)
        .number(u"CompList"_s, [&](qint32 v) { state.CompListChk = v != 0; })
        .number(u"Count"_s, [&](qint32 v) { state.setCompListPosition(v); })
        .result();
}

StoreResult readAppRunValues(SettingsStore& store, SettingFState& state) {
    return GroupLoader(store)
        .number(u"BeforeCheck"_s, [&](qint32 v) { state.BeforeRunChk = v != 0; })
        .text(u"BeforeApp"_s, [&](const QString& v) { state.BeforeApp = v; })
        .number(u"AfterCheck"_s, [&](qint32 v) { state.AfterRunChk = v != 0; })
        .text(u"AfterApp"_s, [&](const QString& v) { state.AfterApp = v; })
        .number(u"WaitTime"_s, [&](qint32 v) { state.AppWaitTime = QString::number(v); })
        .result();
}

StoreResult readWatchValues(SettingsStore& store, SettingFState& state) {
    return GroupLoader(store)
        .text(u"WatchApp"_s, [&](const QString& v) { state.WatchApp = v; })
        .number(u"WaitTime"_s, [&](qint32 v) { state.ObserveWaitTime = QString::number(v); })
        .result();
}

StoreResult readFileChoices(SettingsStore& store, SettingFState& state) {
    return GroupLoader(store)
        .number(u"NoRepeat"_s, [&](qint32 v) { state.NoRepeatChk = v != 0; })
        .text(u"Encoding"_s,
              [&](const QString& v) {
                  const QString name = v.trimmed().toLower();
                  state.AutoFiles = name == u"auto"_s;
                  state.Utf8Files = name == u"utf-8"_s || name == u"utf8"_s;
              })
        .result();
}

GroupWrites resultWrites(const SettingFState& state) {
    GroupWrites writes;
    writes.flag(u"ShowResult"_s, state.ShowResult)
        .flag(u"NotShowResult"_s, state.NotShowResult)
        .flag(u"GoByClose"_s, state.GoByClose)
        .number(u"WaitTime"_s, state.WaitTime);
    return writes;
}

GroupWrites compListWrites(const SettingFState& state) {
    GroupWrites writes;
    writes.flag(u"CompList"_s, state.CompListChk).number(u"Count"_s, qint16(state.CompListUpDown));
    return writes;
}

GroupWrites appRunWrites(const SettingFState& state) {
    GroupWrites writes;
    writes.flag(u"BeforeCheck"_s, state.BeforeRunChk)
        .text(u"BeforeApp"_s, state.BeforeApp)
        .flag(u"AfterCheck"_s, state.AfterRunChk)
        .text(u"AfterApp"_s, state.AfterApp)
        .number(u"WaitTime"_s, decimalOr(state.AppWaitTime, kAppWaitTimeDefault));
    return writes;
}

GroupWrites watchWrites(const SettingFState& state) {
    GroupWrites writes;
    writes.text(u"WatchApp"_s, state.WatchApp)
        .number(u"WaitTime"_s, decimalOr(state.ObserveWaitTime, kObserveWaitTimeDefault));
    return writes;
}

GroupWrites noRepeatWrites(const SettingFState& state) {
    GroupWrites writes;
    writes.flag(u"NoRepeat"_s, state.NoRepeatChk);
    return writes;
}

QString encodingName(const SettingFState& state) {
    if (state.AutoFiles)
        return u"auto"_s;
    return state.Utf8Files ? u"utf-8"_s : u"sjis"_s;
}

GroupWrites encodingWrites(const SettingFState& state) {
    GroupWrites writes;
    writes.text(u"Encoding"_s, encodingName(state));
    return writes;
}

GroupWrites fileChoiceWrites(const SettingFState& state) {
    GroupWrites writes = noRepeatWrites(state);
    writes.text(u"Encoding"_s, encodingName(state));
    return writes;
}

// Writes the one value of `writes` into the File group when the dialog chose it. The File group
// is the main window's too: a store that never had the choice keeps the designed group as it is.
StoreResult saveFileChoice(const SettingFState& state, const GroupWrites& writes, bool isDefault) {
    const GroupWrite& write = writes.writes().front();
    if (const auto known = state.base.keys.constFind(folded(currentKey(u"File")));
        known != state.base.keys.cend()) {
        const auto loaded = known->written.constFind(folded(write.name));
        if (loaded != known->written.cend() && loaded->value == write.value)
            return {};
        return writeGroup(StoreHandles(), currentKey(u"File"), writes, state.base);
    }
    if (isDefault) {
        SettingsStore store;
        const auto opened = openExisting(store, currentKey(u"File"));
        if (!opened.ok())
            return opened.status();
        const bool present = opened.value() && store.ValuePresent(write.name);
        if (StoreResult closed = store.StoreClose(); !closed.ok() || !present)
            return closed;
    }
    return writeGroup(StoreHandles(), currentKey(u"File"), writes, StoreBase());
}

// The state's own reader of one group, as the store operations take it.
Reader reading(SettingFState& state, StoreResult (*read)(SettingsStore&, SettingFState&)) {
    return [&state, read](SettingsStore& store) {
        return read(store, state);
    };
}

} // namespace

void SettingFState::setShowResult(bool checked) {
    ShowResult = checked;
    if (checked)
        NotShowResult = false;
}

void SettingFState::setNotShowResult(bool checked) {
    NotShowResult = checked;
    if (checked)
        ShowResult = false;
}

void SettingFState::setWaitTime(qint32 position) {
    WaitTime = std::clamp(position, 0, 10);
}

void SettingFState::setCompListPosition(qint32 position) {
    CompListUpDown = std::clamp<qint32>(qint16(position), 0, 80);
}

StoreResult LoadResultGroup(SettingFState& state, LoadWrites writes) {
    return loadMovedGroup(state, u"Result", resultWrites, reading(state, readResultValues), writes);
}

StoreResult LoadCompListGroup(SettingFState& state) {
    return loadGroup(state, u"CompList", compListWrites, reading(state, readCompListValues));
}

StoreResult LoadAppRunGroup(SettingFState& state) {
    return loadGroup(state, u"AppRun", appRunWrites, reading(state, readAppRunValues));
}

StoreResult LoadWatchGroup(SettingFState& state) {
    return loadGroup(state, u"Watch", watchWrites, reading(state, readWatchValues));
}

StoreResult loadFileChoices(SettingFState& state) {
    return loadGroup(state, u"File", fileChoiceWrites, reading(state, readFileChoices));
}

StoreResult loadSettingFGroups(SettingFState& state, LoadWrites writes) {
    StoreResult result = LoadResultGroup(state, writes);
    if (result)
        result = LoadCompListGroup(state);
    if (result)
        result = LoadAppRunGroup(state);
    if (result)
        result = LoadWatchGroup(state);
    if (result)
        result = loadFileChoices(state);
    return result;
}

StoreResult SaveResultGroup(const SettingFState& state) {
    return writeGroup(StoreHandles(), currentKey(u"Result"), resultWrites(state), state.base);
}

StoreResult SaveCompListGroup(const SettingFState& state) {
    return writeGroup(StoreHandles(), currentKey(u"CompList"), compListWrites(state), state.base);
}

StoreResult SaveAppRunGroup(const SettingFState& state) {
    return writeGroup(StoreHandles(), currentKey(u"AppRun"), appRunWrites(state), state.base);
}

StoreResult SaveWatchGroup(const SettingFState& state) {
    return writeGroup(StoreHandles(), currentKey(u"Watch"), watchWrites(state), state.base);
}

StoreResult saveNoRepeat(const SettingFState& state) {
    return saveFileChoice(state, noRepeatWrites(state), !state.NoRepeatChk);
}

StoreResult saveFileEncoding(const SettingFState& state) {
    return saveFileChoice(state, encodingWrites(state), state.AutoFiles);
}

} // namespace morvex
