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

/// Rows of paths in a narrow list: each shown cut in its folders with the file name whole, the
/// full text as the row's tooltip.
class PathRowDelegate : public FixedRowDelegate {
public:
    using FixedRowDelegate::FixedRowDelegate;

    /// The text a row shows in `option`'s rectangle.
    QString shownText(const QStyleOptionViewItem& option, const QString& text) const;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

} // namespace morvex
