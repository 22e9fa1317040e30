#include "DesignedWindow.h"

#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>

namespace morvex {
using namespace Qt::StringLiterals;

QFont designedDialogFont() {
    QFont font(u"ＭＳ Ｐゴシック"_s);
    font.setPixelSize(12);
    return font;
}

void setDialogBorder(QDialog* dialog, bool systemMenu) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    if (systemMenu)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    dialog->setWindowFlags(flags);
}

void centreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption, int left, int top) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

namespace {

class FixedRowDelegate : public QStyledItemDelegate {
public:
    FixedRowDelegate(int height, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_height(height) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), m_height};
    }

private:
    int m_height;
};

} // namespace

void setItemHeight(QListWidget* list, int height) {
    list->setItemDelegate(new FixedRowDelegate(height, list));
    list->setUniformItemSizes(true);
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption,
                        const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setGeometry(geometry);
    return button;
}

namespace {

bool pressable(const QPushButton* button) {
    return button && button->isVisible() && button->isEnabled();
}

} // namespace

bool handleDialogKeys(QKeyEvent* event, QWidget* focus, QPushButton* defaultButton,
                      QPushButton* cancelButton) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* focused = qobject_cast<QPushButton*>(focus); pressable(focused)) {
            focused->click();
            return true;
        }
        if (pressable(defaultButton))
            defaultButton->click();
        return true;
    case Qt::Key_Escape:
        if (pressable(cancelButton))
            cancelButton->click();
        return true;
    default:
        return false;
    }
}

} // namespace morvex
