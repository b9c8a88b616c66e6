#pragma once

// Reads folders for the folder and file lists. A folder is read once, with the system's own
// calls (readdir with the entry type; a stat only where the type is unknown or a link must be
// resolved), and the listing is shared by both lists. A listing is kept while its folder is the
// current folder or one of its ancestors, and is used again only while the folder's own
// time stamps show no change: returning to a parent after a subfolder costs one stat, and a
// folder already checked since the event loop last ran costs none. A folder
// modified in the last moments may change again without its stamp moving; its listing serves
// only the lists that ask within a moment of the read, as a read made that moment earlier would.

#include <QHash>
#include <QString>
#include <memory>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

struct FolderListing {
    struct Subfolder {
        QString name;
        bool isLink = false; // a symbolic link to a folder, listed but never walked into
    };
    std::vector<Subfolder> subfolders; // sorted alphabetically, ignoring case
    std::vector<QString> files;        // regular files (and links to them), in reading order
};

class FolderCache {
public:
    static FolderCache& shared();

    // The listing of `path`, which must be an absolute, clean path. Throws RuntimeError when the
    // folder cannot be read.
    std::shared_ptr<const FolderListing> listing(const QString& path);

    // How many folders were read from disk so far; the tests use it to see that a folder is
    // not read twice.
    quint64 readCount() const { return m_readCount; }

    static QString join(const QString& folder, const QString& name);
    // Whether `path` itself is a symbolic link (not what it names).
    static bool isLink(const QString& path);
    static bool isHiddenName(const char* name) { return name[0] == '.'; }
    static bool lessIgnoringCase(const QString& a, const QString& b);

private:
    struct Stamp {
        dev_t device = 0;
        ino_t inode = 0;
        timespec modified{};
        timespec changed{};
        bool operator==(const Stamp& other) const;
    };
    struct Entry {
        Stamp stamp;
        std::shared_ptr<const FolderListing> listing;
        bool recentlyModified = false; // then kept only for a moment, see listing()
        qint64 readAtMs = 0;
        quint64 checkedInRound = 0;
    };

    std::shared_ptr<FolderListing> read(const QString& path, const QByteArray& encoded,
                                        Stamp& stamp) const;
    void forgetAllBut(const QString& path);
    void watchRounds();

    std::unordered_map<QString, Entry> m_entries;
    quint64 m_readCount = 0;
    quint64 m_round = 1;
    bool m_roundsTracked = false;
};
