#pragma once

// The kept folders at one moment, by the hash of each folder's path (PathHash), each with the
// number of the search that last used it. Made by the keeper and never changed after it is
// handed out: any number of reading threads look into it without a lock. A hash that two paths
// share finds a folder whose stamp (its device, inode and mount) cannot match the other's, so
// a wrong find is never used.

#include "core/folders/KeptFolder.h"
#include "core/folders/KeptRecord.h"

#include <cstdint>
#include <memory>
#include <unordered_map>

struct KeptSnapshot {
    struct Slot {
        std::shared_ptr<const KeptFolder> folder;
        uint64_t lastUse = 0; // the number of the last search that used or read it
    };
    std::unordered_map<uint64_t, Slot> folders;
    uint64_t searches = 0; // searches kept from so far: the next one's number is this plus one
    size_t bytes = 0;      // what the folders cost in memory (KeptFolder::memoryUse)
    int64_t newestRead = 0;

    // Made once the folders are all in, before it is handed out: what find() looks into.
    void index();
    // The folder kept under `pathHash`; none when there is none. It lives as long as the
    // snapshot does.
    const KeptFolder* find(uint64_t pathHash) const {
        if (m_index.empty())
            return nullptr;
        for (size_t at = size_t(pathHash) & (m_index.size() - 1);;
             at = (at + 1) & (m_index.size() - 1)) {
            const Indexed& entry = m_index[at];
            if (entry.hash == pathHash && entry.folder)
                return entry.folder;
            if (!entry.folder)
                return nullptr;
        }
    }

private:
    // A table open to every thread at once: one or two cache lines a look, against a node, a
    // bucket and the folder for the map's.
    struct Indexed {
        uint64_t hash = 0;
        const KeptFolder* folder = nullptr;
    };
    std::vector<Indexed> m_index; // a power of two, at most half full
};

// What one search hands back to be kept: the folders it read, each as read; the kept folders
// it used as they were; and those it found changed and could not read again.
struct KeptHarvest {
    std::vector<std::pair<uint64_t, KeptRecord>> read; // made into kept folders by the keeper
    std::shared_ptr<KeptBlocks> blocks;                // what the records lie in
    std::vector<uint64_t> used;
    std::vector<uint64_t> gone;
};
