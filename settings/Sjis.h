#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace morvex::sjis {

/// Decodes Shift-JIS (code page 932) bytes for display; invalid bytes become U+FFFD.
QString decode(QByteArrayView bytes);

/// Encodes text as Shift-JIS (code page 932); characters it cannot hold become "?".
QByteArray encode(const QString& text);

/// True when every character of `text` has a code page 932 form.
bool encodable(const QString& text);

} // namespace morvex::sjis
