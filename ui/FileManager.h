#pragma once

// Shows found files and folders in the desktop's file manager: each one's folder, with the
// entry selected. The program asks over the session bus (org.freedesktop.FileManager1
// ShowItems, as file managers on Linux offer it) and never waits for the answer; where no file
// manager answers, or there is no session bus, the entries' folders go to the desktop's opener
// instead. The tests put a recorder in its place, since a real file manager would leave the
// test machine's control.

#include <QObject>
#include <QStringList>
#include <functional>

class FileManager {
public:
    virtual ~FileManager() = default;
    // `paths` are full paths of files or folders.
    virtual void showItems(const QStringList& paths) = 0;
};

class DesktopFileManager : public QObject, public FileManager {
    Q_OBJECT
public:
    // `openFolder` opens one folder in the desktop's own way: the fallback.
    explicit DesktopFileManager(std::function<void(const QString&)> openFolder,
                                QObject* parent = nullptr);
    void showItems(const QStringList& paths) override;

private:
    void openFolders(const QStringList& paths);
    std::function<void(const QString&)> m_openFolder;
};
