#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

namespace morvex::test {

/// One key of a prepared settings file: the key below "\Software\QOR\Morvex" and its value
/// lines as a registry export writes them ("\"Name\"=dword:00000001").
struct StoreSection {
    QString key;
    QStringList values;
};

/// A settings file in the registry export format.
inline QByteArray storeText(const QList<StoreSection>& sections) {
    QByteArray text = "Windows Registry Editor Version 5.00\n";
    for (const StoreSection& section : sections) {
        text += "\n[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\" + section.key.toUtf8() + "]\n";
        for (const QString& value : section.values)
            text += value.toUtf8() + '\n';
    }
    return text;
}

/// "\"name\"=\"text\"" with the export's escapes.
inline QString textValue(const QString& name, QString text) {
    text.replace(QStringLiteral("\\"), QStringLiteral("\\\\"))
        .replace(u'"', QStringLiteral("\\\""));
    return u'"' + name + QStringLiteral("\"=\"") + text + u'"';
}

/// "\"name\"=dword:xxxxxxxx".
inline QString numberValue(const QString& name, quint32 number) {
    return u'"' + name + QStringLiteral("\"=dword:") +
           QStringLiteral("%1").arg(number, 8, 16, QChar(u'0'));
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace morvex::test
