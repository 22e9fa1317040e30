#pragma once

#include "settings/RegDocument.h"
#include "settings/SettingsGroups.h"
#include "settings/SettingsStore.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <memory>
#include <vector>

namespace morvex {

// The group code may list a key's values (to read a numbered list without probing every number)
// and see them as stored (to remember what a load found).
struct SettingsStoreAccess {
    static QStringList valueNames(const SettingsStore& store) { return store.valueNames(); }
    static const RegValue* storedValue(const SettingsStore& store, const QString& name) {
        return store.storedValue(name);
    }
};

// How the windows' group code of settings/ reads its groups from the store and writes them.
namespace groupio {

using Reader = std::function<StoreResult(SettingsStore&)>;

/// "\Software\QOR\Morvex\<group>".
QString currentKey(QStringView group);
/// "\Software\ZELT\Morvex\<group>": the older vendor's key.
QString oldKey(QStringView group);

inline QString folded(const QString& text) {
    return text.toCaseFolded();
}

/// Where one group operation opens its handles: the store file, or one copy of it in memory
/// that all of them share, for a load whose writes are dropped.
class StoreHandles {
public:
    explicit StoreHandles(LoadWrites writes = LoadWrites::Saved)
        : m_copy(writes == LoadWrites::Discarded ? SettingsStore::copyInMemory() : nullptr) {}

    SettingsStore handle() const {
        if (m_copy)
            return SettingsStore(m_copy);
        return SettingsStore();
    }

private:
    std::shared_ptr<StoreCopy> m_copy;
};

/// Applies present values of the open key one by one; after the first failure nothing more is
/// read.
class GroupLoader {
public:
    explicit GroupLoader(SettingsStore& store)
        : m_store(store) {}

    GroupLoader& number(const QString& name, const std::function<void(qint32)>& apply);
    GroupLoader& text(const QString& name, const std::function<void(const QString&)>& apply);
    StoreResult result() const { return m_result; }

private:
    SettingsStore& m_store;
    StoreResult m_result;
};

/// One value a save writes.
struct GroupWrite {
    QString name;
    RegValue value;
    int unit = -1; ///< see StoreBase::Written
};

/// A group's values in the order the save writes them.
class GroupWrites {
public:
    GroupWrites& number(const QString& name, qint32 value, int unit = -1) {
        m_writes.push_back({name, RegValue::fromNumber(value), unit});
        return *this;
    }
    GroupWrites& text(const QString& name, const QString& value, int unit = -1) {
        m_writes.push_back({name, RegValue::fromText(value), unit});
        return *this;
    }
    GroupWrites& flag(const QString& name, bool value) { return number(name, value ? 1 : 0); }

    const std::vector<GroupWrite>& writes() const { return m_writes; }

private:
    std::vector<GroupWrite> m_writes;
};

/// Writes the values in order into `key`, opened with create; after the first refusal nothing
/// more is written, and what was written before it is committed. Where `base` knows what a load
/// found in the key, a value the state did not change since is written only if the file still
/// holds what was found: another writer's value stays.
StoreResult writeGroup(const StoreHandles& handles, const QString& key, const GroupWrites& group,
                       const StoreBase& base);
/// Remembers what the state as loaded writes into a key the load read.
void rememberWritten(StoreBase& base, const QString& key, const GroupWrites& group);

/// True when the key opened, false when it is absent; an error when the file is unusable.
StoreValue<bool> openExisting(SettingsStore& store, const QString& key);
/// The older vendor's key, when present: read into the state, saved under the current key,
/// removed.
StoreResult moveOldKey(SettingsStore& store, QStringView group, const Reader& read,
                       const std::function<StoreResult()>& save);
/// Reads the current key when present; with `base`, what it holds (nothing, when absent) is
/// remembered for the group's save.
StoreResult loadCurrentKey(SettingsStore& store, QStringView group, const Reader& read,
                           StoreBase* base = nullptr);

/// Runs a load of one group, which remembers what it finds in the current key in the base it is
/// given; then remembers what the values it gave write there. A load whose writes are dropped
/// remembers nothing: what it found is not what the file holds.
template <typename State>
StoreResult loadRemembering(State& state, QStringView group, GroupWrites (*writes)(const State&),
                            LoadWrites loadWrites,
                            const std::function<StoreResult(StoreBase*)>& load) {
    if (loadWrites == LoadWrites::Discarded)
        return load(nullptr);
    state.base.keys.remove(folded(currentKey(group)));
    const StoreResult result = load(&state.base);
    rememberWritten(state.base, currentKey(group), writes(state));
    return result;
}

/// A group that has no older key: its current key, when present.
template <typename State>
StoreResult loadGroup(State& state, QStringView group, GroupWrites (*writes)(const State&),
                      const Reader& read) {
    return loadRemembering(state, group, writes, LoadWrites::Saved, [&](StoreBase* base) {
        SettingsStore store;
        return loadCurrentKey(store, group, read, base);
    });
}

/// A group whose older key, when present, is moved first: read, saved whole under the current key
/// (which the state's base does not know yet) and removed; then the current key is read.
template <typename State>
StoreResult loadMovedGroup(State& state, QStringView group, GroupWrites (*writes)(const State&),
                           const Reader& read, LoadWrites loadWrites) {
    const StoreHandles handles(loadWrites);
    return loadRemembering(state, group, writes, loadWrites, [&](StoreBase* base) {
        SettingsStore store = handles.handle();
        const auto save = [&] {
            return writeGroup(handles, currentKey(group), writes(state), StoreBase());
        };
        if (StoreResult moved = moveOldKey(store, group, read, save); !moved.ok())
            return moved;
        return loadCurrentKey(store, group, read, base);
    });
}

} // namespace groupio
} // namespace morvex
