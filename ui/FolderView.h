#pragma once

// The folder list: the current folder with its ancestors above it, each indented one step
// further, and its subfolders below. A double click opens a folder; a folder that is only
// highlighted is opened when the focus leaves the list. Folders are read on a thread of their
// own: a folder is current only once it could be read, and until then the list stays where it
// was, answering every key and click. Subfolders created or removed while shown appear or go.
//
// It does not search and knows nothing of drives beyond the path it shows.

#include <QListWidget>

class FolderLister;
struct SubfolderListing;

class FolderView : public QListWidget {
    Q_OBJECT
public:
    // Who asked for a folder: only a person's own request is answered with a message.
    enum class Origin { Person, Program };

    explicit FolderView(QWidget* parent = nullptr);

    void open(const QString& folder, Origin origin = Origin::Program);
    QString path() const { return m_path; }
    // The folder highlighted, which may not be open yet; the current folder when none is.
    QString highlightedFolder() const;
    bool isHighlightOpen() const { return highlightedFolder() == m_path; }
    void openHighlighted(Origin origin = Origin::Person);
    bool isOpening() const;
    // Whether a person has asked for a folder since the list was made.
    bool hasPersonChosen() const { return m_personHasChosen; }

signals:
    void opened(const QString& folder);
    void openFailed(const QString& folder, const QString& error, FolderView::Origin origin);

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void show(const SubfolderListing& listing);
    FolderLister* lister();

    FolderLister* m_lister = nullptr;
    QString m_path;
    QString m_requested;
    Origin m_origin = Origin::Program;
    bool m_personHasChosen = false;
    int m_currentRow = -1; // the row of the current folder
};
