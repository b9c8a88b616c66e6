#pragma once

// The folder list: the current folder with its ancestors above it and its subfolders below,
// indented as a tree path. A click or an arrow key moves the highlight (ListIndex), a
// double-click opens the highlighted folder. Hidden folders are not listed; links to folders
// are listed and marked, so that a walk can leave them alone.
//
// Indices as the list shows them: List(-1) is the current folder, List(-2) its parent and so
// on up to the root; List(0) to List(ListCount - 1) are the subfolders.

#include "platform/FolderCache.h"

#include <QAbstractListModel>
#include <QListView>
#include <functional>
#include <memory>

class FolderList : public QListView {
    Q_OBJECT
public:
    explicit FolderList(QWidget* container);

    const QString& Path() const { return m_path; }
    // Opens a folder (an absolute path) or a volume's current folder (a drive text). Raises
    // the change event inside the assignment when the path changes. Throws RuntimeError when
    // the folder cannot be read; the current folder then stays.
    void setPath(const QString& pathOrDrive);
    int ListCount() const { return int(m_listing->subfolders.size()); }
    QString List(int index) const;
    bool IsLink(int index) const;
    int ListIndex() const;
    void setListIndex(int index);

    std::function<void()> onChange;
    std::function<void()> onLostFocus;

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class Model;
    void openHighlighted();
    void syncView() const;

    QString m_path;
    QStringList m_ancestors; // from the root down to the parent
    std::shared_ptr<const FolderListing> m_listing;
    Model* m_model;
    mutable bool m_viewStale = false;
};
