#include "gui/GuiStartup.h"

#include "gui/Accessibility.h"
#include "gui/LazyIcon.h"

#include <QAccessible>
#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QHash>
#include <QPointer>
#include <QProxyStyle>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <system_error>
#include <thread>
#ifdef MORVEX_WARM_FONTS
#include <fontconfig/fontconfig.h>
#endif

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

// Noto CJK is deliberately absent: its taller lines clip the fixed 96-dpi layouts.
const QStringList& standInsFor(const QString& family) {
    static const QStringList proportional{u"IPAPGothic"_s, u"VL PGothic"_s};
    static const QStringList monospaced{u"IPAGothic"_s, u"VL Gothic"_s};
    static const QStringList none;
    if (family == u"ＭＳ Ｐゴシック"_s || family == u"MS PGothic"_s)
        return proportional;
    if (family == u"ＭＳ ゴシック"_s || family == u"MS Gothic"_s)
        return monospaced;
    return none;
}

class LazyIconStyle : public QProxyStyle {
public:
    explicit LazyIconStyle(QStyle* desktopStyle)
        : QProxyStyle(desktopStyle) {
        // Tools that recognise their own style by this name (qt6ct) still see it.
        setObjectName(desktopStyle->objectName());
    }

    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override {
        if (which == SP_ToolBarHorizontalExtensionButton) {
            return lazyIcon([style = QPointer<QStyle>(baseStyle()), which] {
                // A style set since (a desktop's live change) has taken the wrapped one's place.
                return (style ? style.data() : QApplication::style())->standardIcon(which);
            });
        }
        return QProxyStyle::standardIcon(which, option, widget);
    }
};

} // namespace

void installLazyIconStyle() {
    QApplication::setStyle(new LazyIconStyle(QApplication::style()));
}

void installFontSubstitutions() {
    for (const QString& family :
         {u"ＭＳ Ｐゴシック"_s, u"MS PGothic"_s, u"ＭＳ ゴシック"_s, u"MS Gothic"_s})
        QFont::insertSubstitutions(family, standInsFor(family));
}

QString designedFamily(const QString& family) {
    // A family the font database lacks sends Qt through fontconfig's fallback search (a sort of
    // every installed font, once for each style and script) before it tries the substitutes:
    // the better part of the main window's start-up. Naming the installed stand-in skips it.
    static QHash<QString, QString> resolved; // the GUI thread's only
    const auto known = resolved.constFind(family);
    if (known != resolved.cend())
        return *known;
    QString chosen = family;
    if (!QFontDatabase::hasFamily(family)) {
        const QStringList& standIns = standInsFor(family);
        const auto installed =
            std::find_if(standIns.cbegin(), standIns.cend(),
                         [](const QString& standIn) { return QFontDatabase::hasFamily(standIn); });
        if (installed != standIns.cend())
            chosen = *installed;
    }
    resolved.insert(family, chosen);
    return chosen;
}

void joinBusWhileFontsLoad() {
    // The first label asks whether accessibility is on, and the bridge that answers joins the
    // session bus first: round trips, and where no bus address is set, the start of dbus-launch.
    // Asked here, that wait is spent reading the font configuration, which the first text needs;
    // read any earlier, it would only slow the loading of Qt on the other core.
    std::thread fonts;
#ifdef MORVEX_WARM_FONTS
    try {
        fonts = std::thread([] { FcInit(); });
    } catch (const std::system_error&) {
        // No thread: the first text reads the configuration itself.
    }
#endif
    (void)QAccessible::isActive();
    if (fonts.joinable())
        fonts.join();
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
