#pragma once

// The result list: shows the found entries (ResultEntries) in the order found, with extended
// selection (Shift marks a range, Ctrl adds or removes one entry). A click or a double click
// only marks. It shows entries; it does not find or change them.

#include <QListView>

class ResultList : public QListView {
    Q_OBJECT
public:
    explicit ResultList(QWidget* parent = nullptr);

    // The rows marked, and the row that holds the list's focus (-1 when none).
    QList<int> markedRows() const;
    int currentRow() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
