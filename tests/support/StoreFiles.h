// Files for the Qt tests: whole files read and written, settings files in the registry export
// format, values read back through the store, and a fixture that gives each test a settings
// folder of its own.
#pragma once

#include "tests/support/QtPrinters.h"

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <initializer_list>
#include <optional>
#include <utility>

namespace morvex::test {

/// One key of a prepared settings file: the key below "\Software\QOR\Morvex" and its value
/// lines as a registry export writes them ("\"Name\"=dword:00000001").
struct StoreSection {
    QString key;
    QStringList values;
};

/// A settings file in the registry export format.
QByteArray storeText(const QList<StoreSection>& sections);
/// "\"name\"=\"text\"" with the export's escapes.
QString textValue(const QString& name, QString text);
/// "\"name\"=dword:xxxxxxxx".
QString numberValue(const QString& name, quint32 number);
/// The store's name of a key below "\Software\QOR\Morvex".
QString morvexKey(const QString& below);

/// Writes a whole file, making the folders on the way.
bool writeBytes(const QString& path, const QByteArray& bytes);
/// A whole file; empty when it cannot be read.
QByteArray readBytes(const QString& path);

/// One value as a fresh handle on the store at `file` (the user's store when empty) reads it:
/// nothing when its key or the value is missing or holds the other kind.
std::optional<qint32> storedNumber(const QString& key, const QString& name,
                                   const QString& file = {});
std::optional<QString> storedText(const QString& key, const QString& name,
                                  const QString& file = {});

/// Each test starts from an empty store in a settings folder of its own (under `base`), which
/// stands for the user's until the test ends.
class StoreTest : public ::testing::Test {
protected:
    explicit StoreTest(const QString& base = QDir::tempPath());

    void SetUp() override;
    void TearDown() override;

    QString configDir() const { return m_home.path(); }
    QString storeFile() const;
    QByteArray storeBytes() const { return readBytes(storeFile()); }
    void writeStore(const QByteArray& bytes) const;
    void writeStore(const QList<StoreSection>& sections) const { writeStore(storeText(sections)); }

    /// Values written through the store, as the program writes them.
    static void writeNumbers(const QString& key,
                             std::initializer_list<std::pair<QString, int>> values);
    static void writeText(const QString& key, const QString& name, const QString& text);

private:
    QTemporaryDir m_home;
    QByteArray m_userConfig;
};

} // namespace morvex::test
