#include "ui/FileManager.h"

#include "core/EntryPaths.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QSet>

DesktopFileManager::DesktopFileManager(std::function<void(const QString&)> openFolder,
                                       QObject* parent)
    : QObject(parent), m_openFolder(std::move(openFolder)) {}

void DesktopFileManager::showItems(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolders(paths);
        return;
    }
    QStringList uris;
    for (const QString& path : paths)
        uris.append(QString::fromLatin1(EntryPaths::fileUri(path)));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString(); // no startup notification id
    auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this, paths](QDBusPendingCallWatcher* answer) {
                answer->deleteLater();
                if (answer->isError())
                    openFolders(paths);
            });
}

// Each folder once, in the order of the entries.
void DesktopFileManager::openFolders(const QStringList& paths) {
    QStringList folders;
    QSet<QString> seen;
    for (const QString& path : paths) {
        const QString folder = EntryPaths::containingFolder(path);
        if (!seen.contains(folder)) {
            seen.insert(folder);
            folders.append(folder);
        }
    }
    for (const QString& folder : folders)
        m_openFolder(folder);
}
