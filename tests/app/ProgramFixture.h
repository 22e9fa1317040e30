// The built program as a child process in a folder of its own: "work/" is its current folder and
// holds a footer list "f.mfl" ("-- sig"), a header list "h.mhl" ("Re: \H") and the upload files,
// "config/" holds its settings and "tmp/" is its TMPDIR. No desktop unless a test gives one.
#pragma once

#include "tests/support/Programs.h"
#include "tests/support/StoreFiles.h"

#include <QDir>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace morvex::test {

class ProgramFixture : public ::testing::Test {
protected:
    explicit ProgramFixture(const QString& base = QDir::tempPath())
        : m_root(base + QStringLiteral("/morvex-program-XXXXXX")) {}

    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        ASSERT_TRUE(writeBytes(work(QStringLiteral("f.mfl")), "-- sig\r\n"));
        ASSERT_TRUE(writeBytes(work(QStringLiteral("h.mhl")), "Re: \\H\r\n"));
        ASSERT_TRUE(QDir().mkpath(root(QStringLiteral("tmp"))));
    }

    QString root(const QString& name) const { return m_root.filePath(name); }
    QString work(const QString& name) const { return root(QStringLiteral("work/") + name); }
    QString storePath(const QString& config = QStringLiteral("config")) const {
        return root(config + QStringLiteral("/morvex/settings.reg"));
    }

    /// The File group: `sources` (the work folder's "*.up" when none) and the two lists.
    StoreSection fileGroup(QStringList sources = {}) const {
        if (sources.isEmpty())
            sources << work(QStringLiteral("*.up"));
        QStringList values = {
            numberValue(QStringLiteral("SrcFileCount"), static_cast<quint32>(sources.size()))};
        for (int i = 0; i < sources.size(); ++i)
            values << textValue(
                QStringLiteral("SrcFileName") + (i ? QString::number(i) : QString()), sources[i]);
        values << textValue(QStringLiteral("FutterFileName"), work(QStringLiteral("f.mfl")))
               << textValue(QStringLiteral("HeaderFileName"), work(QStringLiteral("h.mhl")));
        return {QStringLiteral("File"), values};
    }
    void writeStore(const QList<StoreSection>& sections,
                    const QString& config = QStringLiteral("config")) const {
        ASSERT_TRUE(writeBytes(storePath(config), storeText(sections)));
    }

    /// Without a desktop, with the fixture's settings and TMPDIR.
    QProcessEnvironment environment() const {
        QProcessEnvironment env = withoutDesktop();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root(QStringLiteral("config")));
        env.insert(QStringLiteral("TMPDIR"), root(QStringLiteral("tmp")));
        return env;
    }
    /// Starts the program (another build when MORVEX_UNDER_TEST names one) in the work folder.
    void launch(QProcess& process, const QStringList& arguments,
                const QProcessEnvironment& environment) const {
        const QByteArray other = qgetenv("MORVEX_UNDER_TEST");
        process.setProgram(QString::fromUtf8(other.isEmpty() ? MORVEX_PROGRAM : other));
        process.setArguments(arguments);
        process.setWorkingDirectory(root(QStringLiteral("work")));
        process.setProcessEnvironment(environment);
        process.start();
    }

private:
    QTemporaryDir m_root;
};

} // namespace morvex::test
