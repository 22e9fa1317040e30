#include "modes/DBusRequests.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace morvex {
using namespace Qt::StringLiterals;

DBusRequests::DBusRequests(Handlers handlers, QObject* parent)
    : QObject(parent)
    , m_handlers(std::move(handlers)) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    if (!bus.registerObject(QString::fromLatin1(kObjectPath), this,
                            QDBusConnection::ExportScriptableSlots))
        return;
    // The shared name waits in the bus's queue while another instance holds it.
    bus.interface()->registerService(QString::fromLatin1(kServiceName),
                                     QDBusConnectionInterface::QueueService,
                                     QDBusConnectionInterface::DontAllowReplacement);
    m_registered = bus.registerService(instanceName());
}

DBusRequests::~DBusRequests() {
    if (!m_registered)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(instanceName());
    bus.unregisterService(QString::fromLatin1(kServiceName));
    bus.unregisterObject(QString::fromLatin1(kObjectPath));
}

QString DBusRequests::instanceName() {
    return QString::fromLatin1(kInstancePrefix) +
           QString::number(QCoreApplication::applicationPid());
}

QByteArray DBusRequests::noIconLine() {
    const QString pid = QString::number(QCoreApplication::applicationPid());
    QString line = u"morvex: no notification area was found, so Morvex runs without its icon; "
                   u"end it with "_s;
    // The D-Bus request saves the settings, as the icon menu's exit would; without a session bus
    // nobody can reach it, and only the signal is left to name.
    if (QDBusConnection::sessionBus().isConnected()) {
        line += u"\"gdbus call --session --dest %1 --object-path %2 "
                u"--method jp.qor.Morvex.SaveAndQuit\" or "_s.arg(instanceName(),
                                                                  QString::fromLatin1(kObjectPath));
    }
    line += u"\"kill %1\""_s.arg(pid);
    return line.toLocal8Bit();
}

void DBusRequests::SaveAndQuit() {
    if (calledFromDBus()) {
        // The process ends without returning to the event loop: answer first, and wait for a
        // round trip to the bus so that the answer has surely left before the end.
        setDelayedReply(true);
        QDBusConnection bus = connection();
        bus.send(message().createReply());
        bus.call(QDBusMessage::createMethodCall(u"org.freedesktop.DBus"_s,
                                                u"/org/freedesktop/DBus"_s,
                                                u"org.freedesktop.DBus"_s, u"GetId"_s));
    }
    if (m_handlers.saveAndQuit)
        m_handlers.saveAndQuit();
}

void DBusRequests::PopupObserveMenu() {
    if (m_handlers.popupObserveMenu)
        m_handlers.popupObserveMenu();
}

} // namespace morvex
