#pragma once

// The run control: the states a person moves the program through, and what the search button,
// the exit button, Esc and the close box do in each of them.
//
//   Options ──search──► Searching ──walk over, cancel, or list full──► Results
//      ▲                    │ start folder unreadable                     │
//      └────────────────────┴───────────── new search ◄──────────────────┘
//
// It owns the search, the found entries with the list's capacity, the chosen folder, and the
// checks made before the list is saved or an entry opened; each of those checks runs off the
// caller's thread. It knows no control: the window wires its controls to the calls below,
// reads the options once when a search is asked for, and shows what the signals hand it.

#include "core/text/EntryPaths.h"
#include "core/text/SearchOptions.h"
#include "core/threads/NewestWins.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <memory>

class ChosenFolder;
class KeptListings;
class Mailbox;
class ResultEntries;
class QTimer;
class Search;

class RunControl : public QObject {
    Q_OBJECT
public:
    enum class State { Options, Searching, Results };

    explicit RunControl(QObject* parent = nullptr);
    ~RunControl() override;

    // Where setup.ini and lista.txt are kept; the program's own choice unless set before start().
    void setFilesFolder(const QString& folder) { m_filesFolder = folder; }
    QString filePath(const QString& name);
    // Shows the start folder, then `requested`, else the folder saved at the last exit.
    void start(const QString& startFolder, const QString& requested = {});

    // What a person does. `options` is read when the search button is pressed; its start
    // folder is the chosen folder's.
    void searchPressed(SearchOptions options);
    void exitPressed();
    void escapePressed();
    // After "Ja" to leaving, the close box, a signal to end: the windows go, setup.ini holds
    // the last searched folder, and the program's event loops end. Once: nothing more is said.
    void leave();
    // Writes the last searched folder to setup.ini now, as leaving does, and stays.
    void keepFolder();
    bool hasLeft() const { return m_left; }
    void removeEntries(const QList<int>& rows, int currentRow);
    void saveList();
    void openEntry(int row);
    // Opens the rows' entries as openEntry does, each file in its program and each folder in
    // the file manager, all of them; nothing unless the entries name files or folders (full
    // paths, with their extensions). Entries that cannot be opened are reported together.
    void openEntries(const QList<int>& rows);
    // The full paths of the rows' entries, all of them in list order: what "Öppna" and "Visa i
    // mapp" hand to an opener or a file manager. None when the entries name nothing.
    QStringList pathsAt(const QList<int>& rows) const;
    // Handing out more than this many entries at once asks the person first: each may start a
    // program or open a window.
    static constexpr int MostWithoutAsking = 10;
    static bool asksBeforeHandingOut(qsizetype count) { return count > MostWithoutAsking; }
    // At most this many of the entries that could not be opened are named in the one report.
    static constexpr int MostFailuresNamed = 5;
    // Openers started in one pass of the event loop: starting one takes the thread a moment.
    static constexpr int HandedOnAtOnce = 20;

    State state() const { return m_state; }
    // Entries added by the search, whatever was removed since, as the count shows them.
    qsizetype found() const { return m_found; }
    static QString countText(qsizetype count);
    bool canOpenEntries() const { return m_canOpenEntries; }
    EntryPaths::Kind entryKind() const;
    QString lastStartFolder() const { return m_lastStartFolder; }

    ChosenFolder& chosenFolder() const { return *m_chosenFolder; }
    ResultEntries& entries() const { return *m_entries; }
    Search& search() const { return *m_search; }
    KeptListings& keptListings() const { return *m_kept; }

    static const QString FullListMessage;

signals:
    void stateChanged(RunControl::State state);
    void countChanged(const QString& text);
    void leaveAsked();                // "Avsluta programmet?": leave() on yes
    void leaving();                   // every window goes now
    void warned(const QString& text); // an exclamation box
    void informed(const QString& text, const QString& title); // a plain box
    void listSaved(const QString& text, const QString& title, const QString& file);
    void openRequested(const QString& file);
    void searchEnded(); // the results show a finished, cancelled or full search

private:
    void startSearch(SearchOptions options);
    void entriesFound();
    void takeEntries();
    void endSearch();
    void prepareNewSearch();
    void setState(State state);
    void open(const QStringList& entries, bool folders);
    void openFound(const QStringList& entries, bool folders, const QList<int>& errors);
    // Hands `found` on to the opener from `from` on, then shows `report`, if any.
    void handOn(const QStringList& found, qsizetype from, const QString& report);

    ChosenFolder* m_chosenFolder = nullptr;
    ResultEntries* m_entries = nullptr;
    Search* m_search = nullptr;
    QTimer* m_listUpdate = nullptr; // the next time the list takes the entries found
    QElapsedTimer m_sinceListUpdate;
    State m_state = State::Options;
    QString m_filesFolder;
    QString m_lastStartFolder; // empty until a search has started
    QString m_folderBeforeSearch;
    QString m_refusedStart; // the start folder of the last search, when it could not be read
    qsizetype m_found = 0;
    bool m_listFull = false;
    bool m_canOpenEntries = true;
    bool m_left = false;
    std::shared_ptr<Mailbox> m_mailbox;
    std::shared_ptr<KeptListings> m_kept; // the folders searched, for the next searches
    // The newest save and the newest open: an older one still waiting to reach a silent
    // folder gives up.
    NewestWins m_saves;
    NewestWins m_opens;
};
