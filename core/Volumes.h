#pragma once

// The mounted volumes a person would pick as drives: the root file system and mounted real
// volumes (block devices, network shares, removable media), not proc, sysfs and the other
// pseudo file systems. A volume's drive text is its mount point followed by its label in
// brackets, "/ [vda]", so that it can never be mistaken for a folder path.
//
// VolumeWatch follows the mount table: it reads it at start and again whenever something is
// mounted or unmounted, on a thread of its own, since a look at a mount point may block.

#include <QList>
#include <QObject>
#include <QString>
#include <memory>

struct Volume {
    QString mountPoint;
    QString label;
    bool network = false; // a share on another machine
    QString driveText() const { return mountPoint + QStringLiteral(" [") + label + u']'; }
    bool operator==(const Volume&) const = default;
};

namespace Volumes {
// Reads the mount table. Looks at local mount points only, never at a network share's.
QList<Volume> read();
// The volume holding an absolute path (the longest mount point that is a prefix), or -1.
int indexHolding(const QList<Volume>& volumes, const QString& path);
} // namespace Volumes

class Mailbox;
class QSocketNotifier;

class VolumeWatch : public QObject {
    Q_OBJECT
public:
    explicit VolumeWatch(QObject* parent = nullptr);
    ~VolumeWatch() override;
    void start();

signals:
    void volumesChanged(const QList<Volume>& volumes);

private:
    void readInBackground();
    std::shared_ptr<Mailbox> m_mailbox;
    QSocketNotifier* m_notifier = nullptr;
    int m_mountTable = -1;
    quint64 m_readings = 0;
};
