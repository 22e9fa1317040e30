#include "tests/support/QtPrinters.h"

#include <QFont>
#include <QFontInfo>
#include <QRawFont>
#include <gtest/gtest.h>

namespace {
using namespace Qt::StringLiterals;

struct FontCase {
    QString designed;
    QString resolved;
};

void PrintTo(const FontCase& c, std::ostream* out) {
    *out << c.designed.toStdString();
}

class FontSubstitution : public testing::TestWithParam<FontCase> {};

TEST_P(FontSubstitution, DesignedFamilyResolvesToAJapaneseGothic) {
    QFont font(GetParam().designed);
    font.setPixelSize(12);
    EXPECT_EQ(QFontInfo(font).family(), GetParam().resolved);
}

TEST_P(FontSubstitution, HalfWidthKatakanaAndKanjiHaveGlyphs) {
    QFont font(GetParam().designed);
    font.setPixelSize(12);
    // The primary font itself must hold the glyphs; a fallback font would change the metrics.
    const QRawFont raw = QRawFont::fromFont(font);
    ASSERT_TRUE(raw.isValid());
    EXPECT_EQ(raw.familyName().toLower(), GetParam().resolved.toLower());
    const QString text = u"変換ﾌｧｲﾙ:ｷｬﾝｾﾙ"_s;
    for (const QChar ch : text)
        EXPECT_TRUE(raw.supportsCharacter(ch))
            << "missing glyph U+" << std::hex << int(ch.unicode());
    for (const quint32 glyph : raw.glyphIndexesForString(text))
        EXPECT_NE(glyph, 0u);
}

TEST_P(FontSubstitution, HalfWidthKatakanaIsHalfAsWideAsKanji) {
    QFont font(GetParam().designed);
    font.setPixelSize(12);
    const QRawFont raw = QRawFont::fromFont(font);
    const auto advance = [&](const QString& s) {
        return raw.advancesForGlyphIndexes(raw.glyphIndexesForString(s)).value(0).x();
    };
    EXPECT_DOUBLE_EQ(advance(u"変"_s), 12.0);
    EXPECT_DOUBLE_EQ(advance(u"ﾌ"_s), 6.0);
}

std::string fontCaseName(const testing::TestParamInfo<FontCase>& info) {
    static const char* const names[] = {"MsPGothicJapanese", "MsPGothic", "MsGothicJapanese",
                                        "MsGothic"};
    return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(Windows, FontSubstitution,
                         testing::Values(FontCase{u"ＭＳ Ｐゴシック"_s, u"IPAPGothic"_s},
                                         FontCase{u"MS PGothic"_s, u"IPAPGothic"_s},
                                         FontCase{u"ＭＳ ゴシック"_s, u"IPAGothic"_s},
                                         FontCase{u"MS Gothic"_s, u"IPAGothic"_s}),
                         fontCaseName);

} // namespace
