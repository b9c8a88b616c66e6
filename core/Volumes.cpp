#include "core/Volumes.h"

#include "core/FileNames.h"
#include "core/Mailbox.h"
#include "core/OffThread.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSocketNotifier>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isPseudoFileSystem(const QString& type) {
    // Never destroyed: a reading thread may still look at it while the program ends.
    static const QSet<QString>& pseudo = *new QSet<QString>{
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

namespace Volumes {

QList<Volume> read() {
    QList<Volume> found{{QStringLiteral("/"), QStringLiteral("/")}};
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return found;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (dash < 5 || dash + 2 >= fields.size())
            continue;
        const QString mountPoint = unescapeMountField(fields[4]);
        const QString type = QString::fromUtf8(fields[dash + 1]);
        const QString source = unescapeMountField(fields[dash + 2]);
        const bool network = isNetworkFileSystem(type);
        if (mountPoint == QLatin1String("/")) {
            found.front().label = labelOf(source, type);
            continue;
        }
        if (isPseudoFileSystem(type) || !(source.startsWith(QLatin1String("/dev/")) || network) ||
            isSystemPlace(mountPoint))
            continue;
        // A file bound over another (as containers do with /etc/hosts) is no drive. A network
        // share is not looked at: one that stopped answering would hold the reading up.
        if (!network && !isFolder(mountPoint))
            continue;
        found.removeIf([&](const Volume& v) { return v.mountPoint == mountPoint; });
        found.append({mountPoint, labelOf(source, type), network});
    }
    return found;
}

int indexHolding(const QList<Volume>& volumes, const QString& path) {
    if (!path.startsWith(u'/'))
        return -1;
    int best = -1;
    qsizetype bestLength = -1;
    for (qsizetype i = 0; i < volumes.size(); ++i) {
        const QString& mount = volumes[i].mountPoint;
        const bool holds =
            mount == QLatin1String("/") || path == mount || path.startsWith(mount + u'/');
        if (holds && mount.size() > bestLength) {
            best = int(i);
            bestLength = mount.size();
        }
    }
    return best;
}

} // namespace Volumes

VolumeWatch::VolumeWatch(QObject* parent) : QObject(parent), m_mailbox(Mailbox::to(this)) {}

VolumeWatch::~VolumeWatch() {
    m_mailbox->close();
    if (m_mountTable >= 0)
        close(m_mountTable);
}

// The kernel marks the open mount table as changed (an exceptional condition to poll) after
// every mount and unmount.
void VolumeWatch::start() {
    m_mountTable = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_mountTable >= 0) {
        m_notifier = new QSocketNotifier(m_mountTable, QSocketNotifier::Exception, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &VolumeWatch::readInBackground);
    }
    readInBackground();
}

void VolumeWatch::readInBackground() {
    const quint64 reading = ++m_readings;
    OffThread::run(
        m_mailbox, [] { return Volumes::read(); },
        [this, reading](const QList<Volume>& volumes) {
            // Two readings may cross; only the newest tells how things are.
            if (reading == m_readings)
                emit volumesChanged(volumes);
        });
}
