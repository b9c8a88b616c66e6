#pragma once

// The result list: shows the found entries (ResultEntries) in the order found, with extended
// selection (Shift marks a range, Ctrl adds or removes one entry). A click or a double click
// only marks; a line break in an entry shows as its mark (LineBreakMarks). It shows entries; it
// does not find or change them.
//
// What a person does with the marked entries (the current entry when none is marked): the
// context menu (right click, the Menu key, Shift+F10) offers "Öppna", "Visa i mapp" and
// "Kopiera sökväg", Ctrl+C copies, and the marked entries can be dragged into another program.
// A right click works as on every desktop list: on an entry not marked it marks that entry
// alone first; on a marked one, or below the entries, it keeps the marking, and the menu works
// on it. Opening and showing are asked of the window; copying and dragging hand out what the
// entries give (ResultEntries::mimeData). Nothing else changes what is marked.

#include <QListView>

class ResultList : public QListView {
    Q_OBJECT
public:
    explicit ResultList(QWidget* parent = nullptr);

    // The rows marked, and the row that holds the list's focus (-1 when none).
    QList<int> markedRows() const;
    int currentRow() const;
    // The rows the actions work on: the marked ones, else the current one.
    QList<int> actedOnRows() const;

signals:
    void openAsked(const QList<int>& rows);
    void showInFolderAsked(const QList<int>& rows);

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showMenu(const QList<int>& rows, const QPoint& globalSpot);
    void copy(const QList<int>& rows);
    bool m_menuKeyTaken = false; // the Menu key opened the menu; a window system's echo is not
};
