#include "settings/EngineBytes.h"

namespace morvex {

std::string bytes(const QString& text) {
    return text.toUtf8().toStdString();
}

} // namespace morvex
