#include "core/files/ProgramFiles.h"

#include "core/text/FileNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <unistd.h>

namespace ProgramFiles {

QString folderFor(const QString& programFolder) {
    const bool systemInstall =
        programFolder == QLatin1String("/usr") || programFolder.startsWith(QLatin1String("/usr/"));
    if (!systemInstall && access(FileNames::encode(programFolder).constData(), W_OK) == 0)
        return programFolder;
    const QString own = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                        QStringLiteral("/trovan");
    QDir().mkpath(own);
    return own;
}

QString folder() {
    return folderFor(QCoreApplication::applicationDirPath());
}

QString path(const QString& name) {
    return folder() + u'/' + name;
}

QString keptListingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/trovan/kept-listings");
}

} // namespace ProgramFiles
