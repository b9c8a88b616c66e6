#include "platform/Volumes.h"

#include "platform/FileNames.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <sys/stat.h>

namespace {

bool isPseudoFileSystem(const QString& type) {
    static const QSet<QString> pseudo = {
        QStringLiteral("proc"),
        QStringLiteral("sysfs"),
        QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),
        QStringLiteral("tmpfs"),
        QStringLiteral("cgroup"),
        QStringLiteral("cgroup2"),
        QStringLiteral("mqueue"),
        QStringLiteral("debugfs"),
        QStringLiteral("tracefs"),
        QStringLiteral("securityfs"),
        QStringLiteral("pstore"),
        QStringLiteral("bpf"),
        QStringLiteral("autofs"),
        QStringLiteral("hugetlbfs"),
        QStringLiteral("configfs"),
        QStringLiteral("fusectl"),
        QStringLiteral("binfmt_misc"),
        QStringLiteral("efivarfs"),
        QStringLiteral("rpc_pipefs"),
        QStringLiteral("nsfs"),
        QStringLiteral("ramfs"),
        QStringLiteral("squashfs"),
        QStringLiteral("overlay"),
        QStringLiteral("fuse.gvfsd-fuse"),
        QStringLiteral("fuse.portal"),
    };
    return pseudo.contains(type);
}

bool isNetworkFileSystem(const QString& type) {
    return type.startsWith(QLatin1String("nfs")) || type == QLatin1String("cifs") ||
           type == QLatin1String("smb3") || type.startsWith(QLatin1String("fuse."));
}

bool isSystemPlace(const QString& mountPoint) {
    for (const char* place : {"/proc", "/sys", "/dev", "/run", "/snap", "/var/lib"}) {
        const QString prefix = QLatin1String(place);
        if (mountPoint == prefix || mountPoint.startsWith(prefix + u'/'))
            return !mountPoint.startsWith(QLatin1String("/run/media/"));
    }
    return false;
}

// The mount table escapes blanks and a few other bytes as \ooo.
QString unescapeMountField(const QByteArray& field) {
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return FileNames::decode(std::string_view(out.constData(), size_t(out.size())));
}

QString labelOf(const QString& source, const QString& type) {
    QDir byLabel(QStringLiteral("/dev/disk/by-label"));
    const QString device = QFileInfo(source).canonicalFilePath();
    if (!device.isEmpty()) {
        for (const QFileInfo& link : byLabel.entryInfoList(QDir::System | QDir::Files)) {
            if (link.canonicalFilePath() == device)
                return unescapeMountField(link.fileName().toUtf8())
                    .replace(QLatin1String("\\x20"), QLatin1String(" "));
        }
    }
    if (source.startsWith(QLatin1String("/dev/")))
        return source.mid(5);
    return type;
}

bool isFolder(const QString& path) {
    struct stat info {};
    return stat(FileNames::encode(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

QString Volumes::Volume::driveText() const {
    return mountPoint + QStringLiteral(" [") + label + u']';
}

Volumes& Volumes::shared() {
    static Volumes volumes;
    if (!volumes.m_loaded)
        volumes.load();
    return volumes;
}

void Volumes::load() {
    m_loaded = true;
    refresh();
    const QString here = QDir::currentPath();
    const int holding = indexHolding(here);
    if (holding >= 0)
        m_volumes[size_t(holding)].currentFolder = here;
}

void Volumes::refresh() {
    std::vector<Volume> found;
    found.push_back({QStringLiteral("/"), QStringLiteral("/"), QStringLiteral("/")});
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (table.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : table.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            const qsizetype dash = fields.indexOf("-");
            if (dash < 5 || dash + 2 >= fields.size())
                continue;
            const QString mountPoint = unescapeMountField(fields[4]);
            const QString type = QString::fromUtf8(fields[dash + 1]);
            const QString source = unescapeMountField(fields[dash + 2]);
            const bool real =
                source.startsWith(QLatin1String("/dev/")) || isNetworkFileSystem(type);
            if (isPseudoFileSystem(type) && mountPoint != QLatin1String("/"))
                continue;
            if (mountPoint == QLatin1String("/")) {
                found.front().label = labelOf(source, type);
                continue;
            }
            if (!real || isSystemPlace(mountPoint) || !isFolder(mountPoint))
                continue;
            std::erase_if(found, [&](const Volume& v) { return v.mountPoint == mountPoint; });
            found.push_back({mountPoint, labelOf(source, type), mountPoint});
        }
    }
    for (Volume& volume : found) {
        for (const Volume& known : m_volumes) {
            if (known.mountPoint == volume.mountPoint)
                volume.currentFolder = known.currentFolder;
        }
    }
    for (const Volume& known : m_volumes) {
        const bool kept = std::any_of(found.begin(), found.end(), [&](const Volume& v) {
            return v.mountPoint == known.mountPoint;
        });
        if (!kept && !isFolder(known.mountPoint))
            found.push_back(known); // offered by addVolume
    }
    m_volumes = std::move(found);
}

void Volumes::addVolume(const QString& mountPoint, const QString& label) {
    m_volumes.push_back({mountPoint, label, mountPoint});
}

int Volumes::indexOfDriveText(const QString& text) const {
    if (!text.endsWith(u']'))
        return -1; // a folder path, the common case
    for (size_t i = 0; i < m_volumes.size(); ++i) {
        if (m_volumes[i].driveText() == text)
            return int(i);
    }
    return -1;
}

int Volumes::indexHolding(const QString& path) const {
    if (!path.startsWith(u'/'))
        return -1;
    int best = -1;
    qsizetype bestLength = -1;
    for (size_t i = 0; i < m_volumes.size(); ++i) {
        const QString& mount = m_volumes[i].mountPoint;
        const bool holds =
            mount == QLatin1String("/") || path == mount || path.startsWith(mount + u'/');
        if (holds && mount.size() > bestLength) {
            best = int(i);
            bestLength = mount.size();
        }
    }
    return best;
}

int Volumes::indexOf(const QString& driveTextOrPath) const {
    const int byText = indexOfDriveText(driveTextOrPath);
    return byText >= 0 ? byText : indexHolding(driveTextOrPath);
}

bool Volumes::isReady(int index) const {
    return index >= 0 && size_t(index) < m_volumes.size() &&
           isFolder(m_volumes[size_t(index)].mountPoint);
}

void Volumes::rememberFolder(const QString& folder) {
    const int holding = indexHolding(folder);
    if (holding >= 0)
        m_volumes[size_t(holding)].currentFolder = folder;
}
