#include "windows/ProgresU.h"

#include "controls/DisRangeTrackBar.h"
#include "gui/Accessibility.h"
#include "gui/DesignedWindow.h"
#include "windows/Set_U.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

constexpr int kCountRight = 84; // where "個" begins, in both count panels
constexpr int kFooterBoxLeft = 64;

// A count grows to the left of its fixed right edge. When it needs the room its caption takes,
// the caption is drawn condensed, just enough for both to show whole.
void placeCount(QLabel* caption, QLabel* count, const QString& text, int minLeft) {
    count->setText(text);
    count->adjustSize();
    const int left = std::min(minLeft, kCountRight - count->width());
    count->setGeometry(left, count->y(), kCountRight - left, count->height());

    QFont font = caption->font();
    font.setStretch(QFont::Unstretched);
    font.setStretch(condensedStretch(font, caption->text(), left - 1 - caption->x(), 1));
    caption->setFont(font);
    caption->adjustSize();
}

} // namespace

TProgressF::TProgressF(QWidget* parent)
    : QDialog(parent) {
    setObjectName(u"ProgressF"_s);
    setWindowTitle(u"変換結果"_s);
    setDesignedDialog(this, {241, 117}, true);
    buildPanels();
    OkBtn = makeButton(this, u"OkBtn"_s, u"OK"_s, {80, 88, 81, 21});
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    describeControl(OkBtn, u"結果を閉じます。変換はこのまま続きます"_s);
    Timer = makeTimer(this, u"Timer"_s, 5000);
    connect(Timer, &QTimer::timeout, this, &TProgressF::TimerTimer);
}

void TProgressF::buildPanels() {
    BackPnl = makePanel(this, u"BackPnl"_s, {8, 4, 225, 75}, QFrame::Raised);
    FileNamePnl = makePanel(BackPnl, u"FileNamePnl"_s, {10, 8, 205, 21}, QFrame::Sunken);
    Label1 = makeLabel(FileNamePnl, u"Label1"_s, u"ﾌｧｲﾙ:"_s, 4, 4);
    FileName = makeLabel(FileNamePnl, u"FileName"_s, QString(), 40, 4);
    FileName->setAccessibleDescription(u"変換したファイル"_s);

    HeadConvPnl = makePanel(BackPnl, u"HeadConvPnl"_s, {10, 33, 101, 21}, QFrame::Sunken);
    Label4 = makeLabel(HeadConvPnl, u"Label4"_s, u"ﾍｯﾀﾞ変換数:"_s, 4, 4);
    HeadConvCount = makeLabel(HeadConvPnl, u"HeadConvCount"_s, QString(), 0, 4);
    HeadConvCount->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label5 = makeLabel(HeadConvPnl, u"Label5"_s, u"個"_s, 84, 4);

    ConvPnl = makePanel(BackPnl, u"ConvPnl"_s, {114, 33, 101, 21}, QFrame::Sunken);
    Label2 = makeLabel(ConvPnl, u"Label2"_s, u"ﾌｯﾀ変換数:"_s, 4, 4);
    ConvCount = makeLabel(ConvPnl, u"ConvCount"_s, QString(), kFooterBoxLeft, 4);
    ConvCount->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label3 = makeLabel(ConvPnl, u"Label3"_s, u"個"_s, 84, 4);
    setCounts(0, 0);
}

void TProgressF::setFileName(const QString& path) {
    // The label ends inside the panel's bevel; what does not fit is cut from the folders.
    const int width = FileNamePnl->contentsRect().right() - 1 - FileName->x();
    FileName->setText(fittedPath(path, FileName->fontMetrics(), width));
    FileName->setToolTip(path);
    // A screen reader reads the whole path, not the one cut to fit.
    FileName->setAccessibleName(path);
    FileName->setGeometry(FileName->x(), FileName->y(), width, FileName->height());
}

void TProgressF::setCounts(int footers, int headers) {
    placeCount(Label2, ConvCount, QString::number(footers), kFooterBoxLeft);
    placeCount(Label4, HeadConvCount, QString::number(headers), kCountRight);
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

void showFileResult(QWidget* parent, const QString& path, int footers, int headers,
                    LoadWrites writes) {
    if (footers == 0 && headers == 0)
        return;
    int waitSeconds = 0;
    int autoClose = 0;
    {
        const TSettingF settings(parent, writes);
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
