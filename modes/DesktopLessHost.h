#pragma once

#include "modes/ModeHost.h"
#include "settings/MainWindowGroups.h"

#include <QTimer>
#include <cstdio>

namespace morvex {

/// The modes where no display answers, on QtCore alone: no windows and no icons. Results go to
/// standard output and messages, a program that cannot be started among them, to standard
/// error, one line each. A pass or a watch look reads the settings dialog's groups once, for
/// its footer alignment and its result lines alike: a large settings file read again for every
/// file would cost more than the conversion.
class DesktopLessHost : public ModeHost {
public:
    /// `fields`: the main window's fields as the store gave them at the start; `writes`: where
    /// what the loads of the settings dialog's groups write goes (nowhere for "/c").
    DesktopLessHost(MainWindowSettings fields, QStringList arguments, LoadWrites writes,
                    std::FILE* results = stdout);
    ~DesktopLessHost() override;

    /// What the close requests do: save the System and File groups, then end.
    void saveAndQuit();

    QStringList arguments() const override { return m_arguments; }
    SettingFState settingF() override;
    ConvSettings passValues() override;
    ConvSettings conversionValues() override;
    void convertAll() override;
    void engineError(const std::string& text, const std::string& caption) override;
    void skipConvertedOff() override { m_skipConverted = false; }
    void startFailed(const QString& command, const QString& reason) override;

protected:
    /// Never asked for: the program's start refuses the main window without a display.
    void startInteractive() override {}
    ConvEngine& engine() override { return m_engine; }
    QTimer& appRunTimer() override { return m_appRunTimer; }
    QTimer& observeTimer() override { return m_observeTimer; }

private:
    MainWindowSettings m_fields;
    QStringList m_arguments;
    LoadWrites m_writes;
    std::FILE* m_results;
    SettingFState m_passDialog; ///< as the running pass or look read it
    ConvEngine m_engine;
    QTimer m_appRunTimer;
    QTimer m_observeTimer;
    bool m_skipConverted = true;
};

} // namespace morvex
