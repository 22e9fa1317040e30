#include "windows/ListModel.h"

#include "settings/Sjis.h"

#include <QApplication>
#include <QPainter>
#include <algorithm>
#include <climits>
#include <cstring>

namespace morvex {

using namespace Qt::StringLiterals;

MergedListModel::MergedListModel(QObject* parent)
    : QAbstractListModel(parent) {}

void MergedListModel::setText(std::string text, std::vector<std::size_t> utf8From,
                              std::vector<std::uint32_t> weights) {
    beginResetModel();
    m_text = std::move(text);
    m_utf8From = std::move(utf8From);
    m_weights = std::move(weights);
    m_starts.clear();
    m_starts.shrink_to_fit();
    const char* begin = m_text.data();
    const char* end = begin + m_text.size();
    std::size_t rows = 0;
    for (const char* p = begin; p < end;) {
        const void* lf = std::memchr(p, '\n', std::size_t(end - p));
        p = lf ? static_cast<const char*>(lf) + 1 : end;
        ++rows;
    }
    m_starts.reserve(rows);
    for (const char* p = begin; p < end;) {
        m_starts.push_back(std::size_t(p - begin));
        const void* lf = std::memchr(p, '\n', std::size_t(end - p));
        p = lf ? static_cast<const char*>(lf) + 1 : end;
    }
    endResetModel();
}

QByteArrayView MergedListModel::rowBytes(int row) const {
    if (row < 0 || std::size_t(row) >= m_starts.size())
        return {};
    const std::size_t start = m_starts[std::size_t(row)];
    std::size_t stop =
        std::size_t(row) + 1 < m_starts.size() ? m_starts[std::size_t(row) + 1] : m_text.size();
    if (stop > start && m_text[stop - 1] == '\n')
        --stop;
    return QByteArrayView(m_text.data() + start, qsizetype(stop - start));
}

bool MergedListModel::rowIsUtf8(int row) const {
    // The runs alternate, UTF-8 first: an odd count of run starts at or before the row.
    const auto after = std::upper_bound(m_utf8From.begin(), m_utf8From.end(), std::size_t(row));
    return (after - m_utf8From.begin()) % 2 == 1;
}

std::uint32_t MergedListModel::rowWeight(int row) const {
    return row >= 0 && std::size_t(row) < m_weights.size() ? m_weights[std::size_t(row)] : 0;
}

int MergedListModel::rowCount(const QModelIndex& parent) const {
    // QAbstractItemView counts rows in int; a text with more lines shows the first ones.
    return parent.isValid() ? 0 : int(std::min<std::size_t>(m_starts.size(), INT_MAX));
}

QVariant MergedListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() != 0)
        return {};
    if (role == kWeightRole || role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole) {
        const std::uint32_t weight = rowWeight(index.row());
        if (weight == 0)
            return {};
        if (role == kWeightRole)
            return int(weight);
        return u"重み %1"_s.arg(weight);
    }
    if (role != Qt::DisplayRole)
        return {};
    const QByteArrayView bytes = rowBytes(index.row());
    return rowIsUtf8(index.row()) ? QString::fromUtf8(bytes) : sjis::decode(bytes);
}

void ListRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
    QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    // The foot of the line (descenders, underscores) inside the row; what a taller line loses
    // is the empty leading above the characters.
    textRect.setTop(item.rect.top() + std::min(0, rowHeight() - item.fontMetrics.height()));
    textRect.setHeight(item.fontMetrics.height());
    const bool selected = item.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = !(item.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (item.state & QStyle::State_Active) ? QPalette::Active
                                                                             : QPalette::Inactive;
    painter->save();
    painter->setFont(item.font);
    painter->setPen(
        item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const QVariant weight = index.data(MergedListModel::kWeightRole);
    QRect weightRect = textRect;
    if (weight.isValid()) {
        // The weight stays readable at the right end; the line's text stops before it.
        const QString mark = u"\u00D7"_s + QString::number(weight.toInt());
        const int width =
            item.fontMetrics.horizontalAdvance(mark) + item.fontMetrics.averageCharWidth();
        weightRect.setLeft(std::max(textRect.left(), item.rect.right() - width));
        textRect.setRight(weightRect.left() - 1);
        painter->drawText(weightRect, Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine, mark);
    }
    painter->drawText(textRect,
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine |
                          (weight.isValid() ? Qt::TextFlag(0) : Qt::TextDontClip),
                      text);
    painter->restore();
}

} // namespace morvex
