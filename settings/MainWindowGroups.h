#pragma once

#include "engine/PassValues.h"
#include "settings/EngineBytes.h"
#include "settings/SettingsGroups.h"

#include <QString>
#include <QStringList>
#include <optional>

// The main window's groups: System and File, with the removal of the older vendor's key that
// comes first at its creation.

namespace morvex {

/// The version the main window always saves as `Version`.
inline constexpr qint32 kStoredVersion = 120;

/// State of the main window `TMorvexF` kept in the System and File groups.
struct MainWindowSettings {
    // System group. Loading sets the position when stored (the window opens there; unset: the
    // window system places it). Before saving, the window puts its current geometry here; an unset
    // position is not written.
    std::optional<qint32> windowTop;
    std::optional<qint32> windowLeft;
    qint32 windowWidth = 332;  ///< outer width
    qint32 windowHeight = 161; ///< outer height
    qint32 clientWidth = 332;
    qint32 clientHeight = 161;
    std::optional<qint32> version; ///< the stored version as loaded; nothing depends on it

    // File group, with the design texts of the controls.
    QStringList SrcFile;
    QString FFile = fromBytes(kFooterListName);
    QString HFile = fromBytes(kHeaderListName);
    QString ConvChar = QString(QChar(char16_t{kDefaultFooterMarker}));
    QString HeadConvChar = QString(QChar(char16_t{kDefaultHeaderMarker}));
    QString BackExt = fromBytes(kDefaultBackupExt);
    qint32 FutterMarker = 0; ///< list-viewer marker of `FutterBtn` (stored as `Futter`)
    qint32 HeaderMarker = 0; ///< list-viewer marker of `HeaderBtn` (stored as `Header`)

    StoreBase base; ///< filled by LoadMainSettings for the System and File saves
};

/// The directory of the running executable, with a trailing "/".
QString programDirectory();

/// Removes "\Software\ZELT\Morvex" and then "\Software\ZELT" when each has no subkeys left.
StoreResult PruneOldVendorKey(LoadWrites writes = LoadWrites::Saved);
/// Loads the System and File groups (moving the older vendor's keys first) into `state`;
/// `FFile`/`HFile` always start as `programDir` followed by "*.mfl"/"*.mhl".
StoreResult LoadMainSettings(MainWindowSettings& state, const QString& programDir,
                             LoadWrites writes = LoadWrites::Saved);
// Each save below writes its group as designed, but where `state.base` holds what a load found,
// only the values the state changed since and those the file still holds as found (see
// StoreBase). Each save replaces the file in one atomic step.

/// Writes the System group from `state`'s geometry, and `Version` as 120.
StoreResult SaveSystemGroup(const MainWindowSettings& state);
/// Writes the File group: the numbered source list, its count, patterns, markers, extension.
/// The source list and its count count as one value.
StoreResult SaveFileGroup(const MainWindowSettings& state);
/// SaveSystemGroup then SaveFileGroup, as the main window saves when it closes; the first
/// failure, so that one failed save says one thing.
StoreResult saveMainWindowGroups(const MainWindowSettings& state);

} // namespace morvex
