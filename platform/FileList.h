#pragma once

// The file list: the regular files of a folder (links to regular files count as files) that
// are not hidden and match the Pattern, sorted alphabetically ignoring case. It shares the
// folder's listing with the folder list and filters it only when asked, once per folder and
// pattern.

#include "platform/FilePattern.h"
#include "platform/FolderCache.h"

#include <QWidget>
#include <memory>
#include <vector>

class FileList : public QWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* container);

    const QString& Path() const { return m_path; }
    // Throws RuntimeError when the folder cannot be read; the list then stays as it was.
    void setPath(const QString& path);
    const QString& Pattern() const { return m_pattern.text(); }
    void setPattern(const QString& pattern);
    int ListCount() const;
    QString List(int index) const;

private:
    const std::vector<QString>& matching() const;

    QString m_path;
    FilePattern m_pattern;
    std::shared_ptr<const FolderListing> m_listing;
    mutable std::vector<QString> m_matching;
    mutable bool m_matchingValid = false;
};
