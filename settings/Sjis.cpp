#include "settings/Sjis.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace morvex::sjis {

namespace {
constexpr const char* kCodecName = "windows-31j";
}

QString decode(QByteArrayView bytes) {
    QStringDecoder decoder(kCodecName);
    return decoder(bytes);
}

QByteArray encode(const QString& text) {
    QStringEncoder encoder(kCodecName);
    return encoder(text);
}

bool encodable(const QString& text) {
    QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder(text);
    return !encoder.hasError() && decode(bytes) == text;
}

} // namespace morvex::sjis
