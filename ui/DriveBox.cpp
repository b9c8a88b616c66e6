#include "ui/DriveBox.h"

#include <QSignalBlocker>

DriveBox::DriveBox(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index < 0 || index >= m_volumes.size())
            return;
        const QString& mountPoint = m_volumes[index].mountPoint;
        emit chosen(m_folderOnVolume.value(mountPoint, mountPoint));
    });
}

void DriveBox::startWatching() {
    auto* watch = new VolumeWatch(this);
    connect(watch, &VolumeWatch::volumesChanged, this, &DriveBox::setVolumes);
    watch->start();
}

void DriveBox::setVolumes(const QList<Volume>& volumes) {
    if (volumes == m_volumes)
        return;
    m_volumes = volumes;
    const QSignalBlocker quiet(this);
    clear();
    for (const Volume& volume : m_volumes)
        addItem(volume.driveText());
    showFolder(m_shownFolder);
}

void DriveBox::showFolder(const QString& folder) {
    m_shownFolder = folder;
    const int index = Volumes::indexHolding(m_volumes, folder);
    if (index < 0)
        return;
    m_folderOnVolume.insert(m_volumes[index].mountPoint, folder);
    const QSignalBlocker quiet(this);
    setCurrentIndex(index);
}
