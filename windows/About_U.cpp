#include "windows/About_U.h"

#include "controls/Color.h"
#include "controls/ExLabel.h"
#include "gui/Accessibility.h"
#include "gui/DesignedWindow.h"

#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>

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
    if (resource.isEmpty())
        return image;
    // On a scaled display the picture drawn at twice the size, where there is one.
    const QString fine = QString(resource).insert(resource.lastIndexOf(u'.'), u"@2x"_s);
    QPixmap picture;
    if (image->devicePixelRatioF() > 1.0 && picture.load(fine))
        picture.setDevicePixelRatio(2.0);
    else
        picture.load(resource);
    image->setPixmap(picture);
    return image;
}

} // namespace

QImage DrawTransparent(const QImage& source, const QColor& background) {
    if (source.isNull())
        return {};
    // Same picture as masking the key colour out and the button face in: every pixel of the
    // top-left pixel's colour shows the background, every other pixel keeps its colour.
    QImage result = source.convertToFormat(QImage::Format_RGB32);
    const QRgb key = result.pixel(0, 0);
    const QRgb face = background.rgb();
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        std::replace(line, line + result.width(), key, face);
    }
    return result;
}

QColor readableOn(QColor colour, const QColor& face, double ratio) {
    const bool darkFace = face.lightness() < 128;
    for (int step = 0; step < 20 && contrastRatio(colour, face) < ratio; ++step)
        colour = darkFace ? colour.lighter(115) : colour.darker(115);
    return colour;
}

QImage drawLogo(const QImage& source, const QPalette& palette) {
    // The dialog's own face, which the button face is on the designed platform: the logo has no
    // box of its own on a scheme whose buttons differ from the window.
    const QColor face = palette.color(QPalette::Window);
    QImage logo = DrawTransparent(source, face);
    // The name's two blues are the palette's link colour, which a scheme keeps readable on its
    // own faces (the classic blue and navy on a light one); held to at least 3:1 all the same.
    const QColor link = readableOn(palette.color(QPalette::Link), face, 3.0);
    // Halfway to black on a light face: the classic navy under the blue.
    const QColor halfDark((link.red() + 1) / 2, (link.green() + 1) / 2, (link.blue() + 1) / 2);
    const QColor shade =
        readableOn(face.lightness() < 128 ? link.lighter(130) : halfDark, face, 3.0);
    const QRgb blue = qRgb(0x00, 0x00, 0xFF);
    const QRgb navy = qRgb(0x00, 0x00, 0x80);
    for (int y = 0; y < logo.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(logo.scanLine(y));
        std::replace(line, line + logo.width(), blue, link.rgb());
        std::replace(line, line + logo.width(), navy, shade.rgb());
    }
    return logo;
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
    // Drawn on the dialog's face, as the design's button face is; no band of its own.
    Version->setTransparent(true);
    Version->setGeometry(56, 34, 245, 12);
    OkBtn = makeButton(this, u"OkBtn"_s, u"OK"_s, {104, 88, 93, 21});
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    describeControl(OkBtn, u"バージョン情報を閉じます"_s);
    describeControl(LogoImg, u"プログラムの名前"_s, u"Morvex のロゴ"_s);
    describeControl(Icon, u"プログラムのアイコン"_s, u"Morvex のアイコン"_s);
    FormCreate();
}

void TAboutF::FormCreate() {
    const QPixmap source = SrcImg->pixmap();
    QPixmap composed = QPixmap::fromImage(drawLogo(source.toImage(), palette()));
    composed.setDevicePixelRatio(source.devicePixelRatio());
    LogoImg->setPixmap(composed);
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
