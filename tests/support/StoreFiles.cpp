#include "tests/support/StoreFiles.h"

#include "settings/SettingsStore.h"

#include <QFile>
#include <QFileInfo>

namespace morvex::test {

using namespace Qt::StringLiterals;

QByteArray storeText(const QList<StoreSection>& sections) {
    QByteArray text = "Windows Registry Editor Version 5.00\n";
    for (const StoreSection& section : sections) {
        text += "\n[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\" + section.key.toUtf8() + "]\n";
        for (const QString& value : section.values)
            text += value.toUtf8() + '\n';
    }
    return text;
}

QString textValue(const QString& name, QString text) {
    text.replace(u"\\"_s, u"\\\\"_s).replace(u'"', u"\\\""_s);
    return u'"' + name + u"\"=\""_s + text + u'"';
}

QString numberValue(const QString& name, quint32 number) {
    return u'"' + name + u"\"=dword:"_s + u"%1"_s.arg(number, 8, 16, QChar(u'0'));
}

QString morvexKey(const QString& below) {
    return u"\\Software\\QOR\\Morvex\\"_s + below;
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

namespace {

template <typename T, typename Read>
std::optional<T> stored(const QString& key, const QString& name, const QString& file, Read read) {
    SettingsStore store(file.isEmpty() ? SettingsStore::defaultFilePath() : file);
    if (!store.StoreOpen(key, false) || !store.ValuePresent(name))
        return std::nullopt;
    const StoreValue<T> value = read(store);
    return value ? std::optional<T>(value.value()) : std::nullopt;
}

} // namespace

std::optional<qint32> storedNumber(const QString& key, const QString& name, const QString& file) {
    return stored<qint32>(key, name, file,
                          [&](SettingsStore& store) { return store.ReadNumber(name); });
}

std::optional<QString> storedText(const QString& key, const QString& name, const QString& file) {
    return stored<QString>(key, name, file,
                           [&](SettingsStore& store) { return store.ReadText(name); });
}

StoreTest::StoreTest(const QString& base)
    : m_home(base + u"/morvex-store-test-XXXXXX"_s) {}

void StoreTest::SetUp() {
    ASSERT_TRUE(m_home.isValid());
    m_userConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path()));
    ASSERT_EQ(SettingsStore::defaultFilePath(), storeFile());
}

void StoreTest::TearDown() {
    qputenv("XDG_CONFIG_HOME", m_userConfig);
}

QString StoreTest::storeFile() const {
    return m_home.path() + u"/morvex/settings.reg"_s;
}

void StoreTest::writeStore(const QByteArray& bytes) const {
    ASSERT_TRUE(writeBytes(storeFile(), bytes));
}

void StoreTest::writeNumbers(const QString& key,
                             std::initializer_list<std::pair<QString, int>> values) {
    SettingsStore store;
    ASSERT_TRUE(store.StoreOpen(key, true));
    for (const auto& [name, value] : values)
        ASSERT_TRUE(store.WriteNumber(name, value).ok());
    ASSERT_TRUE(store.StoreClose().ok());
}

void StoreTest::writeText(const QString& key, const QString& name, const QString& text) {
    SettingsStore store;
    ASSERT_TRUE(store.StoreOpen(key, true));
    ASSERT_TRUE(store.WriteText(name, text).ok());
    ASSERT_TRUE(store.StoreClose().ok());
}

} // namespace morvex::test
