#include "settings/ListViewGroup.h"

#include "settings/GroupIo.h"
#include "settings/Sjis.h"

using namespace Qt::StringLiterals;

namespace morvex {

using namespace groupio;

namespace {

constexpr int kFontNameBytes = 31;

// The first 31 bytes of the name in Shift-JIS, never cutting a character.
QString fontNamePrefix(const QString& name) {
    qsizetype used = 0;
    qsizetype i = 0;
    while (i < name.size()) {
        const qsizetype length = name[i].isHighSurrogate() && i + 1 < name.size() ? 2 : 1;
        const qsizetype bytes = sjis::encode(name.mid(i, length)).size();
        if (used + bytes > kFontNameBytes)
            break;
        used += bytes;
        i += length;
    }
    return name.left(i);
}

StoreResult readViewValues(SettingsStore& store, ListViewSettings& state) {
    return GroupLoader(store)
        .number(u"WindowTop"_s, [&](qint32 v) { state.windowTop = v; })
        .number(u"WindowLeft"_s, [&](qint32 v) { state.windowLeft = v; })
        .number(u"WindowWidth"_s, [&](qint32 v) { state.windowWidth = v; })
        .number(u"WindowHeight"_s, [&](qint32 v) { state.windowHeight = v; })
        .text(u"TextEditor"_s, [&](const QString& v) { state.TextEditorLbl = v; })
        .number(u"BackColor"_s, [&](qint32 v) { state.backColor = quint32(v); })
        .text(u"FontName"_s, [&](const QString& v) { state.fontName = fontNamePrefix(v); })
        .number(u"FontColor"_s, [&](qint32 v) { state.fontColor = quint32(v); })
        .number(u"FontSize"_s, [&](qint32 v) { state.fontSize = v; })
        .result();
}

GroupWrites viewWrites(const ListViewSettings& state) {
    GroupWrites writes;
    if (state.windowTop)
        writes.number(u"WindowTop"_s, *state.windowTop);
    if (state.windowLeft)
        writes.number(u"WindowLeft"_s, *state.windowLeft);
    writes.number(u"WindowWidth"_s, state.windowWidth)
        .number(u"WindowHeight"_s, state.windowHeight)
        .text(u"TextEditor"_s, state.TextEditorLbl)
        .number(u"BackColor"_s, qint32(state.backColor))
        .text(u"FontName"_s, state.fontName)
        .number(u"FontColor"_s, qint32(state.fontColor))
        .number(u"FontSize"_s, state.fontSize);
    return writes;
}

} // namespace

StoreResult LoadViewSettings(ListViewSettings& state, LoadWrites writes) {
    return loadMovedGroup(
        state, u"ListView", viewWrites,
        [&](SettingsStore& store) { return readViewValues(store, state); }, writes);
}

StoreResult SaveViewSettings(const ListViewSettings& state) {
    return writeGroup(StoreHandles(), currentKey(u"ListView"), viewWrites(state), state.base);
}

} // namespace morvex
