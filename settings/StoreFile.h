#pragma once

#include "settings/RegDocument.h"

#include <QLockFile>
#include <QString>
#include <optional>
#include <variant>

// File access of the settings store: reading, the commit lock and the atomic replace.
namespace morvex::storefile {

/// Larger files are refused rather than read.
inline constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

/// The file parsed; an empty document when it does not exist; otherwise the Japanese reason.
std::variant<RegDocument, QString> read(const QString& path);

/// Creates the file's directory (owner-only when it is new); the reason when it cannot.
std::optional<QString> prepareDirectory(const QString& path);

/// Replaces the file with `bytes` atomically, owner-only, synced to disk; the reason on failure.
std::optional<QString> write(const QString& path, const QByteArray& bytes);

/// The lock every commit of the file holds; released when destroyed.
class CommitLock {
public:
    explicit CommitLock(const QString& path);
    /// Waits a few seconds at most for other processes' commits; the reason on failure.
    std::optional<QString> acquire();

private:
    qint64 lockAge() const;

    QLockFile m_lock;
    QString m_path;
};

} // namespace morvex::storefile
