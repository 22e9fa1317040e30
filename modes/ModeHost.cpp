#include "modes/ModeHost.h"

#include "modes/ProcessEnd.h"
#include "modes/RunApp.h"
#include "modes/Unattended.h"

#include <QTimer>

namespace morvex {

ModeHost::ModeHost() = default;

ModeHost::~ModeHost() {
    QObject::disconnect(m_appRunTicks);
    QObject::disconnect(m_observeTicks);
}

void ModeHost::start(RunMode mode) {
    switch (mode) {
    case RunMode::Interactive:
        startInteractive();
        return;
    case RunMode::ConvertOnce:
        convertAll();
        endProcess(ExitStatus::Done);
        return;
    case RunMode::AutoRun:
    case RunMode::Observe:
    case RunMode::WatchApp:
        startUnattended(mode);
        return;
    case RunMode::Idle:
        return;
    }
}

void ModeHost::startUnattended(RunMode mode) {
    m_modes = std::make_unique<UnattendedModes>(*this, engine(), appRunTimer(), observeTimer());
    m_appRunTicks = QObject::connect(&appRunTimer(), &QTimer::timeout, &appRunTimer(),
                                     [this] { appRunTimerTick(); });
    m_observeTicks = QObject::connect(&observeTimer(), &QTimer::timeout, &observeTimer(),
                                      [this] { observeTimerTick(); });
    if (mode == RunMode::AutoRun)
        m_modes->startAutoRun();
    else if (mode == RunMode::Observe)
        m_modes->startObserve();
    else
        m_modes->startWatchApp();
}

QString ModeHost::programPath() const {
    return programFilePath();
}

void ModeHost::setAppRunIconVisible(bool) {}

void ModeHost::setObserveIconVisible(bool) {}

void ModeHost::startFailed(const QString&, const QString&) {}

void ModeHost::processEvents() {}

void ModeHost::appRunTimerTick() {
    m_modes->AppRunTimerTimer();
}

void ModeHost::observeTimerTick() {
    m_modes->ObserveTimerTimer();
}

} // namespace morvex
