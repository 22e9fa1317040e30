#include "modes/PassSettings.h"

#include "settings/EngineBytes.h"
#include "settings/Sjis.h"

namespace morvex {
namespace {

unsigned char markerByte(const QString& field) {
    const QByteArray encoded = sjis::encode(field);
    return encoded.isEmpty() ? 0 : static_cast<unsigned char>(encoded.front());
}

} // namespace

ConvSettings passSettings(const MainWindowSettings& fields, bool skipConverted) {
    ConvSettings settings;
    settings.footerMarker = markerByte(fields.ConvChar);
    settings.headerMarker = markerByte(fields.HeadConvChar);
    // The whole fields go along, so that the pass refuses one of more than one byte.
    settings.footerMarkerField = bytes(fields.ConvChar);
    settings.headerMarkerField = bytes(fields.HeadConvChar);
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
    settings.encoding = dialog.Utf8Files ? TextEncoding::Utf8 : TextEncoding::ShiftJis;
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
