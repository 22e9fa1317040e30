// The main window's side of the unattended modes: what UnattendedModes asks of it, and the
// designed handlers, which hand over to it.
#include "Main_U.h"
#include "PassSettings.h"
#include "Set_U.h"
#include "TaskIcon.h"
#include "Unattended.h"

#include <QCoreApplication>
#include <QTimer>

namespace morvex {

void TMorvexF::startUnattended() {
    ModeHost host;
    host.arguments = m_application.Arguments;
    host.programPath = programFilePath();
    host.settingF = [this] {
        const TSettingF setting(this);
        return setting.readState();
    };
    host.passValues = [this] {
        return convSettings();
    };
    host.convSettings = [this] {
        const TSettingF setting(this);
        return withDialogSettings(convSettings(), setting.readState());
    };
    host.convertAll = [this] {
        ConvBtnClick();
    };
    host.engineErrors = [this](const std::string& text, const std::string& caption) {
        showStopBox(this, QString::fromUtf8(caption), QString::fromUtf8(text));
    };
    host.skipConvertedOff = [this] {
        SkipConverted = false;
    };
    host.setAppRunIconVisible = [this](bool visible) {
        AppRunTask->setVisible(visible);
    };
    host.setObserveIconVisible = [this](bool visible) {
        ObserveTask->setVisible(visible);
    };
    // On a desktop a program that cannot be started is not reported.
    host.startFailed = [](const QString&, const QString&) {
    };
    host.processEvents = [] {
        QCoreApplication::processEvents();
    };
    Modes = std::make_unique<UnattendedModes>(std::move(host), Engine, *AppRunTimer, *ObserveTimer);

    connect(AppRunTimer, &QTimer::timeout, this,
            [this] { runGuarded(&TMorvexF::AppRunTimerTimer); });
    connect(ObserveTimer, &QTimer::timeout, this,
            [this] { runGuarded(&TMorvexF::ObserveTimerTimer); });
    switch (m_runMode) {
    case RunMode::AutoRun:
        Modes->StartAutoRun();
        break;
    case RunMode::Observe:
        Modes->StartObserve();
        break;
    case RunMode::WatchApp:
        Modes->StartWatchApp();
        break;
    default:
        break;
    }
}

void TMorvexF::AppRunTimerTimer() {
    if (Modes)
        Modes->AppRunTimerTimer();
}

void TMorvexF::ObserveTimerTimer() {
    if (Modes)
        Modes->ObserveTimerTimer();
}

void TMorvexF::RunApp(bool before) {
    if (Modes)
        Modes->RunApp(before);
}

void TMorvexF::ExpandExeCmd() {
    if (Modes)
        Modes->ExpandExeCmd();
}

} // namespace morvex
