#include "About_U.h"

#include "DesignedWindow.h"
#include "ExLabel.h"

#include <QBitmap>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

// Resources of a static library must be registered by hand, from the global namespace.
static void initWindowResources() {
    Q_INIT_RESOURCE(windows);
}

namespace morvex {
using namespace Qt::StringLiterals;

namespace {

QLabel* makeImage(QWidget* parent, const QString& name, const QRect& geometry,
                  const QString& resource) {
    auto* image = new QLabel(parent);
    image->setObjectName(name);
    image->setGeometry(geometry);
    image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (!resource.isEmpty())
        image->setPixmap(QPixmap(resource));
    return image;
}

} // namespace

QImage DrawTransparent(const QImage& source, const QColor& background) {
    if (source.isNull())
        return {};
    const QImage picture = source.convertToFormat(QImage::Format_RGB32);
    // Clear where the key colour is: those pixels let the background through.
    const QImage keep = picture.createMaskFromColor(picture.pixel(0, 0), Qt::MaskOutColor);
    QPixmap shown = QPixmap::fromImage(picture);
    shown.setMask(QBitmap::fromImage(keep));
    QImage result(picture.size(), QImage::Format_RGB32);
    result.fill(background);
    QPainter painter(&result);
    painter.drawPixmap(0, 0, shown);
    return result;
}

TAboutF::TAboutF(QWidget* parent)
    : QDialog(parent) {
    initWindowResources();
    setObjectName(u"AboutF"_s);
    setWindowTitle(u"バージョン情報"_s);
    setDialogBorder(this, true);
    setFont(designedDialogFont());
    setFixedSize(303, 118);

    SrcImg = makeImage(this, u"SrcImg"_s, {104, 8, 145, 25}, u":/windows/pictures/logo.bmp"_s);
    SrcImg->hide();
    LogoImg = makeImage(this, u"LogoImg"_s, {104, 8, 145, 25}, QString());
    Icon = makeImage(this, u"Icon"_s, {22, 22, 32, 32}, u":/windows/pictures/icon.bmp"_s);
    Version = new TExLabel(u"Version 2.00"_s, this);
    Version->setObjectName(u"Version"_s);
    Version->setAutoSize(false);
    Version->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    Version->setFont3D(true);
    Version->setGeometry(56, 34, 245, 12);
    OkBtn = makeButton(this, u"OkBtn"_s, u"OK"_s, {104, 88, 93, 21});
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    FormCreate();
}

void TAboutF::FormCreate() {
    const QImage composed =
        DrawTransparent(SrcImg->pixmap().toImage(), palette().color(QPalette::Button));
    LogoImg->setPixmap(QPixmap::fromImage(composed));
}

void TAboutF::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        centreOnScreen(this);
}

void TAboutF::keyPressEvent(QKeyEvent* event) {
    if (!handleDialogKeys(event, focusWidget(), nullptr, nullptr))
        QDialog::keyPressEvent(event);
}

} // namespace morvex
