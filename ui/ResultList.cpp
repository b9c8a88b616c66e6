#include "ui/ResultList.h"

#include "core/run/ResultEntries.h"
#include "ui/FocusFrame.h"
#include "ui/LineBreakMarks.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

ResultList::ResultList(QWidget* parent) : QListView(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setItemDelegate(new LineBreakMarks(this));
    // Out only, and only as a copy: a drop target never takes an entry out of the list, nor
    // moves the file it names.
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
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

QList<int> ResultList::actedOnRows() const {
    QList<int> rows = markedRows();
    if (rows.isEmpty() && currentRow() >= 0)
        rows.append(currentRow());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ResultList::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    FocusFrame::paint(this);
}

// A right click on an entry not marked marks that entry alone, as on every desktop list, so that
// the menu the press brings up works on what is under the pointer; on a marked entry it keeps
// the marking and only moves the current entry there. Below the entries it changes nothing.
void ResultList::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        const QModelIndex index = indexAt(event->position().toPoint());
        if (!index.isValid())
            return;
        selectionModel()->setCurrentIndex(index, selectionModel()->isSelected(index)
                                                     ? QItemSelectionModel::NoUpdate
                                                     : QItemSelectionModel::ClearAndSelect);
        return;
    }
    QListView::mousePressEvent(event);
}

void ResultList::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QListView::mouseReleaseEvent(event);
}

void ResultList::keyPressEvent(QKeyEvent* event) {
    m_menuKeyTaken = false;
    if (event->matches(QKeySequence::Copy)) {
        copy(actedOnRows());
        return;
    }
    const bool menuKey = event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier;
    if (menuKey || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        m_menuKeyTaken = menuKey;
        const QModelIndex current = currentIndex();
        const QRect place = current.isValid() ? visualRect(current) : QRect();
        showMenu(actedOnRows(),
                 viewport()->mapToGlobal(place.isValid() ? place.bottomLeft() : QPoint()));
        return;
    }
    QListView::keyPressEvent(event);
}

// The X11 platform follows the Menu key with a context menu event of its own; the key has
// opened the menu already. A menu from the mouse works on the marking alone: below the entries
// with nothing marked there is nothing to act on.
void ResultList::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() != QContextMenuEvent::Keyboard) {
        QList<int> rows = markedRows();
        std::sort(rows.begin(), rows.end());
        showMenu(rows, event->globalPos());
        return;
    }
    if (m_menuKeyTaken) {
        m_menuKeyTaken = false;
        return;
    }
    showMenu(actedOnRows(), event->globalPos());
}

void ResultList::showMenu(const QList<int>& rows, const QPoint& globalSpot) {
    auto* entries = qobject_cast<ResultEntries*>(model());
    if (rows.isEmpty() || !entries)
        return;
    const bool arePaths = entries->kind() != EntryPaths::Kind::Text;
    QMenu menu(this);
    QAction* open = menu.addAction(QStringLiteral("&Öppna"));
    open->setEnabled(arePaths);
    QAction* show = menu.addAction(QStringLiteral("&Visa i mapp"));
    show->setEnabled(arePaths);
    QAction* copy = menu.addAction(QStringLiteral("&Kopiera sökväg"));
    copy->setShortcut(QKeySequence::Copy); // shown beside it; Ctrl+C itself is the list's
    const QAction* chosen = menu.exec(globalSpot);
    if (chosen == open)
        emit openAsked(rows);
    else if (chosen == show)
        emit showInFolderAsked(rows);
    else if (chosen == copy)
        this->copy(rows);
}

void ResultList::copy(const QList<int>& rows) {
    QModelIndexList indexes;
    for (const int row : rows)
        indexes.append(model()->index(row, 0));
    if (QMimeData* data = model()->mimeData(indexes))
        QApplication::clipboard()->setMimeData(data);
}
