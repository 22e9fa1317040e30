#pragma once

#include "settings/SettingsGroups.h"

#include <QString>

// The settings dialog's groups: Result, CompList, AppRun and Watch, and its two values of the
// main window's File group, `NoRepeat` and `Encoding`. Each save writes its group as
// designed, but where `state.base` holds what a load found, only the values the state changed
// since and those the file still holds as found (see StoreBase).

namespace morvex {

/// The stored polling intervals' defaults, in milliseconds: AppRun and Watch `WaitTime`.
inline constexpr qint32 kAppWaitTimeDefault = 1000;
inline constexpr qint32 kObserveWaitTimeDefault = 2000;

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
    QString AppWaitTime = QString::number(kAppWaitTimeDefault); ///< hidden text, milliseconds
    QString WatchApp;
    QString ObserveWaitTime = QString::number(kObserveWaitTimeDefault); ///< hidden text, ms
    bool NoRepeatChk = false; ///< draws without repeats; kept in the File group as `NoRepeat`
    /// The upload files' encoding: each file's own (`AutoFiles`, radio button `AutoRadio`), or
    /// radio button `Utf8Radio` checked (else `SjisRadio`). Kept as `Encoding` under the File
    /// key, "auto", "utf-8" or "sjis"; absent means automatic.
    bool AutoFiles = true;
    bool Utf8Files = false;

    StoreBase base; ///< filled by the four loads for the four saves

    /// Checks or unchecks `ShowResult`; checking it unchecks `NotShowResult`.
    void setShowResult(bool checked);
    /// Checks or unchecks `NotShowResult`; checking it unchecks `ShowResult`.
    void setNotShowResult(bool checked);
    /// Sets the trackbar position, clamped to 0..10.
    void setWaitTime(qint32 position);
    /// Sets the up-down position as the control takes it: low 16 bits, signed, clamped to 0..80.
    void setCompListPosition(qint32 position);
};

/// Loads the Result group (moving the older vendor's key first).
StoreResult LoadResultGroup(SettingFState& state, LoadWrites writes = LoadWrites::Saved);
/// Loads the CompList group.
StoreResult LoadCompListGroup(SettingFState& state);
/// Loads the AppRun group.
StoreResult LoadAppRunGroup(SettingFState& state);
/// Loads the Watch group.
StoreResult LoadWatchGroup(SettingFState& state);
/// Loads `NoRepeat` (absent: off) and `Encoding` of the File group: "utf-8" in any case (or
/// "utf8") is UTF-8, "auto" and absent automatic, any other text Shift-JIS.
StoreResult loadFileChoices(SettingFState& state);
/// Loads the Result, CompList, AppRun and Watch groups in this order, then the File group's
/// choices, stopping at the first failure (what was read before it stays applied), as the
/// dialog's creation does.
StoreResult loadSettingFGroups(SettingFState& state, LoadWrites writes = LoadWrites::Saved);
/// Writes the Result group.
StoreResult SaveResultGroup(const SettingFState& state);
/// Writes the CompList group.
StoreResult SaveCompListGroup(const SettingFState& state);
/// Writes the AppRun group; `AppWaitTime` that is not a decimal integer is written as 1000.
StoreResult SaveAppRunGroup(const SettingFState& state);
/// Writes the Watch group; `ObserveWaitTime` that is not a decimal integer is written as 2000.
StoreResult SaveWatchGroup(const SettingFState& state);
// The two File group values are written only when chosen here: while one holds what the load
// gave, or its default and the file lacks it, the save leaves the file as it is.

/// Writes `NoRepeat` into the File group.
StoreResult saveNoRepeat(const SettingFState& state);
/// Writes the upload files' encoding as `Encoding` into the File group.
StoreResult saveFileEncoding(const SettingFState& state);

} // namespace morvex
