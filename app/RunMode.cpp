#include "RunMode.h"

#include <algorithm>
#include <string_view>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

bool isSwitch(const QString& argument, char16_t letter) {
    if (argument.size() != 2 || (argument[0] != u'/' && argument[0] != u'-'))
        return false;
    const QChar given = argument[1];
    return given == QChar(letter) || given == QChar(letter).toUpper();
}

// Qt's options and its X11 platform's, with and without a value; each may also start with "--".
constexpr std::u16string_view kOptionsWithValue[] = {
    u"-platform",
    u"-platformpluginpath",
    u"-platformtheme",
    u"-plugin",
    u"-qwindowgeometry",
    u"-qwindowicon",
    u"-qwindowtitle",
    u"-session",
    u"-style",
    u"-stylesheet",
    u"-display",
    u"-geometry",
    u"-title",
    u"-icon",
    u"-name",
    u"-visual",
    u"-ncols",
};
constexpr std::u16string_view kFlags[] = {
    u"-reverse", u"-widgetcount", u"-testability", u"-nograb", u"-dograb", u"-sync", u"-cmap",
};
constexpr std::u16string_view kJoinedPrefixes[] = {u"-style=", u"-stylesheet=", u"-qmljsdebugger="};

template <size_t N> bool isOneOf(QStringView word, const std::u16string_view (&list)[N]) {
    return std::any_of(std::begin(list), std::end(list),
                       [word](std::u16string_view option) { return word == QStringView(option); });
}

} // namespace

QStringList withoutToolkitOptions(const QStringList& arguments) {
    QStringList left;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QStringView word(arguments[i]);
        if (word.startsWith(u"--"))
            word = word.mid(1);
        if (isOneOf(word, kOptionsWithValue)) {
            ++i; // its value goes with it
            continue;
        }
        const bool joined = std::any_of(
            std::begin(kJoinedPrefixes), std::end(kJoinedPrefixes),
            [word](std::u16string_view prefix) { return word.startsWith(QStringView(prefix)); });
        if (!joined && !isOneOf(word, kFlags))
            left << arguments[i];
    }
    return left;
}

RunMode runModeFor(const QStringList& arguments) {
    if (arguments.isEmpty())
        return RunMode::Interactive;
    const QString& first = arguments.first();
    // The order of the rows decides, as the first match wins.
    const std::pair<char16_t, RunMode> rows[] = {
        {u'a', RunMode::AutoRun},
        {u'c', RunMode::ConvertOnce},
        {u'o', RunMode::Observe},
        {u'w', RunMode::WatchApp},
    };
    for (const auto& [letter, mode] : rows) {
        if (isSwitch(first, letter))
            return mode;
    }
    return RunMode::Idle;
}

QStringList argumentsAsGiven(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace morvex
