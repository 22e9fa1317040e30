#pragma once

#include "RunApp.h"
#include "SettingFGroups.h"
#include "Watch.h"
#include "engine/Engine.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QTimer;

namespace morvex {

/// What the unattended modes need from whoever runs them: the main window on a desktop, or the
/// desktop-less run, which has no windows and writes lines instead.
struct ModeHost {
    QStringList arguments; ///< Morvex's own arguments as given, the mode switch first
    QString programPath;   ///< %0
    /// The settings dialog's controls as a freshly created (unseen) dialog loads them.
    std::function<SettingFState()> settingF;
    /// The values of a pass as the window's fields give them now (sources, list patterns).
    std::function<ConvSettings()> passValues;
    /// The same with the footer alignment and encoding the store holds now: the values of a
    /// conversion.
    std::function<ConvSettings()> convSettings;
    /// ConvBtnClick: one full pass with its result reports.
    std::function<void()> convertAll;
    /// The engine's error sink (the "エラー" box); the modes mute repeats through it.
    ShowError engineErrors;
    /// Switches the engine's skip-converted flag off for the rest of the run.
    std::function<void()> skipConvertedOff;
    std::function<void(bool)> setAppRunIconVisible;
    std::function<void(bool)> setObserveIconVisible;
    /// A non-empty command that could not be started; the desktop says nothing, as designed.
    std::function<void(const QString& command, const QString& reason)> startFailed;
    /// Handles pending events at the start of a watch tick (the window's message queue).
    std::function<void()> processEvents;
};

/// The modes /a, /o and /w: their starts, RunApp and ExpandExeCmd, and the two timer
/// handlers. Runs on the thread of its timers and ends the process itself (endProcess).
class UnattendedModes {
public:
    UnattendedModes(ModeHost host, ConvEngine& engine, QTimer& appRunTimer, QTimer& observeTimer);
    ~UnattendedModes();

    /// "/a": before program and wait, or at once the pass, after program and end.
    void StartAutoRun();
    /// "/o": icon, skip-converted off, ObserveTimer on at 2000 ms.
    void StartObserve();
    /// "/w": start WatchApp (ending at once when it cannot start), then both timers.
    void StartWatchApp();

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
    bool convertOne(const std::string& path, bool quiet);
    void muteRepeatedErrors();

    ModeHost m_host;
    ConvEngine& m_engine;
    QTimer& m_appRunTimer;
    QTimer& m_observeTimer;
    bool m_quietErrors = false;
    bool m_inAppRunTick = false;
    bool m_inObserveTick = false;
};

/// The AppRun polling interval: the stored text as a decimal number, 1000 when it is none or
/// below 1 (such an interval would never tick, and the wait would never end).
int appRunInterval(const QString& appWaitTime);

} // namespace morvex
