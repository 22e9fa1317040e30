#pragma once

#include "engine/Engine.h"
#include "modes/RunMode.h"
#include "settings/SettingFGroups.h"

#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>

class QTimer;

namespace morvex {

class UnattendedModes;

/// Whoever runs the modes: the main window on a desktop, or the desktop-less run, which has no
/// windows and writes lines instead. `start` tells what each mode does first; the rest is what
/// the modes ask of their host.
class ModeHost {
public:
    ModeHost();
    virtual ~ModeHost();
    ModeHost(const ModeHost&) = delete;
    ModeHost& operator=(const ModeHost&) = delete;

    /// Starts `mode`: the main window for Interactive; one pass and the end for ConvertOnce; the
    /// unattended modes' start (their timers joined to the host's ticks) for AutoRun, Observe
    /// and WatchApp; nothing at all for Idle.
    void start(RunMode mode);
    /// The running unattended mode; null before start and in the other modes.
    UnattendedModes* modes() const { return m_modes.get(); }

    /// Morvex's own arguments as given, the mode switch first.
    virtual QStringList arguments() const = 0;
    /// The program's path, %0 of the commands.
    virtual QString programPath() const;
    /// The settings dialog's controls as a freshly created (unseen) dialog loads them.
    virtual SettingFState settingF() = 0;
    /// The values of a pass as the main window's fields give them now (sources, list patterns).
    virtual ConvSettings passValues() = 0;
    /// The same with the footer alignment the store holds now: the values of a conversion.
    virtual ConvSettings conversionValues() = 0;
    /// ConvBtnClick: one full pass with its result reports.
    virtual void convertAll() = 0;
    /// The engine's error sink (the "エラー" box); the modes mute repeats through it.
    virtual void engineError(const std::string& text, const std::string& caption) = 0;
    /// Switches the engine's skip-converted flag off for the rest of the run.
    virtual void skipConvertedOff() = 0;
    virtual void setAppRunIconVisible(bool visible);
    virtual void setObserveIconVisible(bool visible);
    /// A non-empty command that could not be started; the desktop says nothing, as designed.
    virtual void startFailed(const QString& command, const QString& reason);
    /// Handles pending events at the start of a watch tick (the window's message queue).
    virtual void processEvents();

protected:
    /// No argument: the main window is shown when the message loop starts.
    virtual void startInteractive() = 0;
    /// What the unattended modes run on.
    virtual ConvEngine& engine() = 0;
    virtual QTimer& appRunTimer() = 0;
    virtual QTimer& observeTimer() = 0;
    /// A tick of each timer; by default the modes' handlers.
    virtual void appRunTimerTick();
    virtual void observeTimerTick();

private:
    void startUnattended(RunMode mode);

    std::unique_ptr<UnattendedModes> m_modes;
    // The timers may outlive the host: its ticks must not reach it once it is gone.
    QMetaObject::Connection m_appRunTicks;
    QMetaObject::Connection m_observeTicks;
};

} // namespace morvex
