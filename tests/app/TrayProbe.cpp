// A stand-in for the unattended modes: the real main window with one or both of its icons shown,
// the D-Bus requests registered, and every icon event written to stdout, one line each.
//   tray_probe [ObserveTask|AppRunTask|both|window]
// "window" shows the main window instead and reports the animation's events.
#include "app/Application.h"
#include "app/Main_U.h"
#include "app/desktop/AnimWnd.h"
#include "app/desktop/TaskIcon.h"
#include "gui/GuiStartup.h"
#include "modes/DBusRequests.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdio>
#include <memory>

using namespace morvex;
using namespace Qt::StringLiterals;

namespace {

void say(const QString& line) {
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

QString kindName(TrayKind kind) {
    switch (kind) {
    case TrayKind::None:
        return u"none"_s;
    case TrayKind::XEmbed:
        return u"xembed"_s;
    case TrayKind::StatusNotifier:
        return u"sni"_s;
    }
    return {};
}

QString point(QPoint pos) {
    return u"%1 %2"_s.arg(pos.x()).arg(pos.y());
}

void watch(TTaskIcon* icon) {
    const QString name = icon->objectName();
    const auto log = [name](const char* event) {
        return [name, event](Qt::MouseButton button, QPoint pos) {
            say(u"%1 %2 %3 %4"_s.arg(name, QString::fromLatin1(event),
                                     button == Qt::RightButton ? u"right"_s : u"left"_s,
                                     point(pos)));
        };
    };
    QObject::connect(icon, &TTaskIcon::OnClick, icon, log("click"));
    QObject::connect(icon, &TTaskIcon::OnMouseDown, icon, log("down"));
    QObject::connect(icon, &TTaskIcon::OnMouseUp, icon, log("up"));
    QObject::connect(icon, &TTaskIcon::OnDblClick, icon, log("dblclick"));
    QObject::connect(icon, &TTaskIcon::menuPopped, icon, [name](QMenu* menu, QPoint pos) {
        say(u"%1 popped %2 %3"_s.arg(name, menu->objectName(), point(pos)));
    });
    icon->setVisible(true);
    // A second time changes nothing: still one icon.
    icon->setVisible(true);
    say(u"%1 shown %2"_s.arg(name, kindName(icon->trayKind())));
    say(u"%1 icons %2"_s.arg(name).arg(icon->findChildren<QSystemTrayIcon*>().size()));
    // The icon's place on the screen once the tray has embedded it and stopped moving it
    // (XEmbed only): the same place in four polls in a row.
    auto* poll = new QTimer(icon);
    auto last = std::make_shared<std::pair<QRect, int>>();
    QObject::connect(poll, &QTimer::timeout, icon, [icon, poll, name, last] {
        const QRect place = icon->trayIcon() ? icon->trayIcon()->geometry() : QRect();
        if (place.isEmpty() || place.topLeft() == QPoint(0, 0) || place != last->first) {
            *last = {place, 0};
            return;
        }
        if (++last->second < 4)
            return;
        poll->stop();
        say(u"%1 geometry %2 %3 %4"_s.arg(name, point(place.topLeft()))
                .arg(place.width())
                .arg(place.height()));
    });
    poll->start(50);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QString error;
    if (!prepareGui(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    const QStringList arguments = QApplication::arguments().mid(1);
    const QString which = arguments.value(0, u"ObserveTask"_s);
    MorvexApplication morvexApplication;
    TMorvexF window(morvexApplication);
    const DBusRequests requests({[] { say(u"SaveAndQuit"_s); },
                                 [&window] {
                                     window.PopupObserveMenu();
                                 }});
    say(u"dbus %1"_s.arg(requests.isRegistered() ? u"registered"_s : u"absent"_s));
    // The window's parts by their designed names.
    QMenu* const menu = window.findChild<QMenu*>(u"ObserveMnu"_s);
    auto* const animation = window.findChild<TAnimateWindow*>(u"AnimateWindow1"_s);
    QObject::connect(menu, &QMenu::aboutToShow, &window, [&window, menu] {
        // The place is only known once the menu is on the screen.
        QTimer::singleShot(0, &window, [menu] {
            const QRect place = menu->geometry();
            say(u"menu shown %1 %2 %3"_s.arg(point(place.topLeft()))
                    .arg(place.width())
                    .arg(place.height()));
        });
    });
    QObject::connect(menu, &QMenu::aboutToHide, &window, [] { say(u"menu hidden"_s); });
    if (which == u"window"_s) {
        QObject::connect(animation, &TAnimateWindow::OnMinimize, &window, [](QObject* sender) {
            say(u"OnMinimize "_s + QString::fromLatin1(sender->metaObject()->className()));
        });
        QObject::connect(
            animation, &TAnimateWindow::OnRestore, &window, [&window](QObject* sender) {
                say(u"OnRestore %1 %2"_s.arg(QString::fromLatin1(sender->metaObject()->className()),
                                             window.isVisible() ? u"visible"_s : u"hidden"_s));
            });
        window.show();
        say(u"window %1"_s.arg(window.winId()));
    }
    if (which == u"AppRunTask"_s || which == u"both"_s)
        watch(window.findChild<TTaskIcon*>(u"AppRunTask"_s));
    if (which == u"ObserveTask"_s || which == u"both"_s)
        watch(window.findChild<TTaskIcon*>(u"ObserveTask"_s));
    return QApplication::exec();
}
