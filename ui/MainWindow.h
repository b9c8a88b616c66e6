#pragma once

// The main window: the option panel (drive, folder, pattern, four options) and the result panel
// (the found entries, their count, and what can be done with them), one shown at a time, over
// the search, exit and about buttons. It reads the options once when a search starts, shows
// what the search hands it, and keeps its state in `m_state`; the search itself, the folder
// reading and the stored files are the core's. Nothing here waits for the file system.

#include "core/SearchOptions.h"

#include <QDialog>
#include <memory>

class DriveBox;
class FileOpener;
class FolderLister;
class FolderView;
class Mailbox;
class PatternBox;
class QCheckBox;
class QLabel;
class QPushButton;
class ResultList;
class Search;

class MainWindow : public QDialog {
    Q_OBJECT
public:
    enum class State { Options, Searching, Results };

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Shows `folder` if it can be read, else the folder saved at the last exit, else the
    // folder the program was started in.
    void load(const QString& folder = {});
    // Where setup.ini and lista.txt are kept; the program's own choice unless set.
    void setFilesFolder(const QString& folder) { m_filesFolder = folder; }
    // The tests put a recorder in the desktop opener's place; not owned.
    void setOpener(FileOpener* opener) { m_opener = opener; }
    Search& search() const { return *m_search; }
    State state() const { return m_state; }

signals:
    void searchEnded(); // the result panel shows a finished, cancelled or full search

protected:
    void reject() override; // Esc
    void closeEvent(QCloseEvent* event) override;

private:
    void createLayout();
    void connectSignals();

    void searchPressed();
    void exitPressed();
    void startSearch();
    void prepareNewSearch();
    void takeEntries();
    void endSearch();
    void showState(State state);
    void saveAndQuit();

    void removeMarked();
    void saveList();
    void openCurrentEntry();
    void showAbout();

    void folderOpened(const QString& folder);
    QString filePath(const QString& name);
    void restoreFolder(const QString& saved, const QString& requested);

    // Controls.
    QWidget* m_optionPanel = nullptr;
    QWidget* m_resultPanel = nullptr;
    QLabel* m_heading = nullptr;
    QCheckBox* m_keepExtensions = nullptr;
    DriveBox* m_driveBox = nullptr;
    PatternBox* m_patternBox = nullptr;
    QCheckBox* m_listFolders = nullptr;
    QCheckBox* m_fullPaths = nullptr;
    QCheckBox* m_includeSubfolders = nullptr;
    FolderView* m_folderView = nullptr;
    QLabel* m_foundLabel = nullptr;
    QLabel* m_countLabel = nullptr;
    ResultList* m_resultList = nullptr;
    QPushButton* m_removeMarkedButton = nullptr;
    QPushButton* m_saveListButton = nullptr;
    QPushButton* m_openFileButton = nullptr;
    QPushButton* m_searchButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    QPushButton* m_aboutButton = nullptr;
    QLabel* m_separatorBar = nullptr;

    // State.
    State m_state = State::Options;
    Search* m_search = nullptr;
    FolderLister* m_restoreProbe = nullptr;
    QString m_filesFolder;
    QString m_lastStartFolder; // empty until a search has started
    QString m_folderBeforeSearch;
    qsizetype m_found = 0; // entries added by the search, whatever was removed since
    bool m_listFull = false;
    bool m_driveChosenByPerson = false;
    std::unique_ptr<FileOpener> m_systemOpener;
    FileOpener* m_opener = nullptr;
    std::shared_ptr<Mailbox> m_mailbox;
};
