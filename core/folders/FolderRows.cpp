#include "core/folders/FolderRows.h"

#include "core/text/LineBreaks.h"

#include <algorithm>

namespace {

// Past this many changed rows, one reset is cheaper for the view than a move per row.
constexpr qsizetype MostRowsMovedOneByOne = 1000;

QStringList ancestorsOf(const QString& path) {
    QStringList ancestors;
    if (path.isEmpty() || path == QLatin1String("/"))
        return ancestors;
    ancestors.append(QStringLiteral("/"));
    for (qsizetype slash = path.indexOf(u'/', 1); slash > 0; slash = path.indexOf(u'/', slash + 1))
        ancestors.append(path.left(slash));
    return ancestors;
}

QString ownName(const QString& path) {
    return path == QLatin1String("/") ? path : path.mid(path.lastIndexOf(u'/') + 1);
}

} // namespace

int FolderRows::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || m_listing.folder.isEmpty())
        return 0;
    return int(m_ancestors.size() + 1 + m_listing.names.size());
}

QString FolderRows::subfolderPath(qsizetype index) const {
    const QString& folder = m_listing.folder;
    const QString& name = m_listing.names[index];
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString FolderRows::pathAt(int row) const {
    if (row < 0 || row >= rowCount())
        return {};
    if (row < m_ancestors.size())
        return m_ancestors[row];
    if (row == currentRow())
        return m_listing.folder;
    return subfolderPath(row - currentRow() - 1);
}

QString FolderRows::nameAt(int row) const {
    if (row > currentRow())
        return m_listing.names[row - currentRow() - 1];
    return ownName(pathAt(row));
}

int FolderRows::levelOf(int row) const {
    return row <= currentRow() ? row : currentRow() + 1;
}

int FolderRows::rowOf(const QString& path) const {
    if (path == m_listing.folder)
        return currentRow();
    if (const qsizetype ancestor = m_ancestors.indexOf(path); ancestor >= 0)
        return int(ancestor);
    const QString prefix =
        m_listing.folder.endsWith(u'/') ? m_listing.folder : m_listing.folder + u'/';
    if (!path.startsWith(prefix) || path.indexOf(u'/', prefix.size()) >= 0)
        return -1;
    const qsizetype index = m_listing.names.indexOf(path.mid(prefix.size()));
    return index < 0 ? -1 : int(currentRow() + 1 + index);
}

QVariant FolderRows::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return LineBreaks::visible(nameAt(row));
    case LevelRole:
        return levelOf(row);
    case PathRole:
        return pathAt(row);
    case KindRole:
        if (row < currentRow())
            return int(Kind::Ancestor);
        if (row == currentRow())
            return int(Kind::Current);
        return int(m_listing.isLink.value(row - currentRow() - 1) ? Kind::LinkToFolder
                                                                  : Kind::Subfolder);
    default:
        return {};
    }
}

void FolderRows::show(const SubfolderListing& listing) {
    beginResetModel();
    m_listing = listing;
    m_ancestors = ancestorsOf(listing.folder);
    endResetModel();
}

void FolderRows::update(const SubfolderListing& listing, const ListingChange& change) {
    if (listing.folder != m_listing.folder ||
        change.removed.size() + change.inserted.size() > MostRowsMovedOneByOne) {
        show(listing);
        return;
    }
    const int first = currentRow() + 1;
    for (qsizetype i = change.removed.size() - 1; i >= 0; --i) {
        const int index = change.removed[i];
        beginRemoveRows({}, first + index, first + index);
        m_listing.names.removeAt(index);
        m_listing.isLink.removeAt(index);
        endRemoveRows();
    }
    for (const int index : change.inserted) {
        beginInsertRows({}, first + index, first + index);
        m_listing.names.insert(index, listing.names[index]);
        m_listing.isLink.insert(index, listing.isLink.value(index));
        endInsertRows();
    }
    // The links element by element: Qt's own comparison of two empty lists of bools hands
    // memcmp a null pointer when one of them never held anything.
    const bool sameLinks = std::equal(m_listing.isLink.cbegin(), m_listing.isLink.cend(),
                                      listing.isLink.cbegin(), listing.isLink.cend());
    if (m_listing.names != listing.names || !sameLinks)
        show(listing); // the change did not fit what is shown: show the listing whole
}
