#pragma once

// The rows of the folder list as a model: the shown folder's ancestors from the root down, each
// a level deeper, the folder itself, and its subfolders one level further in. A row's text is
// its folder's name alone; its level (LevelRole) is for the view to indent it by. The text is
// computed when the view asks for it, so that a folder of 100,000 subfolders costs the window's
// thread a moment, and a subfolder made or removed there moves only its own row.
//
// It reads nothing: the listings come from the FolderLister.

#include "core/folders/FolderLister.h"

#include <QAbstractListModel>

class FolderRows : public QAbstractListModel {
    Q_OBJECT
public:
    // NameRole: the name as shown, the same as the display text.
    enum Role { PathRole = Qt::UserRole + 1, NameRole, KindRole, LevelRole };
    enum class Kind { Ancestor, Current, Subfolder, LinkToFolder };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // A new folder: every row anew.
    void show(const SubfolderListing& listing);
    // The same folder again: only the rows that changed.
    void update(const SubfolderListing& listing, const ListingChange& change);

    QString folder() const { return m_listing.folder; }
    int currentRow() const { return int(m_ancestors.size()); }
    QString pathAt(int row) const;
    int rowOf(const QString& path) const;

private:
    QString nameAt(int row) const;
    int levelOf(int row) const;
    QString subfolderPath(qsizetype index) const;

    SubfolderListing m_listing;
    QStringList m_ancestors;
};
