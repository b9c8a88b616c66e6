#pragma once

// The mounted volumes a person would pick as drives: the root file system and the mounted real
// volumes (block devices, network shares, removable media), as the mount table classifies
// them (MountTable): no kernel file system, nothing in the system's own places (/proc, /sys,
// /dev, /run, ...). A volume's drive text is its mount point followed by its label in
// brackets, "/ [vda]", so that it can never be mistaken for a folder path.
//
// VolumeWatch follows the mount table with libmount's monitor: it reads the volumes at start
// and again whenever something is mounted or unmounted, on a thread of its own through the read
// gate, since a look at a mount point may block; the newest reading wins.

#include "core/threads/NewestWins.h"

#include <QList>
#include <QObject>
#include <QString>
#include <memory>

class MountTable;

struct Volume {
    enum class Kind { Disk, Share };
    QString mountPoint;
    QString label;
    Kind kind = Kind::Disk;
    QString driveText() const { return mountPoint + QStringLiteral(" [") + label + u']'; }
    bool operator==(const Volume&) const = default;
};

namespace Volumes {
// The volumes of the mount table now. Local mount points are looked at (through the read gate),
// never a share's; `calledOff` gives up a look still waiting at the gate.
QList<Volume> read(const std::function<bool()>& calledOff = [] { return false; });
QList<Volume> of(const MountTable& table, const std::function<bool()>& calledOff);
// The volume holding an absolute path (the longest mount point that is a prefix), or -1.
int indexHolding(const QList<Volume>& volumes, const QString& path);
} // namespace Volumes

class Mailbox;
class QSocketNotifier;
struct libmnt_monitor;

class VolumeWatch : public QObject {
    Q_OBJECT
public:
    explicit VolumeWatch(QObject* parent = nullptr);
    ~VolumeWatch() override;
    void start();

signals:
    void volumesChanged(const QList<Volume>& volumes);

private:
    void mountsChanged();
    void readInBackground();
    std::shared_ptr<Mailbox> m_mailbox;
    libmnt_monitor* m_monitor = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    NewestWins m_readings;
};
