#pragma once

#include <QObject>

class QSocketNotifier;

namespace morvex {

/// Turns SIGTERM, SIGINT and SIGHUP into the Qt signal `quitRequested` on the GUI thread.
/// The C handler only writes the signal number into a socket pair; a QSocketNotifier reads it
/// in the event loop, so everything the request runs happens where Qt allows it.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    /// False when the socket pair could not be made (the signals then keep their defaults).
    bool isActive() const { return m_notifier != nullptr; }

Q_SIGNALS:
    /// One emission per received signal, with its number.
    void quitRequested(int signalNumber);

private:
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace morvex
