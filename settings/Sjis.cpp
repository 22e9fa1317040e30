#include "Sjis.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace morvex::sjis {

namespace {
constexpr const char* codecName = "windows-31j";
}

QString decode(QByteArrayView bytes) {
    QStringDecoder decoder(codecName);
    return decoder(bytes);
}

QByteArray encode(const QString& text) {
    QStringEncoder encoder(codecName);
    return encoder(text);
}

bool encodable(const QString& text) {
    QStringEncoder encoder(codecName, QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder(text);
    return !encoder.hasError() && decode(bytes) == text;
}

} // namespace morvex::sjis
