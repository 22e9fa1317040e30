#include "Unattended.h"

#include "ProcessEnd.h"

#include <QTimer>

namespace morvex {

namespace {

constexpr int kWaitPerTickMs = 100;
constexpr int kAppRunDesignInterval = 1234;
constexpr int kObserveInterval = 2000;

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
    return ok && interval >= 1 ? interval : 1000;
}

UnattendedModes::UnattendedModes(ModeHost host, ConvEngine& engine, QTimer& appRunTimer,
                                 QTimer& observeTimer)
    : Watch({
          .buildPools =
              [this] {
                  // With the encoding the store holds now: the pools are in the files'.
                  const ConvSettings values = m_host.convSettings();
                  m_engine.MakeFooterPool(values.footerListPattern, values.encoding);
                  m_engine.MakeHeaderPool(values.headerListPattern, values.encoding);
              },
          .convertOne = [this](const std::string& path,
                               bool quiet) { return convertOne(path, quiet); },
          .statFile = {},
      })
    , m_host(std::move(host))
    , m_engine(engine)
    , m_appRunTimer(appRunTimer)
    , m_observeTimer(observeTimer) {}

UnattendedModes::~UnattendedModes() = default;

void UnattendedModes::muteRepeatedErrors() {
    m_engine.setShowError([this](const std::string& text, const std::string& caption) {
        if (!m_quietErrors && m_host.engineErrors)
            m_host.engineErrors(text, caption);
    });
}

bool UnattendedModes::convertOne(const std::string& path, bool quiet) {
    const ConvSettings settings = m_host.convSettings();
    m_quietErrors = quiet;
    const bool replaced = m_engine.ConvertOne(path, settings);
    m_quietErrors = false;
    return replaced;
}

void UnattendedModes::StartAutoRun() {
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
    endProcess(0);
}

void UnattendedModes::StartObserve() {
    m_host.settingF(); // created unseen, as the design does, and never used
    m_host.skipConvertedOff();
    muteRepeatedErrors();
    m_host.setObserveIconVisible(true);
    ObserveTimerTag = 0;
    m_observeTimer.setInterval(kObserveInterval);
    m_observeTimer.start();
}

void UnattendedModes::StartWatchApp() {
    ExeCmd = m_host.settingF().WatchApp;
    m_host.skipConvertedOff();
    muteRepeatedErrors();
    QString reason;
    AppProcess = startProgram(ExeCmd, &reason);
    if (!AppProcess.started()) {
        if (!ExeCmd.trimmed().isEmpty())
            m_host.startFailed(ExeCmd, reason);
        endProcess(0);
        return;
    }
    m_appRunTimer.setInterval(kAppRunDesignInterval);
    m_appRunTimer.start();
    m_host.setObserveIconVisible(true);
    ObserveTimerTag = 1;
    m_observeTimer.setInterval(kObserveInterval);
    m_observeTimer.start();
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
    endProcess(0);
}

void UnattendedModes::ObserveTimerTimer() {
    if (m_inObserveTick)
        return;
    const TickGuard guard(m_inObserveTick);
    if (m_host.processEvents)
        m_host.processEvents();
    Watch.tick(m_host.passValues().sources);
    if (ObserveTimerTag != 1)
        return;
    if (AppProcess.waitFor(kWaitPerTickMs) != ChildProcess::State::Running) {
        m_observeTimer.stop();
        endProcess(0);
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
    ExeCmd = morvex::ExpandExeCmd(ExeCmd, m_host.programPath, m_host.arguments);
}

} // namespace morvex
