// A stand-in StatusNotifierWatcher with a host: owns org.kde.StatusNotifierWatcher on the session
// bus, records each item that registers and reads back what a host would draw: the tooltip and
// the labels of the exported menu. One line on stdout per finding:
//   ready | item <service> | tooltip <title>|<text> | menu <label>|<label>|...
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QStringList>
#include <QTimer>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void say(const QString& line) {
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

QVariant itemProperty(const QString& service, const QString& path, const QString& name) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        service, path, u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    get.setArguments({u"org.kde.StatusNotifierItem"_s, name});
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

// ToolTip is (icon name, pixmaps a(iiay), title, text).
QString tooltipOf(const QVariant& value) {
    const auto arg = value.value<QDBusArgument>();
    QString icon, title, text;
    arg.beginStructure();
    arg >> icon;
    arg.beginArray();
    while (!arg.atEnd()) {
        int width = 0, height = 0;
        QByteArray pixels;
        arg.beginStructure();
        arg >> width >> height >> pixels;
        arg.endStructure();
    }
    arg.endArray();
    arg >> title >> text;
    arg.endStructure();
    return title + u'|' + text;
}

// A dbusmenu layout node is (id, properties, children as variants); hidden items are left out.
void collectLabels(const QDBusArgument& arg, QStringList& labels) {
    int id = 0;
    QVariantMap properties;
    arg.beginStructure();
    arg >> id >> properties;
    const bool visible = properties.value(u"visible"_s, true).toBool();
    if (visible && properties.value(u"type"_s).toString() == u"separator"_s)
        labels << u"-"_s;
    else if (visible && properties.contains(u"label"_s))
        labels << properties.value(u"label"_s).toString();
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        collectLabels(child.variant().value<QDBusArgument>(), labels);
    }
    arg.endArray();
    arg.endStructure();
}

QString menuOf(const QString& service, const QString& path) {
    QDBusMessage get =
        QDBusMessage::createMethodCall(service, path, u"com.canonical.dbusmenu"_s, u"GetLayout"_s);
    get.setArguments({0, -1, QStringList()});
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2)
        return u"(none)"_s;
    QStringList labels;
    collectLabels(reply.arguments().at(1).value<QDBusArgument>(), labels);
    return labels.join(u'|');
}

class Watcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return m_items; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& serviceOrPath) {
        // An item names its service, or only its path on the sender's connection.
        const bool isPath = serviceOrPath.startsWith(u'/');
        const QString service = isPath ? message().service() : serviceOrPath;
        const QString path = isPath ? serviceOrPath : u"/StatusNotifierItem"_s;
        m_items << service;
        say(u"item "_s + service);
        // Read it once the call has been answered, as a host does.
        QTimer::singleShot(0, this, [service, path] {
            say(u"tooltip "_s + tooltipOf(itemProperty(service, path, u"ToolTip"_s)));
            const auto menu = itemProperty(service, path, u"Menu"_s).value<QDBusObjectPath>();
            say(u"menu "_s + (menu.path().isEmpty() ? u"(none)"_s : menuOf(service, menu.path())));
        });
    }
    void RegisterStatusNotifierHost(const QString&) {}

private:
    QStringList m_items;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Watcher watcher;
    if (!bus.isConnected() ||
        !bus.registerObject(u"/StatusNotifierWatcher"_s, &watcher,
                            QDBusConnection::ExportAllSlots |
                                QDBusConnection::ExportAllProperties) ||
        !bus.registerService(u"org.kde.StatusNotifierWatcher"_s)) {
        std::fputs("no session bus\n", stderr);
        return 2;
    }
    say(u"ready"_s);
    return QCoreApplication::exec();
}

#include "SniWatcherStandIn.moc"
