#pragma once

// The drive list: the mounted volumes, each shown as its mount point and label beside a drive's
// icon (a network drive's for a share on another machine), following the mount table as volumes
// come and go. Each volume remembers the folder last shown on it, as a drive remembers its
// current folder. It reads nothing itself: picking a volume asks for its
// folder through chosen(), and the folder list's answer moves the box with showFolder(). Its
// focus shows as a frame (FocusFrame).

#include "core/folders/Volumes.h"

#include <QComboBox>
#include <QHash>

class DriveBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveBox(QWidget* parent = nullptr);
    void startWatching();

    // Selects the volume that holds `folder` and remembers it as that volume's folder.
    void showFolder(const QString& folder);

signals:
    void chosen(const QString& folder); // the folder to show for the volume a person picked

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setVolumes(const QList<Volume>& volumes);
    QList<Volume> m_volumes;
    QHash<QString, QString> m_folderOnVolume; // mount point -> the folder last shown there
    QString m_shownFolder;
};
