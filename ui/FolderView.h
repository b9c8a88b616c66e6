#pragma once

// The folder list: shows the rows of the chosen folder (FolderRows) with an open or closed
// folder's icon, and tells when a person chooses a folder in it: by a double click, by Enter on
// a highlighted folder, or by moving the highlight and then leaving the list. A highlight on the
// shown folder's own row chooses nothing, however it got there: Enter there is the window's.
// Typing the start of a name moves the highlight to it. While the chosen folder's listing has
// not come, a busy pointer over the list says so.
//
// It reads nothing and decides nothing about searching.

#include <QListView>

class FolderRows;

class FolderView : public QListView {
    Q_OBJECT
public:
    explicit FolderView(QWidget* parent = nullptr);

    void setRows(FolderRows* rows);
    QString shownFolder() const;
    // The folder highlighted; the shown folder when none is.
    QString highlightedFolder() const;
    void setPending(bool pending);
    // Chooses the highlighted folder if the person moved the highlight and has not chosen it
    // yet, as leaving the list does.
    void chooseMovedHighlight();

signals:
    void chosen(const QString& folder);

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyboardSearch(const QString& search) override;
    void paintEvent(QPaintEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void chooseHighlighted();
    void highlightShownFolder();

    FolderRows* m_rows = nullptr;
    // Moved by the person off the shown folder, since the rows were shown or a choice made.
    bool m_highlightMoved = false;
    bool m_settingHighlight = false;
    QString m_folderBefore;    // across a reset of the rows: the folder shown before it
    QString m_highlightBefore; // and the highlight the person had moved there
    QString m_typed;
    qint64 m_typedAt = 0;
};
