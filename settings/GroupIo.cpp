#include "settings/GroupIo.h"

using namespace Qt::StringLiterals;

namespace morvex::groupio {

namespace {

// The values of one unit, by case-folded name.
QHash<QString, RegValue> unitValues(const std::vector<GroupWrite>& writes, int unit) {
    QHash<QString, RegValue> values;
    for (const GroupWrite& write : writes) {
        if (write.unit == unit)
            values.insert(folded(write.name), write.value);
    }
    return values;
}

QHash<QString, RegValue> unitValues(const QHash<QString, StoreBase::Written>& written, int unit) {
    QHash<QString, RegValue> values;
    for (auto it = written.cbegin(); it != written.cend(); ++it) {
        if (it->unit == unit)
            values.insert(it.key(), it->value);
    }
    return values;
}

// True when the state changed the value since its load: it writes something else now.
bool changedSinceLoad(const GroupWrite& write, const std::vector<GroupWrite>& writes,
                      const StoreBase::Key& base) {
    if (write.unit >= 0)
        return unitValues(writes, write.unit) != unitValues(base.written, write.unit);
    const auto loaded = base.written.constFind(folded(write.name));
    return loaded == base.written.cend() || !(loaded->value == write.value);
}

StoreResult writeValue(SettingsStore& store, const GroupWrite& write) {
    if (write.value.kind == RegValue::Kind::Number)
        return store.WriteNumber(write.name, write.value.number);
    return store.WriteText(write.name, write.value.text);
}

// Remembers every value the open key holds now, as a load found them.
void rememberFound(StoreBase* base, const SettingsStore& store, const QString& key) {
    if (!base)
        return;
    StoreBase::Key& remembered = base->keys[folded(key)];
    remembered.found.clear();
    for (const QString& name : SettingsStoreAccess::valueNames(store)) {
        if (const RegValue* value = SettingsStoreAccess::storedValue(store, name))
            remembered.found.insert(folded(name), *value);
    }
}

StoreResult readAndClose(SettingsStore& store, const Reader& read) {
    StoreResult result = read(store);
    StoreResult closed = store.StoreClose();
    return result.ok() ? closed : result;
}

} // namespace

QString currentKey(QStringView group) {
    return u"\\Software\\QOR\\Morvex\\"_s + group.toString();
}

QString oldKey(QStringView group) {
    return u"\\Software\\ZELT\\Morvex\\"_s + group.toString();
}

GroupLoader& GroupLoader::number(const QString& name, const std::function<void(qint32)>& apply) {
    if (m_result.ok() && m_store.ValuePresent(name)) {
        const auto value = m_store.ReadNumber(name);
        if (value.ok())
            apply(value.value());
        else
            m_result = value.status();
    }
    return *this;
}

GroupLoader& GroupLoader::text(const QString& name,
                               const std::function<void(const QString&)>& apply) {
    if (m_result.ok() && m_store.ValuePresent(name)) {
        const auto value = m_store.ReadText(name);
        if (value.ok())
            apply(value.value());
        else
            m_result = value.status();
    }
    return *this;
}

StoreResult writeGroup(const StoreHandles& handles, const QString& key, const GroupWrites& group,
                       const StoreBase& base) {
    SettingsStore store = handles.handle();
    (void)store.StoreOpen(key, true); // a failed open shows up as the first write's failure
    const auto known = base.keys.constFind(folded(key));
    const std::vector<GroupWrite>& writes = group.writes();
    StoreResult result;
    for (const GroupWrite& write : writes) {
        if (known == base.keys.cend() || changedSinceLoad(write, writes, *known)) {
            result = writeValue(store, write);
        } else {
            const auto found = known->found.constFind(folded(write.name));
            result = store.writeIfStill(
                write.name, write.value,
                found == known->found.cend() ? std::nullopt : std::optional<RegValue>(*found));
        }
        if (!result.ok())
            break;
    }
    StoreResult closed = store.StoreClose();
    return result.ok() ? closed : result;
}

void rememberWritten(StoreBase& base, const QString& key, const GroupWrites& group) {
    const auto remembered = base.keys.find(folded(key));
    if (remembered == base.keys.end())
        return;
    remembered->written.clear();
    for (const GroupWrite& write : group.writes())
        remembered->written.insert(folded(write.name), {write.value, write.unit});
}

StoreValue<bool> openExisting(SettingsStore& store, const QString& key) {
    if (store.StoreOpen(key, false))
        return true;
    if (store.fileError())
        return *store.fileError();
    return false;
}

StoreResult moveOldKey(SettingsStore& store, QStringView group, const Reader& read,
                       const std::function<StoreResult()>& save) {
    const auto opened = openExisting(store, oldKey(group));
    if (!opened.ok() || !opened.value())
        return opened.status();
    return readAndClose(store, [&](SettingsStore& s) {
        if (StoreResult result = read(s); !result.ok())
            return result;
        if (StoreResult result = save(); !result.ok())
            return result;
        s.RemoveKeyTree(oldKey(group));
        return StoreResult();
    });
}

StoreResult loadCurrentKey(SettingsStore& store, QStringView group, const Reader& read,
                           StoreBase* base) {
    const auto opened = openExisting(store, currentKey(group));
    if (opened.ok())
        rememberFound(base, store, currentKey(group));
    if (!opened.ok() || !opened.value())
        return opened.status();
    return readAndClose(store, read);
}

} // namespace morvex::groupio
