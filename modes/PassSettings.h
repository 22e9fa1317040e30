#pragma once

#include "engine/Engine.h"
#include "settings/MainWindowGroups.h"
#include "settings/RulesGroup.h"
#include "settings/SettingFGroups.h"

#include <functional>

namespace morvex {

/// The values of a pass as the main window's fields give them: markers as the first byte of
/// their code page 932 form (0 when empty); paths and the backup extension, which becomes part
/// of a path, as UTF-8 bytes. The footer alignment and the upload files' encoding are not among
/// the fields; see withDialogSettings.
ConvSettings passSettings(const MainWindowSettings& fields, bool skipConverted);

/// `settings` with the footer alignment, the draw rule and the upload files' encoding of the
/// settings dialog's stored state.
ConvSettings withDialogSettings(ConvSettings settings, const SettingFState& dialog);

/// `settings` with the stored rules in their order: a rule's empty value is the main one, and an
/// encoding it does not name ("auto", "sjis", "utf-8") is the pass's own.
ConvSettings withRules(ConvSettings settings, const RulesState& stored);

/// `settings` with the rules the store holds now; a failure is passed to `showError`, and the
/// rules read whole before it are kept.
ConvSettings withStoredRules(ConvSettings settings,
                             const std::function<void(const QString&)>& showError);

/// The settings dialog's groups loaded in the order its creation loads them; a failure is
/// passed to `showError` and stops the loading there, as it stops the dialog's creation.
SettingFState storedSettingF(const std::function<void(const QString&)>& showError,
                             LoadWrites writes = LoadWrites::Saved);

} // namespace morvex
