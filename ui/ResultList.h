#pragma once

// The result list: the entries in the order found, never sorted, with extended selection (Shift
// marks a range, Ctrl adds or removes one entry). It holds at most Capacity entries, as the
// list always has. It shows entries; it does not find them. A line break in an entry is shown
// as "␍" or "␊", on the entry's one line; entries() and currentEntry() give the real text.

#include <QListView>
#include <QStringList>

class ResultModel;

class ResultList : public QListView {
    Q_OBJECT
public:
    static constexpr int Capacity = 32767;

    explicit ResultList(QWidget* parent = nullptr);

    // Appends as many of `entries` as there is room for; returns how many that was.
    qsizetype append(const QStringList& entries);
    void clear();
    const QStringList& entries() const;
    qsizetype count() const { return entries().size(); }

    // The entry that holds the list's focus, marked or not; empty when there is none.
    QString currentEntry() const;
    bool hasCurrentEntry() const { return currentIndex().isValid(); }
    void removeMarked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ResultModel* model() const;
};
