#include "modes/PassSettings.h"

#include "engine/PassValues.h"
#include "settings/EngineBytes.h"

namespace morvex {

ConvSettings passSettings(const MainWindowSettings& fields, bool skipConverted) {
    ConvSettings settings;
    // The whole fields go along, so that the pass refuses one of more than one byte.
    settings.footerMarkerField = bytes(fields.ConvChar);
    settings.headerMarkerField = bytes(fields.HeadConvChar);
    settings.footerMarker = markerByte(*settings.footerMarkerField);
    settings.headerMarker = markerByte(*settings.headerMarkerField);
    settings.backupExt = bytes(fields.BackExt);
    settings.footerListPattern = bytes(fields.FFile);
    settings.headerListPattern = bytes(fields.HFile);
    for (const QString& source : fields.SrcFile)
        settings.sources.push_back(bytes(source));
    settings.skipConverted = skipConverted;
    return settings;
}

ConvSettings withDialogSettings(ConvSettings settings, const SettingFState& dialog) {
    settings.alignFooters = dialog.CompListChk;
    settings.alignColumn = dialog.CompListUpDown;
    settings.noRepeat = dialog.NoRepeatChk;
    setEncodingChoice(settings, dialog.AutoFiles   ? EncodingChoice::Auto
                                : dialog.Utf8Files ? EncodingChoice::Utf8
                                                   : EncodingChoice::ShiftJis);
    return settings;
}

SettingFState storedSettingF(const std::function<void(const QString&)>& showError,
                             LoadWrites writes) {
    SettingFState state;
    const StoreResult result = loadSettingFGroups(state, writes);
    if (!result)
        showError(result.message());
    return state;
}

} // namespace morvex
