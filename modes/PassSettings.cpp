#include "modes/PassSettings.h"

#include "engine/Encoding.h"
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

ConvSettings withRules(ConvSettings settings, const RulesState& stored) {
    settings.rules.clear();
    const auto field = [](const QString& value) {
        return value.isEmpty() ? std::nullopt : std::optional<std::string>(bytes(value));
    };
    for (const StoredRule& rule : stored.rules) {
        ConvRule& to = settings.rules.emplace_back();
        to.pattern = bytes(rule.Pattern);
        to.footerListPattern = bytes(rule.FooterList);
        to.headerListPattern = bytes(rule.HeaderList);
        to.encoding = parseEncodingChoice(bytes(rule.Encoding.trimmed()));
        to.footerMarkerField = field(rule.FooterMarker);
        to.headerMarkerField = field(rule.HeaderMarker);
    }
    return settings;
}

ConvSettings withStoredRules(ConvSettings settings,
                             const std::function<void(const QString&)>& showError) {
    RulesState stored;
    // Nothing to move and nothing kept for a save: the load writes nothing either way.
    const StoreResult result = LoadRulesGroup(stored, LoadWrites::Discarded);
    if (!result)
        showError(result.message());
    return withRules(std::move(settings), stored);
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
