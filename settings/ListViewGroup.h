#pragma once

#include "settings/SettingsGroups.h"

#include <QString>
#include <optional>

// The list viewer's group: ListView.

namespace morvex {

/// State of the list viewer `TListF` kept in the ListView group, with its first-run values.
struct ListViewSettings {
    std::optional<qint32> windowTop;  ///< unset: the system places the window at the first show
    std::optional<qint32> windowLeft; ///< unset positions are not written
    qint32 windowWidth = 514;
    qint32 windowHeight = 359;
    QString TextEditorLbl = QStringLiteral("notepad");
    quint32 backColor = 0; ///< TColor, black
    QString fontName = QStringLiteral("ＭＳ ゴシック");
    quint32 fontColor = 0x00FFFFFF; ///< TColor, white
    qint32 fontSize = 9;            ///< points

    StoreBase base; ///< filled by LoadViewSettings for SaveViewSettings
};

/// Loads the ListView group (moving the older vendor's key first); `FontName` is cut to its first
/// 31 bytes in Shift-JIS, never inside a character.
StoreResult LoadViewSettings(ListViewSettings& state, LoadWrites writes = LoadWrites::Saved);
/// Writes the nine ListView values from `state`, as the other saves do (see StoreBase).
StoreResult SaveViewSettings(const ListViewSettings& state);

} // namespace morvex
