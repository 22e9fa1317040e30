#include "settings/MainWindowGroups.h"

#include "settings/GroupIo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace morvex {

using namespace groupio;

namespace {

constexpr int kSourceListUnit = 0;
const QString kSourceStem = QStringLiteral("SrcFileName");

QString sourceValueName(qsizetype index) {
    return index == 0 ? kSourceStem : kSourceStem + QString::number(index);
}

// The entry number a value name stands for, as the numbered names are formed; -1 for others.
qint64 sourceIndex(const QString& name) {
    if (!name.startsWith(kSourceStem, Qt::CaseInsensitive))
        return -1;
    const QString digits = name.mid(kSourceStem.size());
    if (digits.isEmpty())
        return 0;
    bool ok = false;
    const qint64 index = digits.toLongLong(&ok, 10);
    if (!ok || digits.startsWith(u'0') ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return -1;
    return index == 0 ? -1 : index;
}

// Entries 0 to count-1 that are present, in order. Listing the key rather than probing each
// number keeps a corrupt count of two billion from hanging the start.
StoreResult readSourceList(SettingsStore& store, qint32 count, QStringList& list) {
    std::vector<qint64> present;
    for (const QString& name : SettingsStoreAccess::valueNames(store)) {
        const qint64 index = sourceIndex(name);
        if (index >= 0 && index < count)
            present.push_back(index);
    }
    std::sort(present.begin(), present.end());
    GroupLoader loader(store);
    for (qint64 index : present)
        loader.text(sourceValueName(index), [&](const QString& entry) { list.append(entry); });
    return loader.result();
}

StoreResult readSystemValues(SettingsStore& store, MainWindowSettings& state) {
    return GroupLoader(store)
        .number(u"WindowTop"_s, [&](qint32 v) { state.windowTop = v; })
        .number(u"WindowLeft"_s, [&](qint32 v) { state.windowLeft = v; })
        .number(u"Version"_s, [&](qint32 v) { state.version = v; })
        .result();
}

StoreResult readFileValues(SettingsStore& store, MainWindowSettings& state) {
    return GroupLoader(store)
        .text(u"FutterFileName"_s, [&](const QString& v) { state.FFile = v; })
        .text(u"HeaderFileName"_s, [&](const QString& v) { state.HFile = v; })
        .number(u"Futter"_s, [&](qint32 v) { state.FutterMarker = v; })
        .number(u"Header"_s, [&](qint32 v) { state.HeaderMarker = v; })
        .text(u"ConvChar"_s, [&](const QString& v) { state.ConvChar = v; })
        .text(u"HeadConvChar"_s, [&](const QString& v) { state.HeadConvChar = v; })
        .text(u"BackUpExt"_s, [&](const QString& v) { state.BackExt = v; })
        .result();
}

// The numbered source list when the key holds a count; `found` tells whether it did.
StoreResult readCountedList(SettingsStore& store, QStringList& list, bool& found) {
    std::optional<qint32> count;
    if (StoreResult r =
            GroupLoader(store).number(u"SrcFileCount"_s, [&](qint32 v) { count = v; }).result();
        !r.ok())
        return r;
    found = count.has_value();
    return readSourceList(store, count.value_or(0), list);
}

StoreResult readCurrentFileGroup(SettingsStore& store, MainWindowSettings& state) {
    bool found = false;
    if (StoreResult r = readCountedList(store, state.SrcFile, found); !r.ok())
        return r;
    return readFileValues(store, state);
}

// The older File key normally has no source list; one it does have is kept like the current
// key's. `moved` tells whether it had one.
StoreResult readOldFileGroup(SettingsStore& store, MainWindowSettings& state, bool& moved) {
    if (StoreResult r = readFileValues(store, state); !r.ok())
        return r;
    QStringList list;
    if (StoreResult r = readCountedList(store, list, moved); !r.ok())
        return r;
    if (moved)
        state.SrcFile = list;
    return {};
}

GroupWrites systemWrites(const MainWindowSettings& state) {
    GroupWrites writes;
    if (state.windowTop)
        writes.number(u"WindowTop"_s, *state.windowTop);
    if (state.windowLeft)
        writes.number(u"WindowLeft"_s, *state.windowLeft);
    writes.number(u"WindowWidth"_s, state.windowWidth)
        .number(u"WindowHeight"_s, state.windowHeight)
        .number(u"ClientWidth"_s, state.clientWidth)
        .number(u"ClientHeight"_s, state.clientHeight)
        .number(u"Version"_s, kStoredVersion);
    return writes;
}

GroupWrites fileWrites(const MainWindowSettings& state, bool withSourceList = true) {
    GroupWrites writes;
    if (withSourceList) {
        for (qsizetype i = 0; i < state.SrcFile.size(); ++i)
            writes.text(sourceValueName(i), state.SrcFile[i], kSourceListUnit);
        writes.number(u"SrcFileCount"_s, qint32(state.SrcFile.size()), kSourceListUnit);
    }
    // A marker of 0 is saved as 1 and any other as 0.
    writes.text(u"FutterFileName"_s, state.FFile)
        .text(u"HeaderFileName"_s, state.HFile)
        .number(u"Futter"_s, state.FutterMarker == 0 ? 1 : 0)
        .number(u"Header"_s, state.HeaderMarker == 0 ? 1 : 0)
        .text(u"ConvChar"_s, state.ConvChar)
        .text(u"HeadConvChar"_s, state.HeadConvChar)
        .text(u"BackUpExt"_s, state.BackExt);
    return writes;
}

// The move of the older File key: the whole group, but a source list already stored is left
// as it is unless the old key brings one.
StoreResult saveMovedFileGroup(const StoreHandles& handles, const MainWindowSettings& state,
                               bool keepStoredList) {
    bool listStored = false;
    if (keepStoredList) {
        SettingsStore store = handles.handle();
        const auto opened = openExisting(store, currentKey(u"File"));
        listStored = opened.ok() && opened.value() && store.ValuePresent(u"SrcFileCount"_s);
    }
    return writeGroup(handles, currentKey(u"File"), fileWrites(state, !listStored), StoreBase());
}

// LoadMainSettings; with `base`, what it finds in the current keys is remembered there.
StoreResult loadMainGroups(const StoreHandles& handles, MainWindowSettings& state,
                           const QString& programDir, StoreBase* base) {
    SettingsStore store = handles.handle();
    const Reader system = [&](SettingsStore& s) {
        return readSystemValues(s, state);
    };
    const auto saveSystem = [&] {
        return writeGroup(handles, currentKey(u"System"), systemWrites(state), StoreBase());
    };
    if (StoreResult r = moveOldKey(store, u"System", system, saveSystem); !r.ok())
        return r;
    if (StoreResult r = loadCurrentKey(store, u"System", system, base); !r.ok())
        return r;
    state.FFile = programDir + fromBytes(kFooterListName);
    state.HFile = programDir + fromBytes(kHeaderListName);
    // Without a source list of its own, moving the older File key must not replace the stored
    // one; with one, that list is moved and then read back with the rest of the current key.
    bool movedList = false;
    const Reader file = [&](SettingsStore& s) {
        return readOldFileGroup(s, state, movedList);
    };
    const auto saveFile = [&] {
        return saveMovedFileGroup(handles, state, !movedList);
    };
    if (StoreResult r = moveOldKey(store, u"File", file, saveFile); !r.ok())
        return r;
    if (movedList)
        state.SrcFile.clear();
    return loadCurrentKey(
        store, u"File", [&](SettingsStore& s) { return readCurrentFileGroup(s, state); }, base);
}

} // namespace

QString programDirectory() {
    const QString exe = QFileInfo(u"/proc/self/exe"_s).canonicalFilePath();
    QString dir = !exe.isEmpty()                 ? QFileInfo(exe).absolutePath()
                  : QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                 : QDir::currentPath();
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

StoreResult PruneOldVendorKey(LoadWrites writes) {
    SettingsStore store = StoreHandles(writes).handle();
    for (const QString& key : {u"\\Software\\ZELT\\Morvex"_s, u"\\Software\\ZELT"_s}) {
        const auto opened = openExisting(store, key);
        if (!opened.ok())
            return opened.status();
        // Values held directly in the key do not keep it.
        if (opened.value() && !store.HasChildKeys())
            store.RemoveKeyTree(key);
        if (StoreResult closed = store.StoreClose(); !closed.ok())
            return closed;
    }
    return {};
}

StoreResult LoadMainSettings(MainWindowSettings& state, const QString& programDir,
                             LoadWrites writes) {
    const StoreHandles handles(writes);
    // What a discarded load found is not what the file holds: the saves get nothing from it.
    if (writes == LoadWrites::Discarded)
        return loadMainGroups(handles, state, programDir, nullptr);
    state.base = StoreBase();
    const StoreResult result = loadMainGroups(handles, state, programDir, &state.base);
    // Also after a failed read: the values read before it are the ones the window holds.
    rememberWritten(state.base, currentKey(u"System"), systemWrites(state));
    rememberWritten(state.base, currentKey(u"File"), fileWrites(state));
    return result;
}

StoreResult SaveSystemGroup(const MainWindowSettings& state) {
    return writeGroup(StoreHandles(), currentKey(u"System"), systemWrites(state), state.base);
}

StoreResult SaveFileGroup(const MainWindowSettings& state) {
    return writeGroup(StoreHandles(), currentKey(u"File"), fileWrites(state), state.base);
}

StoreResult saveMainWindowGroups(const MainWindowSettings& state) {
    const StoreResult system = SaveSystemGroup(state);
    // The File group holds the source list: it is tried even when the System group failed.
    const StoreResult file = SaveFileGroup(state);
    return system ? file : system;
}

} // namespace morvex
