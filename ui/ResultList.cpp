#include "ui/ResultList.h"

#include "core/LineBreaks.h"
#include "ui/FocusFrame.h"

#include <QAbstractListModel>
#include <algorithm>

class ResultModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : int(m_entries.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_entries.size())
            return {};
        // Shown on one line; the entry itself keeps its real text, to be opened and saved.
        return LineBreaks::visible(m_entries.at(index.row()));
    }
    void append(const QStringList& entries) {
        if (entries.isEmpty())
            return;
        beginInsertRows({}, int(m_entries.size()), int(m_entries.size() + entries.size() - 1));
        m_entries.append(entries);
        endInsertRows();
    }
    void removeRow(int row) {
        beginRemoveRows({}, row, row);
        m_entries.removeAt(row);
        endRemoveRows();
    }
    void clear() {
        beginResetModel();
        m_entries.clear();
        endResetModel();
    }
    const QStringList& entries() const { return m_entries; }

private:
    QStringList m_entries;
};

ResultList::ResultList(QWidget* parent) : QListView(parent) {
    setModel(new ResultModel(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
}

ResultModel* ResultList::model() const {
    return static_cast<ResultModel*>(QListView::model());
}

qsizetype ResultList::append(const QStringList& entries) {
    const qsizetype room = Capacity - count();
    if (entries.size() <= room) {
        model()->append(entries);
        return entries.size();
    }
    model()->append(entries.mid(0, room));
    return room;
}

void ResultList::clear() {
    model()->clear();
}

const QStringList& ResultList::entries() const {
    return model()->entries();
}

QString ResultList::currentEntry() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? entries().value(current.row()) : QString();
}

// With no current entry, or an empty one, nothing is removed.
void ResultList::removeMarked() {
    if (!hasCurrentEntry() || currentEntry().isEmpty())
        return;
    QList<int> marked;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        marked.append(index.row());
    // Highest first, so that every row still names the entry that was marked.
    std::sort(marked.begin(), marked.end(), std::greater<>());
    for (int row : marked)
        model()->removeRow(row);
}

void ResultList::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    FocusFrame::paint(this);
}
