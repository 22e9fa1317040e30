// A pass's values from the window's fields: markers as Shift-JIS bytes, everything else as the
// UTF-8 bytes the engine takes for names and patterns.
#include "modes/PassSettings.h"

#include "settings/EngineBytes.h"

#include <gtest/gtest.h>

namespace morvex {
namespace {
using namespace Qt::StringLiterals;

TEST(EngineBytes, AreUtf8NeverShiftJis) {
    const std::pair<QString, std::string> cases[] = {
        {QString(), ""},
        {u"*.mfl"_s, "*.mfl"},
        // Shift-JIS would be 93 FA 96 7B; a file name on Linux is spelt in UTF-8.
        {u"日本"_s, "\xE6\x97\xA5\xE6\x9C\xAC"},
        // One byte in Shift-JIS (B1), three in UTF-8.
        {u"ｱ"_s, "\xEF\xBD\xB1"},
        {u"/home/user/投稿/*.up"_s, "/home/user/\xE6\x8A\x95\xE7\xA8\xBF/*.up"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(bytes(text), expected) << text.toStdString();
}

TEST(PassSettings, MarkersTakeTheirFirstShiftJisByteAndFieldsGoAlongAsUtf8) {
    MainWindowSettings fields;
    fields.ConvChar = u"ｱ"_s;
    fields.HeadConvChar = u"】"_s; // 81 7A in Shift-JIS
    fields.BackExt = u".ﾊﾞｯｸ"_s;
    fields.FFile = u"/リスト/*.mfl"_s;
    fields.HFile = u"*.mhl"_s;
    fields.SrcFile = {u"b.up"_s, u"日本.up"_s, u"b.up"_s};

    const ConvSettings settings = passSettings(fields, false);
    EXPECT_EQ(settings.footerMarker, 0xB1);
    EXPECT_EQ(settings.headerMarker, 0x81);
    EXPECT_EQ(settings.footerMarkerField, std::optional<std::string>("\xEF\xBD\xB1"));
    EXPECT_EQ(settings.headerMarkerField, std::optional<std::string>("\xE3\x80\x91"));
    EXPECT_EQ(settings.backupExt, bytes(fields.BackExt));
    EXPECT_EQ(settings.footerListPattern, "/\xE3\x83\xAA\xE3\x82\xB9\xE3\x83\x88/*.mfl");
    EXPECT_EQ(settings.headerListPattern, "*.mhl");
    // Every source as given, in order, a repeated one included: the pass decides about those.
    EXPECT_EQ(settings.sources,
              (std::vector<std::string>{"b.up", "\xE6\x97\xA5\xE6\x9C\xAC.up", "b.up"}));
    EXPECT_FALSE(settings.skipConverted);

    fields.ConvChar.clear();
    EXPECT_EQ(passSettings(fields, true).footerMarker, 0);
    EXPECT_EQ(passSettings(fields, true).footerMarkerField, std::optional<std::string>(""));
    EXPECT_TRUE(passSettings(fields, true).skipConverted);
}

TEST(PassSettings, StoredRulesKeepTheirOrderAndEmptyValuesAreTheMainOnes) {
    RulesState stored;
    stored.rules = {
        {u"*/板/*.up"_s, u"/l/板.mfl"_s, QString(), u" UTF-8 "_s, u"#"_s, QString()},
        {u"b.up"_s, QString(), u"/l/b.mhl"_s, u"Shift-JIS"_s, QString(), u"】"_s},
        // Not an encoding a rule can name: the pass's own, as when it names none.
        {u"c.up"_s, QString(), QString(), u"cp1252"_s, QString(), QString()},
        {u"d.up"_s, QString(), QString(), u"auto"_s, QString(), QString()},
    };
    ConvSettings main;
    main.rules.push_back({"stale", {}, {}, {}, {}, {}});
    const ConvSettings settings = withRules(main, stored);
    ASSERT_EQ(settings.rules.size(), 4u);
    const ConvRule& first = settings.rules[0];
    EXPECT_EQ(first.pattern, "*/\xE6\x9D\xBF/*.up");
    EXPECT_EQ(first.footerListPattern, "/l/\xE6\x9D\xBF.mfl");
    EXPECT_EQ(first.headerListPattern, "");
    EXPECT_EQ(first.encoding, EncodingChoice::Utf8);
    EXPECT_EQ(first.footerMarkerField, std::optional<std::string>("#"));
    EXPECT_FALSE(first.headerMarkerField);
    const ConvRule& second = settings.rules[1];
    EXPECT_EQ(second.footerListPattern, "");
    EXPECT_EQ(second.headerListPattern, "/l/b.mhl");
    EXPECT_EQ(second.encoding, EncodingChoice::ShiftJis);
    EXPECT_FALSE(second.footerMarkerField);
    // The field goes along whole; the pass takes or refuses it for the file's encoding.
    EXPECT_EQ(second.headerMarkerField, std::optional<std::string>("\xE3\x80\x91"));
    EXPECT_FALSE(settings.rules[2].encoding);
    EXPECT_EQ(settings.rules[3].encoding, EncodingChoice::Auto);
    EXPECT_TRUE(withRules(main, RulesState()).rules.empty());
}

} // namespace
} // namespace morvex
