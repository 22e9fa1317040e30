#pragma once

#include "settings/RegDocument.h"
#include "settings/StoreError.h"

#include <QHash>
#include <QString>

// The persisted groups of Morvex, each loaded into and saved from a plain state of the controls of
// the window that owns it: settings/MainWindowGroups.h (System, File), settings/SettingFGroups.h
// (Result, CompList, AppRun, Watch) and settings/ListViewGroup.h (ListView). Each operation uses
// its own store handle. Loads test presence before every read and apply values one by one in the
// designed order, so a failure part-way leaves the earlier values applied; the error is for the
// application's standard error box. This header holds what the groups of all windows share.

namespace morvex {

/// Where what a load writes goes (the move of the older vendor's keys, their removal): to the
/// store file, or, for a run that must save nothing (/c), to a copy of it in memory that is
/// dropped when the load ends. The load gives the same values either way; a discarded one leaves
/// the state's StoreBase as it was, since what it found there is not what the file holds.
enum class LoadWrites { Saved, Discarded };

/// What a load found in the keys it read, and what the values it gave would write back. A save of
/// a state that carries it writes a value only when the state changed it since the load, or when
/// the file still holds what the load found there: values that another process or the user
/// (editing the file by hand) wrote meanwhile stay. A key no load read is saved whole.
struct StoreBase {
    struct Written {
        RegValue value;
        int unit = -1; ///< values that only change together (the numbered source list); -1: alone
    };
    struct Key {
        QHash<QString, RegValue> found;  ///< case-folded value name -> the value the load found
        QHash<QString, Written> written; ///< case-folded value name -> what the loaded state writes
    };
    QHash<QString, Key> keys; ///< case-folded store path -> what was read there
};

} // namespace morvex
