#include "modes/Unattended.h"

#include "modes/ModeHost.h"
#include "modes/ProcessEnd.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <exception>

namespace morvex {

namespace {

constexpr int kWaitPerTickMs = 100;
// How often a long look lets the event loop run, to hear a quit request between two files.
constexpr int kEventsDuringLookMs = 50;
// Looks at finished saves in a row, before waiting for the next event or tick.
constexpr int kFinishedLooksInARow = 3;

// Clears a flag when a handler returns, however it returns.
struct TickGuard {
    bool& running;
    explicit TickGuard(bool& flag)
        : running(flag) {
        running = true;
    }
    ~TickGuard() { running = false; }
};

} // namespace

int appRunInterval(const QString& appWaitTime) {
    bool ok = false;
    const int interval = appWaitTime.toInt(&ok, 10);
    return ok && interval >= 1 ? interval : kAppWaitTimeDefault;
}

UnattendedModes::UnattendedModes(ModeHost& host, ConvEngine& engine, QTimer& appRunTimer,
                                 QTimer& observeTimer)
    : Watch({
          .buildPools =
              [this] {
                  // With the encoding the store holds now: the pools are in the files'.
                  const ConvSettings values = m_host.conversionValues();
                  m_engine.MakeFooterPool(values.footerListPattern, values.encoding);
                  m_engine.MakeHeaderPool(values.headerListPattern, values.encoding);
              },
          .convertOne = [this](const std::string& path,
                               bool quiet) { return convertOne(path, quiet); },
          .statFile = {},
          .beginLook =
              [this] {
                  m_lookSettings.reset();
                  m_sinceEvents.start();
                  m_engine.beginLook();
              },
          .betweenFiles = [this] { return betweenFiles(); },
          .writers = {},
      })
    , m_host(host)
    , m_engine(engine)
    , m_appRunTimer(appRunTimer)
    , m_observeTimer(observeTimer) {}

UnattendedModes::~UnattendedModes() = default;

void UnattendedModes::muteRepeatedErrors() {
    m_engine.setShowError([this](const std::string& text, const std::string& caption) {
        ++m_errorsShown;
        if (!m_quietErrors)
            m_host.engineError(text, caption);
    });
}

WatchPass::Outcome UnattendedModes::convertOne(const std::string& path, bool quiet) {
    // Read once per look: a look over thousands of files must not read the store for each.
    if (!m_lookSettings)
        m_lookSettings = m_host.conversionValues();
    const int errorsBefore = m_errorsShown;
    m_quietErrors = quiet;
    const bool replaced = m_engine.ConvertOne(path, *m_lookSettings);
    m_quietErrors = false;
    if (replaced)
        return WatchPass::Outcome::Converted;
    // Not rewritten without an error: nothing to change, or another pass's work.
    return m_errorsShown == errorsBefore ? WatchPass::Outcome::LeftAlone
                                         : WatchPass::Outcome::Failed;
}

bool UnattendedModes::betweenFiles() {
    if (m_sinceEvents.elapsed() >= kEventsDuringLookMs) {
        QCoreApplication::processEvents();
        m_sinceEvents.start();
    }
    // A close request stops the timer (or ends the process): no further file is begun.
    return m_observeTimer.isActive();
}

void UnattendedModes::startObserveTimer(int tag) {
    ObserveTimerTag = tag;
    m_observeTimer.setInterval(kObserveTimerInterval);
    m_observeTimer.start();
    if (Watch.notices().fd() < 0 || m_savesNotifier)
        return;
    m_savesNotifier =
        std::make_unique<QSocketNotifier>(Watch.notices().fd(), QSocketNotifier::Read);
    QObject::connect(m_savesNotifier.get(), &QSocketNotifier::activated, m_savesNotifier.get(),
                     [this] {
                         // No exception crosses the event loop: it is shown as the timers'
                         // handlers show theirs, in the standard error box.
                         try {
                             if (Watch.notices().read())
                                 lookAtFinishedSaves();
                         } catch (const std::exception& error) {
                             m_host.engineError(error.what(), "Morvex");
                         }
                     });
}

void UnattendedModes::lookAtFinishedSaves() {
    if (!Watch.ObserveStarted() || m_inObserveTick || m_inAppRunTick || !m_observeTimer.isActive())
        return; // before the baseline nothing is converted; else a look to come takes them
    const TickGuard guard(m_inObserveTick);
    for (int look = 0; look < kFinishedLooksInARow && Watch.notices().hasFinished(); ++look) {
        Watch.lookAtFinished(m_host.passValues().sources);
        Watch.notices().read();
    }
}

void UnattendedModes::startAutoRun() {
    const SettingFState setting = m_host.settingF();
    BeforeApp = setting.BeforeApp;
    AfterApp = setting.AfterApp;
    m_appRunTimer.setInterval(appRunInterval(setting.AppWaitTime));
    if (setting.BeforeRunChk) {
        m_host.setAppRunIconVisible(true);
        RunApp(true);
        m_appRunTimer.start(); // also when nothing started: the first tick then converts
        return;
    }
    m_host.convertAll();
    if (m_host.settingF().AfterRunChk)
        RunApp(false);
    endProcess(ExitStatus::Done);
}

void UnattendedModes::startObserve() {
    m_host.settingF(); // created unseen, as the design does, and never used
    m_host.skipConvertedOff();
    muteRepeatedErrors();
    m_engine.beginRun(); // every file saved in the same second gets draws of its own
    m_host.setObserveIconVisible(true);
    startObserveTimer(0);
}

void UnattendedModes::startWatchApp() {
    ExeCmd = m_host.settingF().WatchApp;
    m_host.skipConvertedOff();
    muteRepeatedErrors();
    m_engine.beginRun();
    QString reason;
    AppProcess = startProgram(ExeCmd, &reason);
    if (!AppProcess.started()) {
        if (!ExeCmd.trimmed().isEmpty())
            m_host.startFailed(ExeCmd, reason);
        endProcess(ExitStatus::Done);
        return;
    }
    m_appRunTimer.setInterval(kAppRunTimerInterval);
    m_appRunTimer.start();
    m_host.setObserveIconVisible(true);
    startObserveTimer(1);
}

void UnattendedModes::AppRunTimerTimer() {
    if (m_inAppRunTick)
        return;
    const TickGuard guard(m_inAppRunTick);
    if (AppProcess.waitFor(kWaitPerTickMs) == ChildProcess::State::Running)
        return;
    m_appRunTimer.stop();
    m_host.convertAll();
    if (m_host.settingF().AfterRunChk)
        RunApp(false);
    endProcess(ExitStatus::Done);
}

void UnattendedModes::ObserveTimerTimer() {
    // Nor inside the final pass of /w (from its result dialog): a conversion of its own there
    // would begin a new pass in the engine in the middle of that one.
    if (m_inObserveTick || m_inAppRunTick)
        return;
    {
        const TickGuard guard(m_inObserveTick);
        m_host.processEvents();
        Watch.tick(m_host.passValues().sources);
    }
    // Saves finished while the look ran, after it had passed their files.
    lookAtFinishedSaves();
    if (ObserveTimerTag != 1)
        return;
    if (AppProcess.waitFor(kWaitPerTickMs) != ChildProcess::State::Running) {
        m_observeTimer.stop();
        endProcess(ExitStatus::Done);
    }
}

void UnattendedModes::RunApp(bool before) {
    AppProcess = ChildProcess();
    ExeCmd = before ? BeforeApp : AfterApp;
    ExpandExeCmd();
    QString reason;
    AppProcess = startProgram(ExeCmd, &reason);
    if (!AppProcess.started() && !ExeCmd.trimmed().isEmpty())
        m_host.startFailed(ExeCmd, reason);
    if (before && AppProcess.started())
        m_appRunTimer.start();
}

void UnattendedModes::ExpandExeCmd() {
    ExeCmd = morvex::ExpandExeCmd(ExeCmd, m_host.programPath(), m_host.arguments());
}

} // namespace morvex
