#pragma once

// A list box of texts kept in insertion order (never sorted), with single or extended
// selection. Indices and counts are those of the 16-bit list it stands for: it holds at most
// 32767 entries, and AddItem on a full list fails with error 7 (out of memory).

#include <QAbstractListModel>
#include <QListView>
#include <QStringList>

class ListBox : public QListView {
    Q_OBJECT
public:
    static constexpr int MaxEntries = 32767;
    enum class Selection { Single, Extended };

    ListBox(QWidget* container, Selection selection);

    void AddItem(const QString& item);
    void RemoveItem(int index);
    void Clear();
    int ListCount() const { return int(m_model.entries.size()); }
    // The text of entry `index`; empty for an index outside the list.
    QString List(int index) const;
    int ListIndex() const;
    void setListIndex(int index);
    bool Selected(int index) const;
    void setSelected(int index, bool selected);
    QString Text() const { return List(ListIndex()); }

private:
    struct Model : QAbstractListModel {
        QStringList entries;
        void append(const QString& entry);
        void remove(int row);
        void clear();
        int rowCount(const QModelIndex& parent) const override;
        QVariant data(const QModelIndex& index, int role) const override;
    };
    Model m_model;
};
