#include "settings/EngineBytes.h"

namespace morvex {

std::string bytes(const QString& text) {
    return text.toUtf8().toStdString();
}

QString fromBytes(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace morvex
