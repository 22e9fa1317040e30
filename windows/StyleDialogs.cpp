#include "windows/StyleDialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPixmap>
#include <deque>

namespace morvex {
using namespace Qt::StringLiterals;
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

Seam<FontChoice>& fontSeam() {
    static Seam<FontChoice> seam;
    return seam;
}

Seam<QColor>& colorSeam() {
    static Seam<QColor> seam;
    return seam;
}

// The colours a font can take in the font dialog of the designed platform, in its order.
constexpr std::pair<const char16_t*, QRgb> kFontColors[] = {
    {u"黒", 0x000000},   {u"栗色", 0x800000}, {u"緑", 0x008000},   {u"オリーブ", 0x808000},
    {u"紺", 0x000080},   {u"紫", 0x800080},   {u"青緑", 0x008080}, {u"灰色", 0x808080},
    {u"銀色", 0xC0C0C0}, {u"赤", 0xFF0000},   {u"黄緑", 0x00FF00}, {u"黄", 0xFFFF00},
    {u"青", 0x0000FF},   {u"赤紫", 0xFF00FF}, {u"水色", 0x00FFFF}, {u"白", 0xFFFFFF},
};

// Adds the colour list to the effects group of Qt's own dialog (the group holding the
// underline and strike-out boxes); a colour outside the list is offered as "カスタム".
QComboBox* addColorList(QFontDialog& dialog, const QColor& start) {
    QGroupBox* effects = nullptr;
    for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
        if (group->findChild<QCheckBox*>())
            effects = group;
    }
    if (!effects || !effects->layout())
        return nullptr;
    auto* colors = new QComboBox(effects);
    colors->setObjectName(u"FontColor"_s);
    for (const auto& [name, rgb] : kFontColors) {
        QPixmap swatch(12, 12);
        swatch.fill(QColor(rgb));
        colors->addItem(QIcon(swatch), QString::fromUtf16(name), QColor(rgb));
    }
    int index = colors->findData(start.toRgb());
    if (index < 0) {
        QPixmap swatch(12, 12);
        swatch.fill(start);
        colors->addItem(QIcon(swatch), u"カスタム"_s, start);
        index = colors->count() - 1;
    }
    colors->setCurrentIndex(index);
    auto* label = new QLabel(u"色(&C):"_s, effects);
    label->setBuddy(colors);
    effects->layout()->addWidget(label);
    effects->layout()->addWidget(colors);
    return colors;
}

} // namespace

std::optional<FontChoice> runFontDialog(QWidget* parent, const FontChoice& start) {
    std::optional<FontChoice> result;
    if (fontSeam().answer(start, result))
        return result;
    // Qt's own dialog: the platform's may hide the effects or cap the sizes.
    QFontDialog dialog(start.font, parent);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    const QComboBox* colors = addColorList(dialog, start.color);
    if (dialog.exec() == QDialog::Accepted)
        result = FontChoice{dialog.selectedFont(),
                            colors ? colors->currentData().value<QColor>() : start.color};
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

void queueFontDialogAnswer(std::optional<FontChoice> answer) {
    fontSeam().answers.push_back(std::move(answer));
}

void queueColorDialogAnswer(std::optional<QColor> answer) {
    colorSeam().answers.push_back(std::move(answer));
}

FontChoice lastFontDialogStart() {
    return fontSeam().lastStart;
}

QColor lastColorDialogStart() {
    return colorSeam().lastStart;
}

} // namespace morvex
