#include "ui/FolderView.h"

#include "core/FolderLister.h"
#include "ui/FocusFrame.h"

#include <QFocusEvent>
#include <QStyle>

namespace {

constexpr int IndentSteps = 2; // blanks of indentation a level
constexpr int PathRole = Qt::UserRole + 1;

QStringList ancestorsOf(const QString& path) {
    QStringList ancestors;
    if (path == QLatin1String("/"))
        return ancestors;
    ancestors.append(QStringLiteral("/"));
    for (qsizetype slash = path.indexOf(u'/', 1); slash > 0; slash = path.indexOf(u'/', slash + 1))
        ancestors.append(path.left(slash));
    return ancestors;
}

QString shownName(const QString& path) {
    return path == QLatin1String("/") ? path : path.mid(path.lastIndexOf(u'/') + 1);
}

QString joined(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

} // namespace

FolderView::FolderView(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { openHighlighted(); });
}

FolderLister* FolderView::lister() {
    if (!m_lister) {
        m_lister = new FolderLister(this);
        connect(m_lister, &FolderLister::listed, this, &FolderView::show);
        connect(m_lister, &FolderLister::failed, this,
                [this](const QString& folder, const QString& error) {
                    emit openFailed(folder, error, m_origin);
                });
        connect(m_lister, &FolderLister::folderChanged, this, [this](const QString& folder) {
            if (folder == m_path && !m_lister->isBusy())
                open(m_path);
        });
    }
    return m_lister;
}

void FolderView::open(const QString& folder, Origin origin) {
    m_requested = folder;
    m_origin = origin;
    m_personHasChosen = m_personHasChosen || origin == Origin::Person;
    lister()->list(folder);
}

bool FolderView::isOpening() const {
    return m_lister && m_lister->isBusy();
}

QString FolderView::highlightedFolder() const {
    const QListWidgetItem* item = currentItem();
    return item ? item->data(PathRole).toString() : m_path;
}

void FolderView::openHighlighted(Origin origin) {
    const QString folder = highlightedFolder();
    if (!folder.isEmpty() && folder != m_path)
        open(folder, origin);
}

void FolderView::show(const SubfolderListing& listing) {
    const bool sameFolder = listing.folder == m_path;
    const QString highlighted = sameFolder ? highlightedFolder() : listing.folder;
    m_path = listing.folder;
    clear();
    const QStyle* style = this->style();
    const QIcon openIcon = style->standardIcon(QStyle::SP_DirOpenIcon);
    int depth = 0;
    const auto add = [&](const QString& path, const QIcon& icon, int level) {
        auto* item = new QListWidgetItem(icon, QString(level * IndentSteps, u' ') + shownName(path), this);
        item->setData(PathRole, path);
        return item;
    };
    for (const QString& ancestor : ancestorsOf(m_path))
        add(ancestor, openIcon, depth++);
    QListWidgetItem* current = add(m_path, openIcon, depth);
    m_currentRow = row(current);
    QListWidgetItem* toHighlight = current;
    for (qsizetype i = 0; i < listing.names.size(); ++i) {
        const bool isLink = listing.isLink.value(i);
        QListWidgetItem* item =
            add(joined(m_path, listing.names[i]),
                style->standardIcon(isLink ? QStyle::SP_DirLinkIcon : QStyle::SP_DirClosedIcon),
                depth + 1);
        if (item->data(PathRole).toString() == highlighted)
            toHighlight = item;
    }
    setCurrentItem(toHighlight);
    scrollToItem(toHighlight);
    if (!sameFolder)
        emit opened(m_path);
}

// Only a move of the focus to another control of the window is a loss of focus: a popup or
// another window taking the keyboard is not.
void FolderView::focusOutEvent(QFocusEvent* event) {
    QListWidget::focusOutEvent(event);
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        openHighlighted();
}

void FolderView::paintEvent(QPaintEvent* event) {
    QListWidget::paintEvent(event);
    FocusFrame::paint(this);
}
