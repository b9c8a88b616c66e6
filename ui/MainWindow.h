#pragma once

// The main window: the option panel (drive, folder, pattern, four options) and the result panel
// (the found entries, their count, and what can be done with them), one shown at a time, over
// the search, exit and about buttons. A thin shell over the run control: it wires each control
// to it, reads the options once when the search button is pressed, and shows the state, the
// entries and the messages the run control hands it. Nothing here waits for the file system.

#include "core/run/RunControl.h"

#include <QDialog>
#include <memory>

class BusyPointer;
class DriveBox;
class FileManager;
class FileOpener;
class FolderView;
class PatternBox;
class QCheckBox;
class QLabel;
class QPushButton;
class ResultList;

class MainWindow : public QDialog {
    Q_OBJECT
public:
    using State = RunControl::State;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Shows the folder the program was started in, then `folder` if it can be read, else the
    // folder saved at the last exit.
    void load(const QString& folder = {});
    void setFilesFolder(const QString& folder) { m_control->setFilesFolder(folder); }
    // The tests put a recorder in the desktop opener's place; not owned.
    void setOpener(FileOpener* opener) { m_opener = opener; }
    // And a recorder in the file manager's; not owned.
    void setFileManager(FileManager* manager) { m_fileManager = manager; }
    RunControl& control() const { return *m_control; }
    Search& search() const { return m_control->search(); }
    State state() const { return m_control->state(); }

signals:
    void searchEnded(); // the result panel shows a finished, cancelled or full search

protected:
    void reject() override; // Esc
    void closeEvent(QCloseEvent* event) override;

private:
    void createLayout();
    void connectSignals();

    void searchPressed();
    void showState(State state);
    void leave();
    void showAbout();
    SearchOptions options() const;
    // Asks before "Öppna" (or "Visa i mapp" when `showing`) hands out more entries than the run
    // control lets go without asking; true when they may go.
    bool mayHandOut(qsizetype count, bool showing);

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

    RunControl* m_control = nullptr;
    std::unique_ptr<BusyPointer> m_searchPointer; // while a search runs
    std::unique_ptr<FileOpener> m_systemOpener;
    FileOpener* m_opener = nullptr;
    std::unique_ptr<FileManager> m_systemFileManager;
    FileManager* m_fileManager = nullptr;
};
