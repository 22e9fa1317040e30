#pragma once

#include "settings/SettingsStore.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Points the user's configuration folder at a fresh temporary folder for each test.
class StoreTest : public ::testing::Test {
protected:
    explicit StoreTest(const QString& base = QDir::tempPath())
        : m_home(base + QStringLiteral("/morvex-store-test-XXXXXX")) {}

    void SetUp() override {
        ASSERT_TRUE(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path()));
        ASSERT_EQ(morvex::SettingsStore::defaultFilePath(), storeFile());
    }

    QString configDir() const { return m_home.path(); }
    QString storeFile() const { return m_home.path() + QStringLiteral("/morvex/settings.reg"); }

    QByteArray fileBytes() const {
        QFile file(storeFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void writeFile(const QByteArray& bytes) const {
        QDir().mkpath(m_home.path() + QStringLiteral("/morvex"));
        QFile file(storeFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

private:
    QTemporaryDir m_home;
};
