#include "core/kept/KeptSnapshot.h"

#include <bit>

void KeptSnapshot::index() {
    m_index.assign(std::bit_ceil(std::max<size_t>(16, folders.size() * 2)), Indexed{});
    const size_t mask = m_index.size() - 1;
    for (const auto& [hash, slot] : folders) {
        size_t at = size_t(hash) & mask;
        while (m_index[at].folder)
            at = (at + 1) & mask;
        m_index[at] = {hash, slot.folder.get()};
    }
}
