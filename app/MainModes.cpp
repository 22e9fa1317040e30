// The main window as the host of the modes: what they ask of it, and the designed handlers,
// which hand over to the running unattended mode.
#include "app/Main_U.h"
#include "app/StarterLists.h"
#include "app/desktop/TaskIcon.h"
#include "gui/Dialogs.h"
#include "modes/PassSettings.h"
#include "modes/Unattended.h"
#include "settings/ListFolder.h"
#include "windows/Set_U.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>

namespace morvex {

void TMorvexF::startInteractive() {
    m_application.TaskBarButtonVisible = true;
    m_application.ShowMainWindow = true;
    // Where the list fields look, so that lists can be put there; once, a new user is offered
    // starter lists, over the window once it is shown.
    makeListFolder();
    if (m_firstStart)
        QTimer::singleShot(0, this, [this] {
            // The window first, the question over it.
            QGuiApplication::sync();
            offerStarterLists(this, listFolder());
        });
}

QStringList TMorvexF::arguments() const {
    return m_application.Arguments;
}

SettingFState TMorvexF::settingF() {
    const TSettingF setting(this);
    return setting.readState();
}

ConvSettings TMorvexF::passValues() {
    return convSettings();
}

ConvSettings TMorvexF::conversionValues() {
    const TSettingF setting(this);
    return withStoredRules(withDialogSettings(convSettings(), setting.readState()),
                           [this](const QString& text) { showStandardError(this, text); });
}

void TMorvexF::convertAll() {
    ConvBtnClick();
}

void TMorvexF::engineError(const std::string& text, const std::string& caption) {
    showStopBox(this, QString::fromUtf8(caption), QString::fromUtf8(text));
}

void TMorvexF::skipConvertedOff() {
    SkipConverted = false;
}

void TMorvexF::setAppRunIconVisible(bool visible) {
    AppRunTask->setVisible(visible);
}

void TMorvexF::setObserveIconVisible(bool visible) {
    ObserveTask->setVisible(visible);
}

void TMorvexF::processEvents() {
    QCoreApplication::processEvents();
}

void TMorvexF::appRunTimerTick() {
    runGuarded(&TMorvexF::AppRunTimerTimer);
}

void TMorvexF::observeTimerTick() {
    runGuarded(&TMorvexF::ObserveTimerTimer);
}

void TMorvexF::AppRunTimerTimer() {
    if (modes())
        modes()->AppRunTimerTimer();
}

void TMorvexF::ObserveTimerTimer() {
    if (modes())
        modes()->ObserveTimerTimer();
}

} // namespace morvex
