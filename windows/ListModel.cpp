#include "ListModel.h"

#include "Sjis.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace morvex {

MergedListModel::MergedListModel(QObject* parent)
    : QAbstractListModel(parent) {}

void MergedListModel::setText(std::string text) {
    beginResetModel();
    m_text = std::move(text);
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

int MergedListModel::rowCount(const QModelIndex& parent) const {
    // QAbstractItemView counts rows in int; a text with more lines shows the first ones.
    return parent.isValid() ? 0 : int(std::min<std::size_t>(m_starts.size(), INT_MAX));
}

QVariant MergedListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.column() != 0)
        return {};
    return sjis::decode(rowBytes(index.row()));
}

} // namespace morvex
