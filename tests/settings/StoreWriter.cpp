// Helper program for the several-process tests: saves settings in a loop through the real store.
//   store_writer main <count>    saves the System and File groups <count> times
//   store_writer dialog <count>  saves the Result and AppRun groups <count> times
//   store_writer generations     commits whole generations of values until killed
// Each mode also records every iteration under a key of its own, so that a lost update shows.
// It prints one line per finished iteration and exits non-zero at the first failure.

#include "settings/MainWindowGroups.h"
#include "settings/SettingFGroups.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace morvex;

namespace {

int failWith(const QString& what, const QString& message) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(what), message.toUtf8().constData());
    return 1;
}

StoreResult recordIteration(const QString& key, int i) {
    SettingsStore store;
    (void)store.StoreOpen(key, true);
    if (StoreResult written = store.WriteNumber(u"N"_s + QString::number(i), i); !written.ok())
        return written;
    return store.StoreClose();
}

int saveMain(int count) {
    for (int i = 0; i < count; ++i) {
        MainWindowSettings state;
        state.windowTop = i;
        state.windowLeft = -i;
        state.SrcFile = QStringList{u"/home/user/main-%1.up"_s.arg(i)};
        if (StoreResult r = SaveSystemGroup(state); !r.ok())
            return failWith(u"SaveSystemGroup"_s, r.message());
        if (StoreResult r = recordIteration(u"\\Software\\QOR\\Morvex\\ProbeMain"_s, i); !r.ok())
            return failWith(u"record"_s, r.message());
        MainWindowSettings loaded;
        if (StoreResult r = LoadMainSettings(loaded, u"/"_s); !r.ok())
            return failWith(u"LoadMainSettings"_s, r.message());
        if (loaded.windowTop != i)
            return failWith(u"LoadMainSettings"_s, u"WindowTop is not %1"_s.arg(i));
        std::printf("%d\n", i);
    }
    return 0;
}

int saveDialog(int count) {
    for (int i = 0; i < count; ++i) {
        SettingFState state;
        state.WaitTime = i % 11;
        state.AppWaitTime = QString::number(i);
        if (StoreResult r = SaveResultGroup(state); !r.ok())
            return failWith(u"SaveResultGroup"_s, r.message());
        if (StoreResult r = SaveAppRunGroup(state); !r.ok())
            return failWith(u"SaveAppRunGroup"_s, r.message());
        if (StoreResult r = recordIteration(u"\\Software\\QOR\\Morvex\\ProbeDialog"_s, i); !r.ok())
            return failWith(u"record"_s, r.message());
        SettingFState loaded;
        if (StoreResult r = LoadAppRunGroup(loaded); !r.ok())
            return failWith(u"LoadAppRunGroup"_s, r.message());
        if (loaded.AppWaitTime != QString::number(i))
            return failWith(u"LoadAppRunGroup"_s, u"WaitTime is not %1"_s.arg(i));
        std::printf("%d\n", i);
    }
    return 0;
}

// Every commit writes generation g into all values at once; a torn file would mix generations.
int writeGenerations() {
    const QString key = u"\\Software\\QOR\\Morvex\\Generations"_s;
    for (;;) {
        SettingsStore store;
        if (!store.StoreOpen(key, true))
            return failWith(u"StoreOpen"_s,
                            store.fileError() ? store.fileError()->message() : QString());
        const qint32 generation =
            (store.ValuePresent(u"Gen"_s) ? store.ReadNumber(u"Gen"_s).value() : 0) + 1;
        StoreResult written = store.WriteNumber(u"Gen"_s, generation);
        for (int k = 0; k < 200 && written.ok(); ++k) {
            written =
                store.WriteText(u"V"_s + QString::number(k),
                                u"generation %1 value %2\nsecond line"_s.arg(generation).arg(k));
        }
        if (!written.ok())
            return failWith(u"write"_s, written.message());
        if (StoreResult closed = store.StoreClose(); !closed.ok())
            return failWith(u"StoreClose"_s, closed.message());
        std::printf("%d\n", generation);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    const int count = args.value(2).toInt();
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (mode == u"main"_s)
        return saveMain(count);
    if (mode == u"dialog"_s)
        return saveDialog(count);
    if (mode == u"generations"_s)
        return writeGenerations();
    return failWith(u"usage"_s, u"store_writer main|dialog <count> | generations"_s);
}
