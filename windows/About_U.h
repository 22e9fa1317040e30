#pragma once

#include <QDialog>

class QImage;
class QLabel;
class QPushButton;
class TExLabel;

namespace morvex {

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

} // namespace morvex
