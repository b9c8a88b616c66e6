#pragma once

// The found entries as the result list shows them: in the order found, never sorted, at most
// `capacity` of them, as the list always held (32,767 unless set otherwise). An entry is kept
// as it was found; it is shown with its line breaks made visible, so that every entry is one
// row.
//
// It finds nothing and reads nothing: the search hands it entries, a person removes them.

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

    void setCapacity(int capacity) { m_capacity = capacity; }
    int capacity() const { return m_capacity; }
    // Appends as many of `entries` as there is room for; returns how many that was.
    qsizetype append(const QStringList& entries);
    void clear();
    void removeRows(QList<int> rows);

    const QStringList& entries() const { return m_entries; }
    QString entryAt(int row) const { return m_entries.value(row); }

private:
    QStringList m_entries;
    int m_capacity = DefaultCapacity;
};
