#pragma once

// The main window as the window tests meet it: shown on a folder, its files kept in a folder
// of the test's, recorders in the desktop opener's and the file manager's places, and the few
// things a person does and looks at, done through real input.

#include "ui/FileManager.h"
#include "ui/FileOpener.h"
#include "ui/MainWindow.h"

#include <QPoint>
#include <QStringList>
#include <functional>

class FolderView;
class QAbstractItemView;
class QImage;

// Records what would have been opened, and whether a message box was still up then.
struct RecordingOpener : FileOpener {
    QStringList opened;
    bool openedUnderABox = false;
    void open(const QString& file) override;
};

// Records what the file manager would have been asked to show, one list of paths a call.
struct RecordingFileManager : FileManager {
    QList<QStringList> shown;
    void showItems(const QStringList& paths) override { shown.append(paths); }
};

struct TestWindow {
    RecordingOpener opener;
    RecordingFileManager fileManager;
    MainWindow window;

    TestWindow(const QString& folder, const QString& filesFolder);

    template <typename Control> Control* control(const char* name) {
        return window.findChild<Control*>(name);
    }
    FolderView* folderView();
    QString shownFolder();
    QStringList listedFolders(); // the folder list's rows as shown
    QAbstractItemView* resultList();
    QStringList entries();
    QString count();
    // The result state as a person sees it: the list with "&Ny sökning" and "A&vsluta".
    bool showsResults();
    bool searching();

    // A check box set the way a person does: a click on it when it is not as wanted.
    void setOption(const char* name, bool on);
    void typePattern(const QString& pattern);
    // Clicks the search button and waits for the result state.
    bool search();
    QPoint spotOfRow(int row);
    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Where the folder list shows `name`, scrolled into sight, in window coordinates.
    QPoint spotOfFolder(const QString& name);
    // A double click on the folder list's row that shows `name`.
    void openFolder(const QString& name);
};

// Runs the application's event loop with `act` in it; true when the program ended it.
bool programEnds(const std::function<void()>& act);

// A list's rows as the screen shows them. A list lays out rows that came in on the next pass of
// the event loop and draws only rows laid out, so a picture taken in the same pass as the rows
// came would show none of them; the layout waiting is done first, as that pass would do it.
QImage drawnList(QAbstractItemView* list);
