#pragma once

#include <QStyledItemDelegate>

namespace morvex {

/// Draws list rows at a fixed height, as the designed list boxes have (12 pixels).
class FixedRowDelegate : public QStyledItemDelegate {
public:
    FixedRowDelegate(int rowHeight, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_rowHeight(rowHeight) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), m_rowHeight};
    }

private:
    int m_rowHeight;
};

} // namespace morvex
