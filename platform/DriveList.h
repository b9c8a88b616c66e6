#pragma once

// The drive list: the mounted volumes a person would pick. Drive reads as the selected volume's
// drive text; assigning a drive text or any path selects the volume that holds it, and fails
// with error 68 when that volume is not ready. A change of the selection, by the user or by an
// assignment, raises the change event inside it.

#include <QComboBox>
#include <functional>

class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* container);

    QString Drive() const;
    void setDrive(const QString& driveTextOrPath);

    // Reads the volumes again, for a volume mounted or offered since.
    void Refresh();

    std::function<void()> onChange;

private:
    void select(int volume);
    int m_selected = -1;
};
