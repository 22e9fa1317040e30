#pragma once

#include "settings/SettingsGroups.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace morvex {

/// The result dialog: one converted file's name and its footer and header counts, closing by
/// itself after the configured seconds when asked.
class TProgressF : public QDialog {
    Q_OBJECT

public:
    explicit TProgressF(QWidget* parent = nullptr);

    /// The five inputs, set before the dialog is shown.
    void setFileName(const QString& path);
    void setCounts(int footers, int headers);
    void setWaitSeconds(int seconds) { m_waitSeconds = seconds; }
    void setAutoClose(int flag) { m_autoClose = flag; }

    QFrame* BackPnl;
    QFrame* FileNamePnl;
    QLabel* Label1;
    QLabel* FileName;
    QFrame* HeadConvPnl;
    QLabel* Label4;
    QLabel* HeadConvCount;
    QLabel* Label5;
    QFrame* ConvPnl;
    QLabel* Label2;
    QLabel* ConvCount;
    QLabel* Label3;
    QPushButton* OkBtn;
    QTimer* Timer;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildPanels();
    void FormShow();
    void TimerTimer();

    int m_waitSeconds = 0;
    int m_autoClose = 0;
};

/// The answer to the engine's per-file result: reads the Result settings through an unseen
/// TSettingF (loading with `writes`) and, when ShowResult is checked, shows a TProgressF modally.
/// Returns at once when both counts are 0.
void showFileResult(QWidget* parent, const QString& path, int footers, int headers,
                    LoadWrites writes = LoadWrites::Saved);

} // namespace morvex
