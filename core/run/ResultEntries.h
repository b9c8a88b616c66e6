#pragma once

// The found entries as the result list shows them: in the order found, never sorted, at most
// `capacity` of them, as the list always held (32,767 unless set otherwise). An entry is kept
// as it was found; it is shown with its line breaks made visible, so that every entry is one
// row.
//
// The marked entries can be dragged out, and copied, as EntryPaths hands them to other
// programs: file URIs for full paths, text for the rest, and only ever as a copy.
//
// It finds nothing and reads nothing: the search hands it entries, a person removes them.

#include "core/text/EntryPaths.h"

#include <QAbstractListModel>
#include <QStringList>

class ResultEntries : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int DefaultCapacity = 32767;
    enum Role { EntryRole = Qt::UserRole + 1 }; // the entry as found

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    // The entries at `indexes` in list order, whatever the order the indexes come in.
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

    void setCapacity(int capacity) { m_capacity = capacity; }
    int capacity() const { return m_capacity; }
    // Appends as many of `entries` as there is room for; returns how many that was.
    qsizetype append(const QStringList& entries);
    void clear();
    void removeRowsAt(QList<int> rows);

    const QStringList& entries() const { return m_entries; }
    QString entryAt(int row) const { return m_entries.value(row); }
    // The entries at `rows`, in list order, each once; rows outside the list are left out.
    QStringList entriesAt(QList<int> rows) const;

    // What the entries name: set when a search starts, by its options.
    void setKind(EntryPaths::Kind kind) { m_kind = kind; }
    EntryPaths::Kind kind() const { return m_kind; }

private:
    QStringList m_entries;
    EntryPaths::Kind m_kind = EntryPaths::Kind::File;
    int m_capacity = DefaultCapacity;
};
