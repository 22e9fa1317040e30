#include "modes/RunMode.h"

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

bool isSwitch(const QString& argument, char16_t letter) {
    if (argument.size() != 2 || (argument[0] != u'/' && argument[0] != u'-'))
        return false;
    const QChar given = argument[1];
    return given == QChar(letter) || given == QChar(letter).toUpper();
}

} // namespace

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
