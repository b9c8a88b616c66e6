#include "ui/DriveBox.h"

#include "ui/FocusFrame.h"

#include <QAbstractItemView>
#include <QSignalBlocker>
#include <QStyle>

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

// A list that is open when the volumes change is opened again on the new ones, with the same
// volume highlighted: left open, it would keep its old size, an empty row where a volume went,
// and no highlight for Enter to take.
void DriveBox::setVolumes(const QList<Volume>& volumes) {
    if (volumes == m_volumes)
        return;
    const bool wasOpen = view()->isVisible();
    QString highlighted;
    if (wasOpen) {
        const int row = view()->currentIndex().row();
        if (row >= 0 && row < m_volumes.size())
            highlighted = m_volumes[row].mountPoint;
        hidePopup();
    }
    m_volumes = volumes;
    {
        const QSignalBlocker quiet(this);
        clear();
        for (const Volume& volume : m_volumes)
            addItem(style()->standardIcon(volume.kind == Volume::Kind::Share ? QStyle::SP_DriveNetIcon
                                                         : QStyle::SP_DriveHDIcon),
                    volume.driveText());
    }
    showFolder(m_shownFolder);
    if (!wasOpen)
        return;
    showPopup();
    for (int row = 0; row < m_volumes.size(); ++row) {
        if (m_volumes[row].mountPoint == highlighted)
            view()->setCurrentIndex(model()->index(row, 0));
    }
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

void DriveBox::paintEvent(QPaintEvent* event) {
    QComboBox::paintEvent(event);
    FocusFrame::paint(this);
}
