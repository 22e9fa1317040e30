#include "StyleDialogs.h"

#include <QColorDialog>
#include <QFontDialog>
#include <deque>

namespace morvex {
namespace {

template <typename T> struct Seam {
    std::deque<std::optional<T>> answers;
    T lastStart;

    // True when a queued answer stands in for the dialog.
    bool answer(const T& start, std::optional<T>& result) {
        lastStart = start;
        if (answers.empty())
            return false;
        result = answers.front();
        answers.pop_front();
        return true;
    }
};

Seam<QFont>& fontSeam() {
    static Seam<QFont> seam;
    return seam;
}

Seam<QColor>& colorSeam() {
    static Seam<QColor> seam;
    return seam;
}

} // namespace

std::optional<QFont> runFontDialog(QWidget* parent, const QFont& font) {
    std::optional<QFont> result;
    if (fontSeam().answer(font, result))
        return result;
    // Qt's own dialog: the platform's may hide the effects or cap the sizes.
    QFontDialog dialog(font, parent);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    if (dialog.exec() == QDialog::Accepted)
        result = dialog.selectedFont();
    return result;
}

std::optional<QColor> runColorDialog(QWidget* parent, const QColor& color) {
    std::optional<QColor> result;
    if (colorSeam().answer(color, result))
        return result;
    QColorDialog dialog(color, parent);
    if (dialog.exec() == QDialog::Accepted)
        result = dialog.selectedColor();
    return result;
}

void queueFontDialogAnswer(std::optional<QFont> answer) {
    fontSeam().answers.push_back(std::move(answer));
}

void queueColorDialogAnswer(std::optional<QColor> answer) {
    colorSeam().answers.push_back(std::move(answer));
}

QFont lastFontDialogStart() {
    return fontSeam().lastStart;
}

QColor lastColorDialogStart() {
    return colorSeam().lastStart;
}

} // namespace morvex
