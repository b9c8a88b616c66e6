#include "platform/ListBox.h"

#include "platform/RuntimeError.h"

int ListBox::Model::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(entries.size());
}

QVariant ListBox::Model::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= entries.size())
        return {};
    return entries.at(index.row());
}

void ListBox::Model::append(const QString& entry) {
    const int row = int(entries.size());
    beginInsertRows({}, row, row);
    entries.append(entry);
    endInsertRows();
}

void ListBox::Model::remove(int row) {
    beginRemoveRows({}, row, row);
    entries.removeAt(row);
    endRemoveRows();
}

void ListBox::Model::clear() {
    beginResetModel();
    entries.clear();
    endResetModel();
}

ListBox::ListBox(QWidget* container, Selection selection) : QListView(container) {
    setModel(&m_model);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(selection == Selection::Extended ? QAbstractItemView::ExtendedSelection
                                                      : QAbstractItemView::SingleSelection);
}

void ListBox::AddItem(const QString& item) {
    if (m_model.entries.size() >= MaxEntries)
        throw RuntimeError(ErrorNumber::OutOfMemory,
                           RuntimeError::describe(ErrorNumber::OutOfMemory));
    m_model.append(item);
}

void ListBox::RemoveItem(int index) {
    if (index < 0 || index >= m_model.entries.size())
        throw RuntimeError(ErrorNumber::SubscriptOutOfRange,
                           RuntimeError::describe(ErrorNumber::SubscriptOutOfRange));
    m_model.remove(index);
}

void ListBox::Clear() {
    m_model.clear();
}

QString ListBox::List(int index) const {
    if (index < 0 || index >= m_model.entries.size())
        return {};
    return m_model.entries.at(index);
}

int ListBox::ListIndex() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void ListBox::setListIndex(int index) {
    selectionModel()->setCurrentIndex(m_model.index(index), QItemSelectionModel::NoUpdate);
}

bool ListBox::Selected(int index) const {
    return selectionModel()->isSelected(m_model.index(index));
}

void ListBox::setSelected(int index, bool selected) {
    selectionModel()->select(m_model.index(index), selected ? QItemSelectionModel::Select
                                                            : QItemSelectionModel::Deselect);
}
