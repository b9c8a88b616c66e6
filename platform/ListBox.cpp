#include "platform/ListBox.h"

#include "platform/RuntimeError.h"

namespace {
// How often a growing list is repainted.
constexpr int BatchMs = 50;
} // namespace

int ListBox::Model::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownRows;
}

QVariant ListBox::Model::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= shownRows)
        return {};
    return entries.at(index.row());
}

void ListBox::Model::showNewRows() {
    const int total = int(entries.size());
    if (shownRows == total)
        return;
    beginInsertRows({}, shownRows, total - 1);
    shownRows = total;
    endInsertRows();
}

void ListBox::Model::remove(int row) {
    beginRemoveRows({}, row, row);
    entries.removeAt(row);
    --shownRows;
    endRemoveRows();
}

void ListBox::Model::clear() {
    beginResetModel();
    entries.clear();
    shownRows = 0;
    endResetModel();
}

ListBox::ListBox(QWidget* container, Selection selection) : QListView(container) {
    setModel(&m_model);
    m_batch.setSingleShot(true);
    m_batch.setInterval(BatchMs);
    connect(&m_batch, &QTimer::timeout, this, [this] { catchUp(); });
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(selection == Selection::Extended ? QAbstractItemView::ExtendedSelection
                                                      : QAbstractItemView::SingleSelection);
}

void ListBox::AddItem(const QString& item) {
    if (m_model.entries.size() >= MaxEntries)
        throw RuntimeError(ErrorNumber::OutOfMemory,
                           RuntimeError::describe(ErrorNumber::OutOfMemory));
    m_model.entries.append(item);
    if (!m_batch.isActive())
        m_batch.start();
}

void ListBox::RemoveItem(int index) {
    if (index < 0 || index >= m_model.entries.size())
        throw RuntimeError(ErrorNumber::SubscriptOutOfRange,
                           RuntimeError::describe(ErrorNumber::SubscriptOutOfRange));
    catchUp();
    m_model.remove(index);
}

void ListBox::catchUp() const {
    m_model.showNewRows();
}

void ListBox::showEvent(QShowEvent* event) {
    catchUp();
    QListView::showEvent(event);
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
    catchUp();
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void ListBox::setListIndex(int index) {
    catchUp();
    selectionModel()->setCurrentIndex(m_model.index(index), QItemSelectionModel::NoUpdate);
}

bool ListBox::Selected(int index) const {
    catchUp();
    return selectionModel()->isSelected(m_model.index(index));
}

void ListBox::setSelected(int index, bool selected) {
    catchUp();
    selectionModel()->select(m_model.index(index), selected ? QItemSelectionModel::Select
                                                            : QItemSelectionModel::Deselect);
}
