#include "core/run/ResultEntries.h"

#include "core/text/LineBreaks.h"

#include <QMimeData>
#include <algorithm>

int ResultEntries::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant ResultEntries::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    if (role == Qt::DisplayRole)
        return LineBreaks::visible(m_entries.at(index.row()));
    if (role == EntryRole)
        return m_entries.at(index.row());
    return {};
}

Qt::ItemFlags ResultEntries::flags(const QModelIndex& index) const {
    const Qt::ItemFlags flags = QAbstractListModel::flags(index);
    return index.isValid() ? flags | Qt::ItemIsDragEnabled : flags;
}

QStringList ResultEntries::mimeTypes() const {
    return {QStringLiteral("text/plain"), QStringLiteral("text/uri-list")};
}

QMimeData* ResultEntries::mimeData(const QModelIndexList& indexes) const {
    QList<int> rows;
    for (const QModelIndex& index : indexes)
        rows.append(index.row());
    const QStringList entries = entriesAt(rows);
    return entries.isEmpty() ? nullptr : EntryPaths::mimeData(entries, m_kind);
}

QStringList ResultEntries::entriesAt(QList<int> rows) const {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QStringList entries;
    for (const int row : rows)
        if (row >= 0 && row < m_entries.size())
            entries.append(m_entries.at(row));
    return entries;
}

qsizetype ResultEntries::append(const QStringList& entries) {
    const qsizetype room = std::max<qsizetype>(0, m_capacity - m_entries.size());
    const qsizetype taken = std::min(room, entries.size());
    if (taken == 0)
        return 0;
    beginInsertRows({}, int(m_entries.size()), int(m_entries.size() + taken - 1));
    m_entries.append(taken == entries.size() ? entries : entries.mid(0, taken));
    endInsertRows();
    return taken;
}

void ResultEntries::clear() {
    beginResetModel();
    m_entries.clear();
    endResetModel();
}

// Highest first, so that every row still names the entry that was marked; a run of
// neighbouring rows goes at once.
void ResultEntries::removeRowsAt(QList<int> rows) {
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (qsizetype i = 0; i < rows.size();) {
        const int last = rows[i];
        if (last < 0 || last >= m_entries.size()) {
            ++i;
            continue;
        }
        int first = last;
        while (++i < rows.size() && rows[i] == first - 1 && rows[i] >= 0)
            first = rows[i];
        beginRemoveRows({}, first, last);
        m_entries.remove(first, last - first + 1);
        endRemoveRows();
    }
}
