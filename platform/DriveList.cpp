#include "platform/DriveList.h"

#include "platform/Events.h"
#include "platform/RuntimeError.h"
#include "platform/Volumes.h"

#include <QApplication>
#include <QDir>
#include <QSignalBlocker>
#include <QStyle>

DriveList::DriveList(QWidget* container) : QComboBox(container) {
    Refresh();
    select(Volumes::shared().indexHolding(QDir::currentPath()));
    connect(this, &QComboBox::activated, this, [this](int row) {
        if (row == m_selected)
            return;
        m_selected = row;
        Events::raise(onChange);
    });
}

void DriveList::Refresh() {
    const QSignalBlocker blocker(this);
    const int selected = m_selected;
    clear();
    const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_DriveHDIcon);
    for (const Volumes::Volume& volume : Volumes::shared().volumes())
        addItem(icon, volume.driveText());
    setCurrentIndex(selected);
}

QString DriveList::Drive() const {
    const auto& volumes = Volumes::shared().volumes();
    return m_selected >= 0 && size_t(m_selected) < volumes.size()
               ? volumes[size_t(m_selected)].driveText()
               : QString();
}

void DriveList::setDrive(const QString& driveTextOrPath) {
    Volumes& volumes = Volumes::shared();
    if (count() != int(volumes.volumes().size()))
        Refresh();
    const int volume = volumes.indexOf(driveTextOrPath);
    if (volume < 0 || !volumes.isReady(volume))
        throw RuntimeError(ErrorNumber::DeviceUnavailable,
                           RuntimeError::describe(ErrorNumber::DeviceUnavailable));
    if (volume == m_selected)
        return;
    select(volume);
    if (onChange)
        onChange();
}

void DriveList::select(int volume) {
    const QSignalBlocker blocker(this);
    m_selected = volume;
    setCurrentIndex(volume);
}
