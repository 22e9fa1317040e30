#pragma once

#include <QDBusContext>
#include <QObject>
#include <functional>

namespace morvex {

/// The requests other programs send over the session D-Bus: object /jp/qor/Morvex, interface
/// jp.qor.Morvex, under the name jp.qor.Morvex (the first instance; queued for the others, so
/// it passes on when its owner ends) and jp.qor.Morvex.Instance<pid> (always this process).
/// Without a session bus nothing is registered and nothing is said. On QtCore alone, so that the
/// runs without a desktop answer too.
class DBusRequests : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "jp.qor.Morvex")

public:
    static constexpr const char* kServiceName = "jp.qor.Morvex";
    static constexpr const char* kObjectPath = "/jp/qor/Morvex";
    static constexpr const char* kInstancePrefix = "jp.qor.Morvex.Instance";

    struct Handlers {
        std::function<void()> saveAndQuit;      ///< save the settings and end the process
        std::function<void()> popupObserveMenu; ///< pop the icon menu up at the cursor
    };

    explicit DBusRequests(Handlers handlers, QObject* parent = nullptr);
    ~DBusRequests() override;

    /// True when the object and the per-instance name are on the bus.
    bool isRegistered() const { return m_registered; }
    /// This process's own name: jp.qor.Morvex.Instance<pid>.
    static QString instanceName();
    /// The line that says how to end a process shown by no icon: the D-Bus call (when there is
    /// a session bus) and the signal.
    static QByteArray noIconLine();

public Q_SLOTS:
    Q_SCRIPTABLE void SaveAndQuit();
    Q_SCRIPTABLE void PopupObserveMenu();

private:
    Handlers m_handlers;
    bool m_registered = false;
};

} // namespace morvex
