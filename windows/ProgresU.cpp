#include "ProgresU.h"

#include "DesignedWindow.h"
#include "DisRangeTrackBar.h"
#include "Set_U.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

QFrame* makePanel(QWidget* parent, const QString& name, const QRect& geometry,
                  QFrame::Shadow bevel) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | bevel);
    panel->setLineWidth(1);
    panel->setGeometry(geometry);
    return panel;
}

// A right-aligned auto-sized label keeps its right edge where the layout put it.
void setRightAnchoredText(QLabel* label, const QString& text, int right) {
    label->setText(text);
    label->adjustSize();
    label->move(right - label->width(), label->y());
}

constexpr int headCountRight = 84;

} // namespace

TProgressF::TProgressF(QWidget* parent)
    : QDialog(parent) {
    setObjectName(u"ProgressF"_s);
    setWindowTitle(u"変換結果"_s);
    setDialogBorder(this, true);
    setFont(designedDialogFont());
    setFixedSize(241, 117);
    buildPanels();
    OkBtn = makeButton(this, u"OkBtn"_s, u"OK"_s, {80, 88, 81, 21});
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    Timer = new QTimer(this);
    Timer->setObjectName(u"Timer"_s);
    Timer->setInterval(5000);
    connect(Timer, &QTimer::timeout, this, &TProgressF::TimerTimer);
}

void TProgressF::buildPanels() {
    BackPnl = makePanel(this, u"BackPnl"_s, {8, 4, 225, 75}, QFrame::Raised);
    FileNamePnl = makePanel(BackPnl, u"FileNamePnl"_s, {10, 8, 205, 21}, QFrame::Sunken);
    Label1 = makeLabel(FileNamePnl, u"Label1"_s, u"ﾌｧｲﾙ:"_s, 4, 4);
    FileName = makeLabel(FileNamePnl, u"FileName"_s, QString(), 40, 4);

    HeadConvPnl = makePanel(BackPnl, u"HeadConvPnl"_s, {10, 33, 101, 21}, QFrame::Sunken);
    Label4 = makeLabel(HeadConvPnl, u"Label4"_s, u"ﾍｯﾀﾞ変換数:"_s, 4, 4);
    HeadConvCount = makeLabel(HeadConvPnl, u"HeadConvCount"_s, QString(), 0, 4);
    HeadConvCount->setAlignment(Qt::AlignRight | Qt::AlignTop);
    setRightAnchoredText(HeadConvCount, u"0"_s, headCountRight);
    Label5 = makeLabel(HeadConvPnl, u"Label5"_s, u"個"_s, 84, 4);

    ConvPnl = makePanel(BackPnl, u"ConvPnl"_s, {114, 33, 101, 21}, QFrame::Sunken);
    Label2 = makeLabel(ConvPnl, u"Label2"_s, u"ﾌｯﾀ変換数:"_s, 4, 4);
    ConvCount = makeLabel(ConvPnl, u"ConvCount"_s, u"0"_s, 64, 4);
    ConvCount->setAlignment(Qt::AlignRight | Qt::AlignTop);
    ConvCount->setGeometry(64, 4, 20, ConvCount->height());
    Label3 = makeLabel(ConvPnl, u"Label3"_s, u"個"_s, 84, 4);
}

void TProgressF::setFileName(const QString& path) {
    FileName->setText(path);
    FileName->adjustSize();
}

void TProgressF::setCounts(int footers, int headers) {
    ConvCount->setText(QString::number(footers));
    setRightAnchoredText(HeadConvCount, QString::number(headers), headCountRight);
}

void TProgressF::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        centreOnScreen(this);
        FormShow();
    }
}

void TProgressF::FormShow() {
    Timer->stop();
    if (m_autoClose == 0)
        return;
    Timer->setInterval(m_waitSeconds == 0 ? 417 : m_waitSeconds * 1000);
    Timer->start();
}

void TProgressF::TimerTimer() {
    Timer->stop();
    close();
}

void TProgressF::keyPressEvent(QKeyEvent* event) {
    if (!handleDialogKeys(event, focusWidget(), nullptr, nullptr))
        QDialog::keyPressEvent(event);
}

void ShowFileResult(QWidget* parent, const QString& path, int footers, int headers) {
    if (footers == 0 && headers == 0)
        return;
    int waitSeconds = 0;
    int autoClose = 0;
    {
        const TSettingF settings(parent);
        if (!settings.ShowResult->isChecked())
            return;
        waitSeconds = settings.WaitTime->position();
        autoClose = settings.GoByClose->isChecked() ? 1 : 0;
    }
    // The modal loop lets timers run; should the parent go away meanwhile, so does the dialog.
    const QPointer<TProgressF> progress = new TProgressF(parent);
    progress->setFileName(path);
    progress->setCounts(footers, headers);
    progress->setWaitSeconds(waitSeconds);
    progress->setAutoClose(autoClose);
    progress->exec();
    delete progress.data();
}

} // namespace morvex
