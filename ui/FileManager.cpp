#include "ui/FileManager.h"

#include "core/text/EntryPaths.h"
#include "ui/BusyPointer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QSet>

DesktopFileManager::DesktopFileManager(std::function<void(const QString&)> openFolder,
                                       QObject* parent, const QDBusConnection& bus)
    : QObject(parent), m_openFolder(std::move(openFolder)), m_bus(bus) {}

void DesktopFileManager::showItems(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    if (!m_bus.isConnected()) {
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
    auto* answer = new QDBusPendingCallWatcher(m_bus.asyncCall(call, AnswerWaitMs), this);
    auto busy = std::make_shared<BusyPointer>();
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this, paths, busy](QDBusPendingCallWatcher* answer) mutable {
                answer->deleteLater();
                if (answer->isError())
                    openFolders(paths);
                busy.reset();
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
