#pragma once

#include "gui/DesignedWindow.h"

#include <QAbstractListModel>
#include <QByteArrayView>
#include <QStyledItemDelegate>
#include <cstdint>
#include <string>
#include <vector>

namespace morvex {

/// The rows of the list viewer over one merged text: the bytes are kept as merged and a row is
/// decoded (from Shift-JIS, or from UTF-8 for the rows of a list read as UTF-8) only when it is
/// asked for, so a pool of a million lines costs its bytes and one offset per line, not a million
/// strings.
class MergedListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit MergedListModel(QObject* parent = nullptr);

    /// Replaces every row by the lines of `text` (each ending in LF; the last may lack it).
    /// `utf8From` holds the first row of each run of UTF-8 rows and, after it, the first row of
    /// the Shift-JIS rows that follow: rows before its first entry, and at even runs, are
    /// Shift-JIS.
    /// `weights` gives each row's entry weight (0 for rows that are no entries), or is empty when
    /// no list weighs its entries.
    void setText(std::string text, std::vector<std::size_t> utf8From = {},
                 std::vector<std::uint32_t> weights = {});
    /// The weight of a row's entry, when the lists weigh their entries and the row is an entry.
    std::uint32_t rowWeight(int row) const;
    /// The role under which a row gives its weight (an int), for the delegate to show it.
    static constexpr int kWeightRole = Qt::UserRole + 1;
    /// True when the row decodes from UTF-8.
    bool rowIsUtf8(int row) const;
    /// The bytes of a row, without its line end.
    QByteArrayView rowBytes(int row) const;
    /// The merged text as held.
    const std::string& text() const { return m_text; }
    /// The bytes the rows take: the text and the row offsets, as allocated.
    std::size_t heldBytes() const {
        return m_text.capacity() + m_starts.capacity() * sizeof(std::size_t);
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::string m_text;
    std::vector<std::size_t> m_starts; ///< offset of each row's first byte
    std::vector<std::size_t> m_utf8From;
    std::vector<std::uint32_t> m_weights;
};

/// Rows of a fixed height, as the designed list boxes have, with the foot of the text line on the
/// foot of the row: the fonts that stand in for the designed ones are a pixel taller than the
/// designed row, and centring the line would cut every underscore. An entry's weight, when the
/// lists give weights, stands at the right end of its row ("×3").
class ListRowDelegate : public FixedRowDelegate {
public:
    using FixedRowDelegate::FixedRowDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace morvex
