#pragma once

#include "StoreError.h"

#include <QString>
#include <QStringList>
#include <optional>

// The persisted groups of Morvex, each loaded into and saved from a plain state of the controls of
// the window that owns it. Each operation uses its own store handle. Loads test presence before
// every read and apply values one by one in the designed order, so a failure part-way leaves the
// earlier values applied; the error is for the application's standard error box.

namespace morvex {

/// The version the main window always saves as `Version`.
inline constexpr qint32 MorvexStoredVersion = 120;

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
    QString FFile = QStringLiteral("*.mfl");
    QString HFile = QStringLiteral("*.mhl");
    QString ConvChar = QStringLiteral(")");
    QString HeadConvChar = QStringLiteral("]");
    QString BackExt = QStringLiteral(".bak");
    qint32 FutterMarker = 0; ///< list-viewer marker of `FutterBtn` (stored as `Futter`)
    qint32 HeaderMarker = 0; ///< list-viewer marker of `HeaderBtn` (stored as `Header`)
};

/// State of the controls of the settings dialog `TSettingF`, with their design values.
struct SettingFState {
    bool ShowResult = true; ///< radio button; change through setShowResult
    bool NotShowResult = false;
    bool GoByClose = false;
    qint32 WaitTime = 5; ///< trackbar position, 0 to 10
    bool CompListChk = false;
    qint32 CompListUpDown = 71; ///< up-down position, 0 to 80
    bool BeforeRunChk = false;
    QString BeforeApp;
    bool AfterRunChk = false;
    QString AfterApp;
    QString AppWaitTime = QStringLiteral("1000"); ///< hidden text, milliseconds
    QString WatchApp;
    QString ObserveWaitTime = QStringLiteral("2000"); ///< hidden text, milliseconds
    /// The upload files' encoding: radio button `Utf8Radio` checked (else `SjisRadio`). Kept as
    /// `Encoding` under the File key, "utf-8" or "sjis"; absent means Shift-JIS.
    bool Utf8Files = false;

    /// Checks or unchecks `ShowResult`; checking it unchecks `NotShowResult`.
    void setShowResult(bool checked);
    /// Checks or unchecks `NotShowResult`; checking it unchecks `ShowResult`.
    void setNotShowResult(bool checked);
    /// Sets the trackbar position, clamped to 0..10.
    void setWaitTime(qint32 position);
    /// Sets the up-down position as the control takes it: low 16 bits, signed, clamped to 0..80.
    void setCompListPosition(qint32 position);
};

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
};

/// The directory of the running executable, with a trailing "/".
QString programDirectory();

/// From now on in this process, the loads read the older vendor's keys where they are instead of
/// moving them (what they give stays the same), and PruneOldVendorKey removes nothing: for a run
/// that must save nothing (/c).
void ReadOldKeysInPlace();
/// Removes "\Software\ZELT\Morvex" and then "\Software\ZELT" when each has no subkeys left.
StoreResult PruneOldVendorKey();
/// Loads the System and File groups (moving the older vendor's keys first) into `state`;
/// `FFile`/`HFile` always start as `programDir` followed by "*.mfl"/"*.mhl".
StoreResult LoadMainSettings(MainWindowSettings& state, const QString& programDir);
/// What LoadMainSettings gives, without writing anything: the older vendor's keys are read in
/// place, their values winning over the current ones. For a run that must save nothing (/c).
StoreResult LoadMainSettingsUnchanged(MainWindowSettings& state, const QString& programDir);
/// Writes the System group from `state`'s geometry, and `Version` as 120.
StoreResult SaveSystemGroup(const MainWindowSettings& state);
/// Writes the File group: the numbered source list, its count, patterns, markers, extension.
StoreResult SaveFileGroup(const MainWindowSettings& state);

/// Loads the Result group (moving the older vendor's key first).
StoreResult LoadResultGroup(SettingFState& state);
/// Loads the CompList group.
StoreResult LoadCompListGroup(SettingFState& state);
/// Loads the AppRun group.
StoreResult LoadAppRunGroup(SettingFState& state);
/// Loads the Watch group.
StoreResult LoadWatchGroup(SettingFState& state);
/// Loads the upload files' encoding (File key, value `Encoding`): "utf-8" in any case (or
/// "utf8") is UTF-8, any other text Shift-JIS.
StoreResult LoadFileEncoding(SettingFState& state);
/// Loads the Result, CompList, AppRun and Watch groups and the encoding in this order, stopping at
/// the first failure (what was read before it stays applied), as the settings dialog's creation
/// does.
StoreResult LoadSettingFGroups(SettingFState& state);
/// Writes the Result group.
StoreResult SaveResultGroup(const SettingFState& state);
/// Writes the CompList group.
StoreResult SaveCompListGroup(const SettingFState& state);
/// Writes the AppRun group; `AppWaitTime` that is not a decimal integer is written as 1000.
StoreResult SaveAppRunGroup(const SettingFState& state);
/// Writes the Watch group; `ObserveWaitTime` that is not a decimal integer is written as 2000.
StoreResult SaveWatchGroup(const SettingFState& state);
/// Writes the upload files' encoding as `Encoding` under the File key, leaving its other values.
StoreResult SaveFileEncoding(const SettingFState& state);

/// Loads the ListView group (moving the older vendor's key first); `FontName` is cut to its first
/// 31 bytes in Shift-JIS, never inside a character.
StoreResult LoadViewSettings(ListViewSettings& state);
/// Writes the nine ListView values from `state`.
StoreResult SaveViewSettings(const ListViewSettings& state);

} // namespace morvex
