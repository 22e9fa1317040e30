// The main window where a user would otherwise be left without a way on: a stored place on no
// screen, a manual that cannot be shown.
#include "controls/MaruBtn.h"
#include "settings/MainWindowGroups.h"
#include "tests/app/MainWindowTestSupport.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

namespace morvex::test {
namespace {
using namespace Qt::StringLiterals;

TEST_F(MainWindowTest, AStoredPlaceOnNoScreenIsLeftToTheSystemAnyOtherIsKeptExactly) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint unplaced = TMorvexF(application).pos();
    const struct {
        int left, top;
        bool kept;
    } cases[] = {
        {60, 50, true},
        {screen.right() - 10, screen.bottom() - 10, true}, // a corner still shows
        {-300, 40, true},
        {screen.right() + 200, 40, false},
        {5000, 5000, false},
        {-2000, 100, false},
        {100, -900, false},
        {100, screen.bottom() + 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.left) + "," + std::to_string(c.top));
        writeStore({{u"System"_s,
                     {numberValue(u"WindowTop"_s, c.top), numberValue(u"WindowLeft"_s, c.left)}}});
        TMorvexF& w = create();
        EXPECT_EQ(w.pos(), c.kept ? QPoint(c.left, c.top) : unplaced);
    }
}

TEST_F(MainWindowTest, TheListCaptionsEndClearOfTheirRoundButtons) {
    TMorvexF& w = create({u"/x"_s});
    for (const auto& [caption, round] : {std::pair{ui(w).HeaderLbl, ui(w).HeaderBtn},
                                         std::pair{ui(w).FutterLbl, ui(w).FutterBtn}}) {
        SCOPED_TRACE(caption->objectName().toStdString());
        const QString shown = QString(caption->text()).remove(u'&');
        const int end = caption->x() + caption->fontMetrics().horizontalAdvance(shown);
        EXPECT_LE(end + 3, round->x());
        EXPECT_EQ(caption->pos(), QPoint(4, round->y() + 2));
    }
}

/// PATH holds only a folder of our own while it lives, so the desktop launcher is ours.
class OwnLauncher {
public:
    OwnLauncher()
        : m_path(qgetenv("PATH")) {
        qputenv("PATH", QFile::encodeName(m_folder.path()));
    }
    ~OwnLauncher() { qputenv("PATH", m_path); }

    /// An xdg-open that notes what it was asked to open and ends with `status`.
    void install(int status) const {
        const QString script =
            u"#!/bin/sh\nprintf '%s\\n' \"$1\" > '%1'\nexit %2\n"_s.arg(openedPath()).arg(status);
        const QString launcher = m_folder.filePath(u"xdg-open"_s);
        QFile::remove(launcher);
        ASSERT_TRUE(writeBytes(launcher, script.toUtf8()));
        QFile::setPermissions(launcher, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString openedPath() const { return m_folder.filePath(u"opened"_s); }
    QByteArray opened() const { return readBytes(openedPath()); }

private:
    QTemporaryDir m_folder;
    QByteArray m_path;
};

TEST_F(MainWindowTest, AManualThatCannotBeShownIsNamedInAMessageBox) {
    TMorvexF& w = create({u"/x"_s});
    const QString manual = programDirectory() + u"Morvex.html"_s;
    const bool hadManual = QFileInfo::exists(manual);
    if (!hadManual) {
        ASSERT_TRUE(writeBytes(manual, "<html></html>"));
    }
    OwnLauncher launcher;

    // No launcher at all, and Qt's offscreen platform has no other way to open a file.
    ui(w).Contents->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, u"Morvex"_s);
    EXPECT_TRUE(messages[0].second.contains(manual)) << messages[0].second.toStdString();

    // A launcher that finds no application for HTML files (xdg-open says so with status 3).
    launcher.install(3);
    ui(w).Contents->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return messages.size() == 2; }, 5000));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[1].second.contains(manual)) << messages[1].second.toStdString();
    EXPECT_EQ(launcher.opened(), manual.toUtf8() + '\n');

    // One that succeeds: no box, also once its end has been dealt with.
    launcher.install(0);
    QFile::remove(launcher.openedPath());
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.findChildren<QProcess*>().isEmpty(); }, 5000));
    ui(w).Contents->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.findChildren<QProcess*>().isEmpty(); }, 5000));
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(launcher.opened(), manual.toUtf8() + '\n');

    if (!hadManual)
        QFile::remove(manual);
}

} // namespace
} // namespace morvex::test
