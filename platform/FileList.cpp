#include "platform/FileList.h"

#include <QDir>
#include <algorithm>

FileList::FileList(QWidget* container)
    : QWidget(container), m_listing(std::make_shared<FolderListing>()) {}

void FileList::setPath(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    std::shared_ptr<const FolderListing> listing = FolderCache::shared().listing(clean);
    if (listing != m_listing)
        m_matchingValid = false;
    m_listing = std::move(listing);
    m_path = clean;
}

void FileList::setPattern(const QString& pattern) {
    if (pattern == m_pattern.text() && !pattern.isNull())
        return;
    m_pattern = FilePattern(pattern);
    m_matchingValid = false;
}

int FileList::ListCount() const {
    return int(matching().size());
}

QString FileList::List(int index) const {
    const std::vector<QString>& files = matching();
    return index >= 0 && size_t(index) < files.size() ? files[size_t(index)] : QString();
}

const std::vector<QString>& FileList::matching() const {
    if (m_matchingValid)
        return m_matching;
    m_matching.clear();
    for (const QString& name : m_listing->files) {
        if (m_pattern.matches(name))
            m_matching.push_back(name);
    }
    std::sort(m_matching.begin(), m_matching.end(), FolderCache::lessIgnoringCase);
    m_matchingValid = true;
    return m_matching;
}
