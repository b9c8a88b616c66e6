#include "core/folders/Volumes.h"

#include "core/folders/MountTable.h"
#include "core/folders/PathHash.h"
#include "core/text/FileNames.h"
#include "core/threads/Mailbox.h"
#include "core/threads/OffThread.h"
#include "core/threads/ReadGate.h"

#include <QDir>
#include <QSocketNotifier>
#include <libmount/libmount.h>
#include <sys/stat.h>

namespace {

bool isSystemPlace(const QString& mountPoint) {
    for (const char* place : {"/proc", "/sys", "/dev", "/run", "/snap", "/var/lib"}) {
        const QString prefix = QLatin1String(place);
        if (mountPoint == prefix || mountPoint.startsWith(prefix + u'/'))
            return !mountPoint.startsWith(QLatin1String("/run/media/"));
    }
    return false;
}

QString decoded(const std::string& bytes) {
    return FileNames::decode(bytes);
}

// One look at a local path, through the read gate.
template <typename Look>
bool lookAt(const MountTable& table, const std::string& path,
            const std::function<bool()>& calledOff, Look look) {
    const ReadPass pass(table.placeOf(path), calledOff);
    return pass.entered() && look();
}

// udev writes a byte that may not stand in a link's name as \xHH.
QString unescapeUdev(const QString& name) {
    QByteArray bytes = FileNames::encode(name), out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        bool ok = false;
        const int value = bytes.mid(i + 2, 2).toInt(&ok, 16);
        if (bytes[i] == '\\' && i + 3 < bytes.size() && bytes[i + 1] == 'x' && ok) {
            out.append(char(value));
            i += 3;
            continue;
        }
        out.append(bytes[i]);
    }
    return FileNames::decode(std::string_view(out.constData(), size_t(out.size())));
}

// The name /dev/disk/by-label gives the device, as udev escapes it; else the device's name.
QString labelOf(const MountTable& table, const MountTable::Mount& mount,
                const std::function<bool()>& calledOff) {
    const QString source = decoded(mount.source);
    QString label;
    lookAt(table, "/dev/disk/by-label", calledOff, [&] {
        const QString device = QFileInfo(source).canonicalFilePath();
        if (device.isEmpty())
            return false;
        const QDir byLabel(QStringLiteral("/dev/disk/by-label"));
        for (const QFileInfo& link : byLabel.entryInfoList(QDir::System | QDir::Files)) {
            if (link.canonicalFilePath() == device) {
                label = unescapeUdev(link.fileName());
                return true;
            }
        }
        return false;
    });
    if (!label.isEmpty())
        return label;
    if (source.startsWith(QLatin1String("/dev/")))
        return source.mid(5);
    return decoded(mount.type);
}

} // namespace

namespace Volumes {

QList<Volume> read(const std::function<bool()>& calledOff) {
    return of(MountTable::read(), calledOff);
}

QList<Volume> of(const MountTable& table, const std::function<bool()>& calledOff) {
    QList<Volume> found{{QStringLiteral("/"), QStringLiteral("/"), Volume::Kind::Disk}};
    for (const MountTable::Mount& mount : table.mounts()) {
        const QString mountPoint = decoded(mount.path);
        if (mountPoint == QLatin1String("/")) {
            found.front().label = labelOf(table, mount, calledOff);
            continue;
        }
        const bool share = mount.kind == MountTable::Kind::MayHang;
        const bool device = mount.source.rfind("/dev/", 0) == 0;
        if (mount.kind == MountTable::Kind::System || !(device || share) ||
            isSystemPlace(mountPoint))
            continue;
        // A file bound over another (as containers do with /etc/hosts) is no drive. A share is
        // not looked at: one that stopped answering would hold the reading up.
        struct stat info {};
        if (!share && !lookAt(table, mount.path, calledOff, [&] {
                return stat(mount.path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
            }))
            continue;
        found.removeIf([&](const Volume& v) { return v.mountPoint == mountPoint; });
        found.append({mountPoint, labelOf(table, mount, calledOff),
                      share ? Volume::Kind::Share : Volume::Kind::Disk});
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
    m_readings.dropAll();
    if (m_monitor)
        mnt_unref_monitor(m_monitor);
}

// libmount's monitor wakes its descriptor after every mount and unmount of this process's
// mount namespace.
void VolumeWatch::start() {
    m_monitor = mnt_new_monitor();
    if (m_monitor && mnt_monitor_enable_kernel(m_monitor, 1) == 0) {
        const int fd = mnt_monitor_get_fd(m_monitor);
        if (fd >= 0) {
            m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
            connect(m_notifier, &QSocketNotifier::activated, this, &VolumeWatch::mountsChanged);
        }
    }
    readInBackground();
}

void VolumeWatch::mountsChanged() {
    // Takes every change that waits, so that the descriptor is quiet until the next one.
    const char* file = nullptr;
    int type = 0;
    while (mnt_monitor_next_change(m_monitor, &file, &type) == 0) {
    }
    readInBackground();
}

// Two readings may cross; only the newest tells how things are.
void VolumeWatch::readInBackground() {
    const NewestWins::Ticket ticket = m_readings.next();
    OffThread::run(
        m_mailbox, [ticket] { return Volumes::read([&ticket] { return ticket.isStale(); }); },
        [this, ticket](const QList<Volume>& volumes) {
            if (!ticket.isStale())
                emit volumesChanged(volumes);
        });
}
