#pragma once

#include "modes/ExitStatus.h"

#include <QObject>
#include <QString>
#include <memory>

class QLockFile;

namespace morvex {

/// The single-instance guard: with a non-empty `MutexID`, a second process asking for the same
/// name ends at once with status 255. The guard is a lock file in the user's runtime folder;
/// one left behind by a killed process is recognised as stale and taken over.
class TCheckMutex : public QObject {
    Q_OBJECT

public:
    static constexpr int kRefusedStatus = exitCode(ExitStatus::Refused);

    explicit TCheckMutex(QObject* parent = nullptr);
    ~TCheckMutex() override;

    QString MutexID() const { return m_mutexId; }
    void setMutexID(const QString& id) { m_mutexId = id; }

    /// Runs the check, as the owner's layout finishes loading: no check for an empty
    /// `MutexID`; otherwise take the guard or end the process.
    void Loaded();
    /// True while this component holds its guard.
    bool holdsGuard() const;

    /// The folder of the guards: $XDG_RUNTIME_DIR/morvex, else a private folder of Qt's
    /// runtime location.
    static QString guardFolder();
    /// The guard's file for `id`: any text maps to one file name inside guardFolder().
    static QString guardPath(const QString& id);

private:
    QString m_mutexId;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace morvex
