#pragma once

#include "StoreError.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace morvex {

class RegDocument;
struct RegValue;
struct StoreChange;

/// A handle on the current user's settings store, with at most one open key at a time.
///
/// The store is one file in the registry export format (default
/// $XDG_CONFIG_HOME/morvex/settings.reg). Key paths are absolute ("\Software\QOR\Morvex\System")
/// and, like value names, matched without regard to letter case. Writes are kept in the handle
/// and committed when the key is closed: under a lock the file is read again, only this handle's
/// changes are applied, and the result replaces the file atomically. Nothing is created before
/// the first commit that changes something. A file that cannot be parsed is never overwritten.
/// All access is from one thread; several processes may use the same file at once.
class SettingsStore {
public:
    /// A handle on the user's store file (defaultFilePath()).
    SettingsStore();
    /// A handle on the store file at `filePath`.
    explicit SettingsStore(QString filePath);
    /// Commits pending writes, as StoreClose does; a failure here is lost, so close explicitly.
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    /// Opens `keyPath` (closing and committing the open key first); with `create`, missing keys
    /// are created. False when the key is missing (without `create`), the path is malformed, or
    /// the file is unusable (see fileError()); then no key is open.
    bool StoreOpen(const QString& keyPath, bool create);
    /// Closes the open key and commits pending writes; fails with the write message when the
    /// commit cannot be made (the file is then left as it was).
    StoreResult StoreClose();
    /// True when the open key has a value named `name`, of any type.
    bool ValuePresent(const QString& name) const;
    /// The text of a text value; empty for an absent value; fails on a value of another type.
    StoreValue<QString> ReadText(const QString& name) const;
    /// A 32-bit integer value; fails on an absent value or a value of another type.
    StoreValue<qint32> ReadNumber(const QString& name) const;
    /// Creates or replaces `name` as text; fails when no key is open or the store refuses.
    StoreResult WriteText(const QString& name, const QString& text);
    /// Creates or replaces `name` as a 32-bit integer; fails when no key is open or refused.
    StoreResult WriteNumber(const QString& name, qint32 value);
    /// For a save that keeps what others wrote: creates or replaces `name` with `value` only if,
    /// when the file is read again at the commit, it still holds `found` under that name (nothing:
    /// no such value). Otherwise the file keeps its value. Fails as WriteText does.
    StoreResult WriteIfStill(const QString& name, const RegValue& value,
                             const std::optional<RegValue>& found);
    /// True when the open key has at least one subkey (values do not count).
    bool HasChildKeys() const;
    /// Deletes `keyPath` with every key and value below it, committing at once; false when the
    /// key does not exist, is the root, or the commit fails.
    bool RemoveKeyTree(const QString& keyPath);

    /// Why the file could not be used at the last open or commit (unreadable, unparsable, locked).
    const std::optional<StoreError>& fileError() const { return m_fileError; }
    /// The file this handle works on.
    const QString& filePath() const { return m_filePath; }

    /// $XDG_CONFIG_HOME/morvex/settings.reg (by default ~/.config/morvex/settings.reg).
    static QString defaultFilePath();

private:
    friend struct SettingsStoreAccess;
    /// Names of the open key's values, for callers that must not probe name by name.
    QStringList valueNames() const;
    /// The open key's value as stored, of any type; nullptr when absent.
    const RegValue* storedValue(const QString& name) const;
    bool loadDocument();
    StoreResult commit();
    StoreResult record(StoreChange change);

    QString m_filePath;
    std::unique_ptr<RegDocument> m_document;
    std::vector<StoreChange> m_pending;
    std::optional<QString> m_openKey;
    std::optional<StoreError> m_fileError;
};

} // namespace morvex
