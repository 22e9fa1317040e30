#include "SettingsGroups.h"

#include "SettingsStore.h"
#include "Sjis.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace morvex {

// The group code may list a key's values (to read a numbered list without probing every number).
struct SettingsStoreAccess {
    static QStringList valueNames(const SettingsStore& store) { return store.valueNames(); }
};

namespace {

using Reader = std::function<StoreResult(SettingsStore&)>;

QString currentKey(QStringView group) {
    return u"\\Software\\QOR\\Morvex\\"_s + group.toString();
}
QString oldKey(QStringView group) {
    return u"\\Software\\ZELT\\Morvex\\"_s + group.toString();
}

constexpr int fontNameBytes = 31;

// Set for a run that saves nothing: the older vendor's keys are read where they are.
bool g_oldKeysInPlace = false;

// Applies present values of the open key one by one; after the first failure nothing more is read.
class GroupLoader {
public:
    explicit GroupLoader(SettingsStore& store)
        : m_store(store) {}

    GroupLoader& number(const QString& name, const std::function<void(qint32)>& apply) {
        if (m_result.ok() && m_store.ValuePresent(name)) {
            const auto value = m_store.ReadNumber(name);
            if (value.ok())
                apply(value.value());
            else
                m_result = value.status();
        }
        return *this;
    }

    GroupLoader& text(const QString& name, const std::function<void(const QString&)>& apply) {
        if (m_result.ok() && m_store.ValuePresent(name)) {
            const auto value = m_store.ReadText(name);
            if (value.ok())
                apply(value.value());
            else
                m_result = value.status();
        }
        return *this;
    }

    StoreResult result() const { return m_result; }

private:
    SettingsStore& m_store;
    StoreResult m_result;
};

// Writes values in order into a key opened with create; after the first refusal nothing more is
// written, and close() commits what was written before it.
class GroupSaver {
public:
    GroupSaver(SettingsStore& store, const QString& key)
        : m_store(store) {
        (void)m_store.StoreOpen(key, true); // a failed open shows up as the first write's failure
    }

    GroupSaver& number(const QString& name, qint32 value) {
        if (m_result.ok())
            m_result = m_store.WriteNumber(name, value);
        return *this;
    }

    GroupSaver& text(const QString& name, const QString& value) {
        if (m_result.ok())
            m_result = m_store.WriteText(name, value);
        return *this;
    }

    GroupSaver& flag(const QString& name, bool value) { return number(name, value ? 1 : 0); }

    StoreResult close() {
        StoreResult closed = m_store.StoreClose();
        return m_result.ok() ? closed : m_result;
    }

private:
    SettingsStore& m_store;
    StoreResult m_result;
};

// True when the key opened, false when it is absent; an error when the file is unusable.
StoreValue<bool> openExisting(SettingsStore& store, const QString& key) {
    if (store.StoreOpen(key, false))
        return true;
    if (store.fileError())
        return *store.fileError();
    return false;
}

StoreResult readAndClose(SettingsStore& store, const Reader& read) {
    StoreResult result = read(store);
    StoreResult closed = store.StoreClose();
    return result.ok() ? closed : result;
}

// The older vendor's key, when present: read into the state, saved under the current key, removed.
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

StoreResult loadCurrentKey(SettingsStore& store, QStringView group, const Reader& read) {
    const auto opened = openExisting(store, currentKey(group));
    if (!opened.ok() || !opened.value())
        return opened.status();
    return readAndClose(store, read);
}

StoreResult loadGroup(QStringView group, const Reader& read) {
    SettingsStore store;
    return loadCurrentKey(store, group, read);
}

StoreResult loadMovedGroup(QStringView group, const Reader& read,
                           const std::function<StoreResult()>& save) {
    SettingsStore store;
    if (StoreResult moved = moveOldKey(store, group, read, save); !moved.ok())
        return moved;
    return loadCurrentKey(store, group, read);
}

QString sourceValueName(qsizetype index) {
    return index == 0 ? u"SrcFileName"_s : u"SrcFileName"_s + QString::number(index);
}

// The entry number a value name stands for, as the numbered names are formed; -1 for others.
qint64 sourceIndex(const QString& name) {
    static const QString stem = u"SrcFileName"_s;
    if (!name.startsWith(stem, Qt::CaseInsensitive))
        return -1;
    const QString digits = name.mid(stem.size());
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

// The older vendor's key read where it is, on top of what is already read: the old values win,
// as they do once moved.
StoreResult readOldKeyInPlace(SettingsStore& store, QStringView group, const Reader& read) {
    const auto opened = openExisting(store, oldKey(group));
    if (!opened.ok() || !opened.value())
        return opened.status();
    return readAndClose(store, read);
}

// The File group; with `keepStoredList` a source list already stored is left as it is.
StoreResult saveFileGroup(const MainWindowSettings& state, bool keepStoredList) {
    SettingsStore store;
    GroupSaver saver(store, currentKey(u"File"));
    if (!keepStoredList || !store.ValuePresent(u"SrcFileCount"_s)) {
        for (qsizetype i = 0; i < state.SrcFile.size(); ++i)
            saver.text(sourceValueName(i), state.SrcFile[i]);
        saver.number(u"SrcFileCount"_s, qint32(state.SrcFile.size()));
    }
    // A marker of 0 is saved as 1 and any other as 0.
    return saver.text(u"FutterFileName"_s, state.FFile)
        .text(u"HeaderFileName"_s, state.HFile)
        .number(u"Futter"_s, state.FutterMarker == 0 ? 1 : 0)
        .number(u"Header"_s, state.HeaderMarker == 0 ? 1 : 0)
        .text(u"ConvChar"_s, state.ConvChar)
        .text(u"HeadConvChar"_s, state.HeadConvChar)
        .text(u"BackUpExt"_s, state.BackExt)
        .close();
}

StoreResult readResultValues(SettingsStore& store, SettingFState& state) {
    return GroupLoader(store)
        .number(u"ShowResult"_s, [&](qint32 v) { state.setShowResult(v != 0); })
        .number(u"NotShowResult"_s, [&](qint32 v) { state.setNotShowResult(v != 0); })
        .number(u"GoByClose"_s, [&](qint32 v) { state.GoByClose = v != 0; })
        .number(u"WaitTime"_s, [&](qint32 v) { state.setWaitTime(v); })
        .result();
}

// The first 31 bytes of the name in Shift-JIS, never cutting a character.
QString fontNamePrefix(const QString& name) {
    qsizetype used = 0;
    qsizetype i = 0;
    while (i < name.size()) {
        const qsizetype length = name[i].isHighSurrogate() && i + 1 < name.size() ? 2 : 1;
        const qsizetype bytes = sjis::encode(name.mid(i, length)).size();
        if (used + bytes > fontNameBytes)
            break;
        used += bytes;
        i += length;
    }
    return name.left(i);
}

StoreResult readViewValues(SettingsStore& store, ListViewSettings& state) {
    return GroupLoader(store)
        .number(u"WindowTop"_s, [&](qint32 v) { state.windowTop = v; })
        .number(u"WindowLeft"_s, [&](qint32 v) { state.windowLeft = v; })
        .number(u"WindowWidth"_s, [&](qint32 v) { state.windowWidth = v; })
        .number(u"WindowHeight"_s, [&](qint32 v) { state.windowHeight = v; })
        .text(u"TextEditor"_s, [&](const QString& v) { state.TextEditorLbl = v; })
        .number(u"BackColor"_s, [&](qint32 v) { state.backColor = quint32(v); })
        .text(u"FontName"_s, [&](const QString& v) { state.fontName = fontNamePrefix(v); })
        .number(u"FontColor"_s, [&](qint32 v) { state.fontColor = quint32(v); })
        .number(u"FontSize"_s, [&](qint32 v) { state.fontSize = v; })
        .result();
}

qint32 decimalOr(const QString& text, qint32 fallback) {
    bool ok = false;
    const qint32 value = text.toInt(&ok, 10);
    return ok ? value : fallback;
}

} // namespace

void SettingFState::setShowResult(bool checked) {
    ShowResult = checked;
    if (checked)
        NotShowResult = false;
}

void SettingFState::setNotShowResult(bool checked) {
    NotShowResult = checked;
    if (checked)
        ShowResult = false;
}

void SettingFState::setWaitTime(qint32 position) {
    WaitTime = std::clamp(position, 0, 10);
}

void SettingFState::setCompListPosition(qint32 position) {
    CompListUpDown = std::clamp<qint32>(qint16(position), 0, 80);
}

QString programDirectory() {
    const QString exe = QFileInfo(u"/proc/self/exe"_s).canonicalFilePath();
    QString dir = !exe.isEmpty()                 ? QFileInfo(exe).absolutePath()
                  : QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                 : QDir::currentPath();
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

void ReadOldKeysInPlace() {
    g_oldKeysInPlace = true;
}

StoreResult PruneOldVendorKey() {
    if (g_oldKeysInPlace)
        return {};
    SettingsStore store;
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

StoreResult LoadMainSettings(MainWindowSettings& state, const QString& programDir) {
    if (g_oldKeysInPlace)
        return LoadMainSettingsUnchanged(state, programDir);
    SettingsStore store;
    const Reader system = [&](SettingsStore& s) {
        return readSystemValues(s, state);
    };
    if (StoreResult r =
            moveOldKey(store, u"System", system, [&] { return SaveSystemGroup(state); });
        !r.ok())
        return r;
    if (StoreResult r = loadCurrentKey(store, u"System", system); !r.ok())
        return r;
    state.FFile = programDir + u"*.mfl"_s;
    state.HFile = programDir + u"*.mhl"_s;
    // Without a source list of its own, moving the older File key must not replace the stored
    // one; with one, that list is moved and then read back with the rest of the current key.
    bool movedList = false;
    const Reader file = [&](SettingsStore& s) {
        return readOldFileGroup(s, state, movedList);
    };
    if (StoreResult r =
            moveOldKey(store, u"File", file, [&] { return saveFileGroup(state, !movedList); });
        !r.ok())
        return r;
    if (movedList)
        state.SrcFile.clear();
    return loadCurrentKey(store, u"File",
                          [&](SettingsStore& s) { return readCurrentFileGroup(s, state); });
}

StoreResult LoadMainSettingsUnchanged(MainWindowSettings& state, const QString& programDir) {
    SettingsStore store;
    const Reader system = [&](SettingsStore& s) {
        return readSystemValues(s, state);
    };
    if (StoreResult r = loadCurrentKey(store, u"System", system); !r.ok())
        return r;
    bool oldSystem = false;
    if (StoreResult r = readOldKeyInPlace(store, u"System",
                                          [&](SettingsStore& s) {
                                              oldSystem = true;
                                              return system(s);
                                          });
        !r.ok())
        return r;
    if (oldSystem)
        state.version = MorvexStoredVersion; // what the move would have saved
    state.FFile = programDir + u"*.mfl"_s;
    state.HFile = programDir + u"*.mhl"_s;
    // A move saves the whole File group from the old values over the window's own ones; only
    // the source list of the current key survives it, unless the old key has one.
    MainWindowSettings moved = state;
    bool oldFile = false;
    bool oldList = false;
    if (StoreResult r = readOldKeyInPlace(store, u"File",
                                          [&](SettingsStore& s) {
                                              oldFile = true;
                                              return readOldFileGroup(s, moved, oldList);
                                          });
        !r.ok())
        return r;
    if (StoreResult r = loadCurrentKey(
            store, u"File", [&](SettingsStore& s) { return readCurrentFileGroup(s, state); });
        !r.ok() || !oldFile)
        return r;
    state.FFile = moved.FFile;
    state.HFile = moved.HFile;
    state.FutterMarker = moved.FutterMarker == 0 ? 1 : 0; // saved by the marker rule, read back
    state.HeaderMarker = moved.HeaderMarker == 0 ? 1 : 0;
    state.ConvChar = moved.ConvChar;
    state.HeadConvChar = moved.HeadConvChar;
    state.BackExt = moved.BackExt;
    if (oldList)
        state.SrcFile = moved.SrcFile;
    return {};
}

StoreResult SaveSystemGroup(const MainWindowSettings& state) {
    SettingsStore store;
    GroupSaver saver(store, currentKey(u"System"));
    if (state.windowTop)
        saver.number(u"WindowTop"_s, *state.windowTop);
    if (state.windowLeft)
        saver.number(u"WindowLeft"_s, *state.windowLeft);
    return saver.number(u"WindowWidth"_s, state.windowWidth)
        .number(u"WindowHeight"_s, state.windowHeight)
        .number(u"ClientWidth"_s, state.clientWidth)
        .number(u"ClientHeight"_s, state.clientHeight)
        .number(u"Version"_s, MorvexStoredVersion)
        .close();
}

StoreResult SaveFileGroup(const MainWindowSettings& state) {
    return saveFileGroup(state, false);
}

StoreResult LoadResultGroup(SettingFState& state) {
    if (g_oldKeysInPlace) {
        // A move saves the four values from the old ones over the dialog's own.
        SettingFState moved = state;
        bool oldResult = false;
        SettingsStore store;
        StoreResult result = readOldKeyInPlace(store, u"Result", [&](SettingsStore& s) {
            oldResult = true;
            return readResultValues(s, moved);
        });
        if (result)
            result = loadCurrentKey(store, u"Result",
                                    [&](SettingsStore& s) { return readResultValues(s, state); });
        if (result && oldResult) {
            state.ShowResult = moved.ShowResult;
            state.NotShowResult = moved.NotShowResult;
            state.GoByClose = moved.GoByClose;
            state.WaitTime = moved.WaitTime;
        }
        return result;
    }
    return loadMovedGroup(
        u"Result", [&](SettingsStore& s) { return readResultValues(s, state); },
        [&] { return SaveResultGroup(state); });
}

StoreResult LoadCompListGroup(SettingFState& state) {
    return loadGroup(u"CompList", [&](SettingsStore& s) {
        return GroupLoader(s)
            .number(u"CompList"_s, [&](qint32 v) { state.CompListChk = v != 0; })
            .number(u"Count"_s, [&](qint32 v) { state.setCompListPosition(v); })
            .result();
    });
}

StoreResult LoadAppRunGroup(SettingFState& state) {
    return loadGroup(u"AppRun", [&](SettingsStore& s) {
        return GroupLoader(s)
            .number(u"BeforeCheck"_s, [&](qint32 v) { state.BeforeRunChk = v != 0; })
            .text(u"BeforeApp"_s, [&](const QString& v) { state.BeforeApp = v; })
            .number(u"AfterCheck"_s, [&](qint32 v) { state.AfterRunChk = v != 0; })
            .text(u"AfterApp"_s, [&](const QString& v) { state.AfterApp = v; })
            .number(u"WaitTime"_s, [&](qint32 v) { state.AppWaitTime = QString::number(v); })
            .result();
    });
}

StoreResult LoadWatchGroup(SettingFState& state) {
    return loadGroup(u"Watch", [&](SettingsStore& s) {
        return GroupLoader(s)
            .text(u"WatchApp"_s, [&](const QString& v) { state.WatchApp = v; })
            .number(u"WaitTime"_s, [&](qint32 v) { state.ObserveWaitTime = QString::number(v); })
            .result();
    });
}

StoreResult LoadFileEncoding(SettingFState& state) {
    return loadGroup(u"File", [&](SettingsStore& s) {
        return GroupLoader(s)
            .text(u"Encoding"_s,
                  [&](const QString& v) {
                      const QString name = v.trimmed().toLower();
                      state.Utf8Files = name == u"utf-8"_s || name == u"utf8"_s;
                  })
            .result();
    });
}

StoreResult LoadSettingFGroups(SettingFState& state) {
    StoreResult result = LoadResultGroup(state);
    if (result)
        result = LoadCompListGroup(state);
    if (result)
        result = LoadAppRunGroup(state);
    if (result)
        result = LoadWatchGroup(state);
    if (result)
        result = LoadFileEncoding(state);
    return result;
}

StoreResult SaveResultGroup(const SettingFState& state) {
    SettingsStore store;
    return GroupSaver(store, currentKey(u"Result"))
        .flag(u"ShowResult"_s, state.ShowResult)
        .flag(u"NotShowResult"_s, state.NotShowResult)
        .flag(u"GoByClose"_s, state.GoByClose)
        .number(u"WaitTime"_s, state.WaitTime)
        .close();
}

StoreResult SaveCompListGroup(const SettingFState& state) {
    SettingsStore store;
    return GroupSaver(store, currentKey(u"CompList"))
        .flag(u"CompList"_s, state.CompListChk)
        .number(u"Count"_s, qint16(state.CompListUpDown))
        .close();
}

StoreResult SaveAppRunGroup(const SettingFState& state) {
    SettingsStore store;
    return GroupSaver(store, currentKey(u"AppRun"))
        .flag(u"BeforeCheck"_s, state.BeforeRunChk)
        .text(u"BeforeApp"_s, state.BeforeApp)
        .flag(u"AfterCheck"_s, state.AfterRunChk)
        .text(u"AfterApp"_s, state.AfterApp)
        .number(u"WaitTime"_s, decimalOr(state.AppWaitTime, 1000))
        .close();
}

StoreResult SaveWatchGroup(const SettingFState& state) {
    SettingsStore store;
    return GroupSaver(store, currentKey(u"Watch"))
        .text(u"WatchApp"_s, state.WatchApp)
        .number(u"WaitTime"_s, decimalOr(state.ObserveWaitTime, 2000))
        .close();
}

StoreResult SaveFileEncoding(const SettingFState& state) {
    SettingsStore store;
    return GroupSaver(store, currentKey(u"File"))
        .text(u"Encoding"_s, state.Utf8Files ? u"utf-8"_s : u"sjis"_s)
        .close();
}

StoreResult LoadViewSettings(ListViewSettings& state) {
    if (g_oldKeysInPlace) {
        ListViewSettings moved = state;
        bool oldView = false;
        SettingsStore store;
        const Reader old = [&](SettingsStore& s) {
            oldView = true;
            return readViewValues(s, moved);
        };
        StoreResult result = readOldKeyInPlace(store, u"ListView", old);
        if (result)
            result = loadCurrentKey(store, u"ListView",
                                    [&](SettingsStore& s) { return readViewValues(s, state); });
        if (result && oldView) {
            // A move saves every value but an unset position over the current ones.
            const auto top = moved.windowTop ? moved.windowTop : state.windowTop;
            const auto left = moved.windowLeft ? moved.windowLeft : state.windowLeft;
            state = moved;
            state.windowTop = top;
            state.windowLeft = left;
        }
        return result;
    }
    return loadMovedGroup(
        u"ListView", [&](SettingsStore& s) { return readViewValues(s, state); },
        [&] { return SaveViewSettings(state); });
}

StoreResult SaveViewSettings(const ListViewSettings& state) {
    SettingsStore store;
    GroupSaver saver(store, currentKey(u"ListView"));
    if (state.windowTop)
        saver.number(u"WindowTop"_s, *state.windowTop);
    if (state.windowLeft)
        saver.number(u"WindowLeft"_s, *state.windowLeft);
    return saver.number(u"WindowWidth"_s, state.windowWidth)
        .number(u"WindowHeight"_s, state.windowHeight)
        .text(u"TextEditor"_s, state.TextEditorLbl)
        .number(u"BackColor"_s, qint32(state.backColor))
        .text(u"FontName"_s, state.fontName)
        .number(u"FontColor"_s, qint32(state.fontColor))
        .number(u"FontSize"_s, state.fontSize)
        .close();
}

} // namespace morvex
