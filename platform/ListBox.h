#pragma once

// A list box of texts kept in insertion order (never sorted), with single or extended
// selection. Indices and counts are those of the 16-bit list it stands for: it holds at most
// 32767 entries, and AddItem on a full list fails with error 7 (out of memory).
//
// An added entry is in the list at once; the view is told about new entries in batches, a few
// times a second, so that a search adding an entry in every folder does not repaint and lay out
// the list for each one. Everything that depends on the view (the current entry, the marks)
// catches it up first.

#include <QAbstractListModel>
#include <QListView>
#include <QStringList>
#include <QTimer>

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

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Model : QAbstractListModel {
        QStringList entries;
        int shownRows = 0; // the entries the view knows of
        void showNewRows();
        void remove(int row);
        void clear();
        int rowCount(const QModelIndex& parent) const override;
        QVariant data(const QModelIndex& index, int role) const override;
    };
    void catchUp() const;

    mutable Model m_model;
    QTimer m_batch;
};
