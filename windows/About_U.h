#pragma once

#include <QDialog>

class QColor;
class QImage;
class QPalette;
class QLabel;
class QPushButton;

namespace morvex {

class TExLabel;
/// The about box: the logo drawn with one colour transparent, the version and the icon.
class TAboutF : public QDialog {
    Q_OBJECT

public:
    explicit TAboutF(QWidget* parent = nullptr);

    QLabel* SrcImg; ///< hidden: the logo as stored
    QLabel* LogoImg;
    QLabel* Icon;
    TExLabel* Version;
    QPushButton* OkBtn;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate();
};

/// `source` with every pixel of its top-left pixel's colour replaced by `background`.
QImage DrawTransparent(const QImage& source, const QColor& background);

/// The logo as the box shows it: transparent on the palette's window face, the name's blues
/// in the palette's link colour and a shade of it, each at least 3:1 against the face.
QImage drawLogo(const QImage& source, const QPalette& palette);

/// `colour`, made lighter on a dark `face` (darker on a light one) until it stands `ratio`:1
/// against it.
QColor readableOn(QColor colour, const QColor& face, double ratio);

} // namespace morvex
