#include "platform/FolderList.h"

#include "platform/Events.h"
#include "platform/FileNames.h"
#include "platform/RuntimeError.h"
#include "platform/Volumes.h"

#include <QApplication>
#include <QDir>
#include <QFocusEvent>
#include <QStyle>
#include <QStyledItemDelegate>

namespace {

constexpr int IndentPixels = 10;
constexpr int DepthRole = Qt::UserRole + 1;

QStringList ancestorsOf(const QString& path) {
    QStringList ancestors;
    if (path == QLatin1String("/"))
        return ancestors;
    ancestors.append(QStringLiteral("/"));
    qsizetype slash = path.indexOf(u'/', 1);
    while (slash > 0) {
        ancestors.append(path.left(slash));
        slash = path.indexOf(u'/', slash + 1);
    }
    return ancestors;
}

// Whether a path holds "//", a "." or ".." element, or a separator at its end. One pass: this
// runs for every folder a search enters.
bool needsCleaning(QStringView path) {
    const qsizetype size = path.size();
    if (size > 1 && path[size - 1] == u'/')
        return true;
    for (qsizetype i = 0; i + 1 < size; ++i) {
        if (path[i] != u'/')
            continue;
        if (path[i + 1] == u'/')
            return true;
        if (path[i + 1] != u'.')
            continue;
        qsizetype end = i + 2;
        if (end < size && path[end] == u'.')
            ++end;
        if (end == size || path[end] == u'/')
            return true;
    }
    return false;
}

QString shownName(const QString& path) {
    return path == QLatin1String("/") ? path : path.mid(path.lastIndexOf(u'/') + 1);
}

// Draws each row indented by its depth in the tree path.
class IndentingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented = option;
        indented.rect.adjust(index.data(DepthRole).toInt() * IndentPixels, 0, 0, 0);
        QStyledItemDelegate::paint(painter, indented, index);
    }
};

} // namespace

class FolderList::Model : public QAbstractListModel {
public:
    explicit Model(const FolderList& list) : m_list(list) {}
    void reset() {
        beginResetModel();
        endResetModel();
    }
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : int(m_list.m_ancestors.size()) + 1 + m_list.ListCount();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const int listIndex = index.row() - int(m_list.m_ancestors.size()) - 1;
        const int depth = index.row() <= m_list.m_ancestors.size()
                              ? index.row()
                              : int(m_list.m_ancestors.size()) + 1;
        switch (role) {
        case Qt::DisplayRole:
            return shownName(m_list.List(listIndex));
        case Qt::DecorationRole: {
            const QStyle* style = QApplication::style();
            if (listIndex < 0)
                return style->standardIcon(QStyle::SP_DirOpenIcon);
            return style->standardIcon(m_list.IsLink(listIndex) ? QStyle::SP_DirLinkIcon
                                                                : QStyle::SP_DirClosedIcon);
        }
        case DepthRole:
            return depth;
        }
        return {};
    }

private:
    const FolderList& m_list;
};

FolderList::FolderList(QWidget* container)
    : QListView(container), m_listing(std::make_shared<FolderListing>()),
      m_model(new Model(*this)) {
    m_model->setParent(this);
    setModel(m_model);
    setItemDelegate(new IndentingDelegate(this));
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListView::doubleClicked, this,
            [this] { Events::raise([this] { openHighlighted(); }); });
    try {
        setPath(QDir::currentPath());
    } catch (const RuntimeError&) {
        setPath(QStringLiteral("/"));
    }
}

void FolderList::setPath(const QString& pathOrDrive) {
    Volumes& volumes = Volumes::shared();
    QString path = pathOrDrive;
    const int drive = volumes.indexOfDriveText(pathOrDrive);
    if (drive >= 0) {
        if (!volumes.isReady(drive))
            throw RuntimeError(ErrorNumber::DeviceUnavailable,
                               RuntimeError::describe(ErrorNumber::DeviceUnavailable));
        path = volumes.volumes()[size_t(drive)].currentFolder;
    }
    if (!path.startsWith(u'/'))
        throw RuntimeError::fromErrno(ENOENT, pathOrDrive);
    if (needsCleaning(path))
        path = QDir::cleanPath(path);

    std::shared_ptr<const FolderListing> listing = FolderCache::shared().listing(path);
    const bool changed = path != m_path;
    const bool sameListing = listing == m_listing;
    m_listing = std::move(listing);
    if (changed) {
        m_path = path;
        m_ancestors = ancestorsOf(path);
        volumes.rememberFolder(path);
    }
    if (changed || !sameListing) {
        // A hidden list, as during a search, is redrawn only when it is shown or asked.
        m_viewStale = true;
        if (isVisible())
            syncView();
    }
    if (changed && onChange)
        onChange();
}

QString FolderList::List(int index) const {
    if (index >= 0)
        return index < ListCount()
                   ? FolderCache::join(m_path, m_listing->subfolders[size_t(index)].name)
                   : QString();
    if (index == -1)
        return m_path;
    const qsizetype ancestor = m_ancestors.size() + 1 + index;
    return ancestor >= 0 ? m_ancestors.at(ancestor) : QString();
}

bool FolderList::IsLink(int index) const {
    return index >= 0 && index < ListCount() && m_listing->subfolders[size_t(index)].isLink;
}

void FolderList::syncView() const {
    if (!m_viewStale)
        return;
    m_viewStale = false;
    m_model->reset();
    selectionModel()->setCurrentIndex(m_model->index(int(m_ancestors.size())),
                                      QItemSelectionModel::ClearAndSelect);
}

void FolderList::showEvent(QShowEvent* event) {
    syncView();
    QListView::showEvent(event);
}

int FolderList::ListIndex() const {
    syncView();
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() - int(m_ancestors.size()) - 1 : -1;
}

void FolderList::setListIndex(int index) {
    syncView();
    const int row = int(m_ancestors.size()) + 1 + index;
    selectionModel()->setCurrentIndex(m_model->index(row), QItemSelectionModel::ClearAndSelect);
}

void FolderList::openHighlighted() {
    setPath(List(ListIndex()));
}

void FolderList::focusOutEvent(QFocusEvent* event) {
    QListView::focusOutEvent(event);
    // Only a move of the focus to another control of the window is a loss of focus: a popup
    // or another window taking the keyboard is not.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    Events::raise(onLostFocus);
}
