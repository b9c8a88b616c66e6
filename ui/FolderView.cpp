#include "ui/FolderView.h"

#include "core/folders/FolderRows.h"
#include "ui/FocusFrame.h"
#include "ui/LineBreakMarks.h"

#include <QApplication>
#include <QDateTime>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QStyle>

namespace {

constexpr int LevelStep = 10; // pixels a level is indented by, as at 96 dots per inch

// Draws each row indented by its level, icon and name together, as a tree is drawn, with the
// icon of its kind: an open folder for the shown folder and those above it, a closed one for a
// subfolder, a folder with a link arrow for a link. The icon is drawn at the style's small icon
// size, 16 pixels: a list's own icon size is larger in some styles (24 in Fusion), and rows
// sized to it held 7 folders where 11 fit. A line break in a name shows as its mark.
class FolderRowPainter : public LineBreakMarks {
public:
    using LineBreakMarks::LineBreakMarks;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented = option;
        indented.rect.setLeft(option.rect.left() + indentOf(index));
        LineBreakMarks::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return LineBreakMarks::sizeHint(option, index) + QSize(indentOf(index), 0);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        LineBreakMarks::initStyleOption(option, index);
        const QStyle* style = option->widget ? option->widget->style() : QApplication::style();
        QStyle::StandardPixmap icon = QStyle::SP_DirOpenIcon;
        switch (FolderRows::Kind(index.data(FolderRows::KindRole).toInt())) {
        case FolderRows::Kind::Ancestor:
        case FolderRows::Kind::Current:
            break;
        case FolderRows::Kind::Subfolder:
            icon = QStyle::SP_DirClosedIcon;
            break;
        case FolderRows::Kind::LinkToFolder:
            icon = QStyle::SP_DirLinkIcon;
            break;
        }
        option->icon = style->standardIcon(icon);
        option->features |= QStyleOptionViewItem::HasDecoration;
        const int size = style->pixelMetric(QStyle::PM_SmallIconSize, nullptr, option->widget);
        option->decorationSize = QSize(size, size);
    }

private:
    static int indentOf(const QModelIndex& index) {
        return index.data(FolderRows::LevelRole).toInt() * LevelStep;
    }
};

} // namespace

FolderView::FolderView(QWidget* parent) : QListView(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new FolderRowPainter(this));
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { chooseHighlighted(); });
}

void FolderView::setRows(FolderRows* rows) {
    m_rows = rows;
    setModel(rows);
    connect(rows, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_folderBefore = m_rows->folder();
        m_highlightBefore = m_highlightMoved ? highlightedFolder() : QString();
    });
    connect(rows, &QAbstractItemModel::modelReset, this, &FolderView::highlightShownFolder);
    highlightShownFolder();
}

// A new folder is shown with its own row highlighted. The same folder listed again keeps a
// highlight the person has moved: their next key or click still means that row.
void FolderView::highlightShownFolder() {
    m_settingHighlight = true;
    const int kept = m_rows->folder() == m_folderBefore && !m_highlightBefore.isEmpty()
                         ? m_rows->rowOf(m_highlightBefore)
                         : -1;
    const QModelIndex current = m_rows->index(kept >= 0 ? kept : m_rows->currentRow());
    setCurrentIndex(current);
    scrollTo(current);
    m_settingHighlight = false;
    m_highlightMoved = kept >= 0 && kept != m_rows->currentRow();
    m_folderBefore.clear();
    m_highlightBefore.clear();
}

// A highlight moved back onto the shown folder is where it started: Enter there searches, and
// leaving the list chooses nothing.
void FolderView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QListView::currentChanged(current, previous);
    if (!m_settingHighlight && current.isValid())
        m_highlightMoved = current.row() != m_rows->currentRow();
}

QString FolderView::shownFolder() const {
    return m_rows ? m_rows->folder() : QString();
}

QString FolderView::highlightedFolder() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.data(FolderRows::PathRole).toString() : m_rows->folder();
}

void FolderView::setPending(bool pending) {
    if (pending)
        viewport()->setCursor(Qt::BusyCursor);
    else
        viewport()->unsetCursor();
}

void FolderView::chooseMovedHighlight() {
    if (m_highlightMoved)
        chooseHighlighted();
}

void FolderView::chooseHighlighted() {
    m_highlightMoved = false;
    const QString folder = highlightedFolder();
    if (!folder.isEmpty())
        emit chosen(folder);
}

// Enter opens the folder the person highlighted; on a highlight they have not moved it is the
// window's, which presses its default button.
void FolderView::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && m_highlightMoved && event->modifiers() == Qt::NoModifier) {
        chooseHighlighted();
        return;
    }
    if (enter) {
        event->ignore();
        return;
    }
    QListView::keyPressEvent(event);
}

// Only a move of the focus to another control of the window is a loss of focus: a popup or
// another window taking the keyboard is not.
void FolderView::focusOutEvent(QFocusEvent* event) {
    QListView::focusOutEvent(event);
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        chooseMovedHighlight();
}

// Typing moves to the next folder whose name starts with what was typed.
void FolderView::keyboardSearch(const QString& search) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const bool goesOn = now - m_typedAt < QApplication::keyboardInputInterval();
    m_typedAt = now;
    m_typed = goesOn ? m_typed + search : search;
    const int rows = m_rows->rowCount();
    const int from = currentIndex().isValid() ? currentIndex().row() : 0;
    // A new word starts after the current row; one being typed may stay on it.
    for (int step = goesOn ? 0 : 1; step <= rows; ++step) {
        const QModelIndex candidate = m_rows->index((from + step) % rows);
        if (candidate.data(FolderRows::NameRole)
                .toString()
                .startsWith(m_typed, Qt::CaseInsensitive)) {
            setCurrentIndex(candidate);
            scrollTo(candidate);
            return;
        }
    }
}

void FolderView::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    FocusFrame::paint(this);
}
