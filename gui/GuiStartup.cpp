#include "GuiStartup.h"

#include "Accessibility.h"

#include <QFont>
#include <QStringDecoder>
#include <QStringList>

namespace morvex {
using namespace Qt::StringLiterals;

void installFontSubstitutions() {
    // Noto CJK is deliberately absent: its taller lines clip the fixed 96-dpi layouts.
    const QStringList proportional{u"IPAPGothic"_s, u"VL PGothic"_s};
    const QStringList monospaced{u"IPAGothic"_s, u"VL Gothic"_s};
    for (const QString& family : {u"ＭＳ Ｐゴシック"_s, u"MS PGothic"_s})
        QFont::insertSubstitutions(family, proportional);
    for (const QString& family : {u"ＭＳ ゴシック"_s, u"MS Gothic"_s})
        QFont::insertSubstitutions(family, monospaced);
}

bool shiftJisCodecAvailable() {
    return QStringDecoder("windows-31j").isValid();
}

bool prepareGui(QString* error) {
    installFontSubstitutions();
    describeWindowsWhenShown();
    if (!shiftJisCodecAvailable()) {
        if (error)
            *error = u"The Shift-JIS codec (windows-31j) is not available in this Qt build."_s;
        return false;
    }
    return true;
}

} // namespace morvex
