#pragma once

// Shows found files and folders in the desktop's file manager: each one's folder, with the
// entry selected. The program asks over the session bus (org.freedesktop.FileManager1
// ShowItems, as file managers on Linux offer it, all the entries in one call) and never blocks
// on the answer; the busy pointer shows while it comes. Where no file manager answers within
// AnswerWaitMs, or there is no session bus, the entries' folders go to the desktop's opener
// instead. The window's tests put a recorder in its place, since a real file manager would
// leave the test machine's control.

#include <QDBusConnection>
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
    // `openFolder` opens one folder in the desktop's own way: the fallback. `bus` is the
    // session bus unless a test gives one of its own.
    explicit DesktopFileManager(std::function<void(const QString&)> openFolder,
                                QObject* parent = nullptr,
                                const QDBusConnection& bus = QDBusConnection::sessionBus());
    void showItems(const QStringList& paths) override;

    // A file manager that has not answered by then is taken for one that never will: the bus's
    // own limit, 25 s, would leave a person without any sign that long.
    static constexpr int AnswerWaitMs = 2000;

private:
    void openFolders(const QStringList& paths);
    std::function<void(const QString&)> m_openFolder;
    QDBusConnection m_bus;
};
