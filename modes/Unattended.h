#pragma once

#include "engine/Engine.h"
#include "modes/RunApp.h"
#include "modes/Watch.h"

#include <QElapsedTimer>
#include <QString>
#include <memory>
#include <optional>

class QSocketNotifier;
class QTimer;

namespace morvex {

class ModeHost;

/// The designed intervals of the two timers, in milliseconds: `AppRunTimer` (the "/a" mode
/// sets the stored AppRun `WaitTime` instead) and `ObserveTimer`.
inline constexpr int kAppRunTimerInterval = 1234;
inline constexpr int kObserveTimerInterval = 2000;

/// The modes /a, /o and /w: their starts, RunApp and ExpandExeCmd, and the two timer
/// handlers. Runs on the thread of its timers and ends the process itself (endProcess).
class UnattendedModes {
public:
    UnattendedModes(ModeHost& host, ConvEngine& engine, QTimer& appRunTimer, QTimer& observeTimer);
    ~UnattendedModes();

    /// "/a": before program and wait, or at once the pass, after program and end.
    void startAutoRun();
    /// "/o": icon, skip-converted off, ObserveTimer on at 2000 ms.
    void startObserve();
    /// "/w": start WatchApp (ending at once when it cannot start), then both timers.
    void startWatchApp();

    void AppRunTimerTimer();
    void ObserveTimerTimer();
    /// Starts the before (`before` true) or the after program from BeforeApp / AfterApp.
    void RunApp(bool before);
    /// Replaces the placeholders of ExeCmd.
    void ExpandExeCmd();

    QString ExeCmd;
    QString BeforeApp;
    QString AfterApp;
    ChildProcess AppProcess;
    int ObserveTimerTag = 0; ///< 1 in "/w": the tick also looks for the program's end
    WatchPass Watch;

private:
    WatchPass::Outcome convertOne(const std::string& path, bool quiet);
    bool betweenFiles();
    void muteRepeatedErrors();
    /// ObserveTimer on, with the kernel's word on finished saves heard in between.
    void startObserveTimer(int tag);
    /// Converts the files the kernel reported finished, unless a look is running.
    void lookAtFinishedSaves();

    ModeHost& m_host;
    ConvEngine& m_engine;
    QTimer& m_appRunTimer;
    QTimer& m_observeTimer;
    std::unique_ptr<QSocketNotifier> m_savesNotifier;
    std::optional<ConvSettings> m_lookSettings; ///< the conversion values of the running look
    QElapsedTimer m_sinceEvents;                ///< since the event loop last ran in a look
    int m_errorsShown = 0;
    bool m_quietErrors = false;
    bool m_inAppRunTick = false;
    bool m_inObserveTick = false;
};

/// The AppRun polling interval: the stored text as a decimal number, 1000 when it is none or
/// below 1 (such an interval would never tick, and the wait would never end).
int appRunInterval(const QString& appWaitTime);

} // namespace morvex
