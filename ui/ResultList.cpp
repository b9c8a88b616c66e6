#include "ui/ResultList.h"

#include "ui/FocusFrame.h"

ResultList::ResultList(QWidget* parent) : QListView(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
}

QList<int> ResultList::markedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        rows.append(index.row());
    return rows;
}

int ResultList::currentRow() const {
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

void ResultList::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    FocusFrame::paint(this);
}
