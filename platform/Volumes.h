#pragma once

// The mounted volumes a person would pick as "drives": the root file system and mounted real
// volumes (block devices, network shares, removable media), not proc, sysfs and the other
// pseudo file systems. Each volume remembers its current folder, as a drive does.
//
// A volume's drive text is its mount point followed by its label in brackets, "/ [vda]", so
// that it can never be mistaken for a folder path: assigning it to the folder list opens the
// volume's current folder, assigning a folder path opens that folder.

#include <QString>
#include <vector>

class Volumes {
public:
    struct Volume {
        QString mountPoint;
        QString label;
        QString currentFolder;
        QString driveText() const;
    };

    static Volumes& shared();

    // Reads the system's mount table again; current folders of volumes still mounted are kept.
    void refresh();
    // Offers a volume that is not in the mount table; the tests use it for a volume that is
    // not ready (a mount point that does not exist).
    void addVolume(const QString& mountPoint, const QString& label);

    const std::vector<Volume>& volumes() const { return m_volumes; }
    // The volume named by a drive text, or -1.
    int indexOfDriveText(const QString& text) const;
    // The volume holding an absolute path (the longest mount point that is a prefix), or -1.
    int indexHolding(const QString& path) const;
    // The volume named by a drive text or holding a path, or -1.
    int indexOf(const QString& driveTextOrPath) const;
    bool isReady(int index) const;
    void rememberFolder(const QString& folder);

private:
    void load();
    std::vector<Volume> m_volumes;
    bool m_loaded = false;
};
