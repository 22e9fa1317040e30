#pragma once

#include <QByteArray>
#include <QString>

// What reading and writing the registry export format share: its fixed words and the rules of
// which text a line may hold.
namespace morvex::regformat {

inline const QString kHeaderV5 = QStringLiteral("Windows Registry Editor Version 5.00");
inline const QString kHeaderV4 = QStringLiteral("REGEDIT4");
inline const QString kHive = QStringLiteral("HKEY_CURRENT_USER");

/// Key paths and value names match case-insensitively; this is the form they are compared in.
inline QString fold(const QString& text) {
    return text.toCaseFolded();
}

inline bool isControl(QChar c) {
    return (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F;
}

/// True when every surrogate in `text` is one half of a pair.
inline bool validUtf16(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return false;
    }
    return true;
}

/// The UTF-16LE units of `text`, as hex(1) data holds them.
inline QByteArray utf16Bytes(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

} // namespace morvex::regformat
