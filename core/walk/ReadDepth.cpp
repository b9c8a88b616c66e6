#include "core/walk/ReadDepth.h"

#include <algorithm>

ReadDepth::ReadDepth(int cores) : m_cores(std::clamp(cores, 1, MaxDepth)) {}

// Deep when most of the last reads slept, back at the cores when at most a quarter did; in
// between it stays as it is, so that a few reads of either kind do not make it swing.
void ReadDepth::add(bool slept) {
    m_slept[size_t(m_count++) % m_slept.size()] = slept;
    const int known = std::min(m_count, int(m_slept.size()));
    const int sleeping = int(std::count(m_slept.begin(), m_slept.begin() + known, true));
    if (2 * sleeping > known)
        m_waitsOnDisk = true;
    else if (4 * sleeping <= known)
        m_waitsOnDisk = false;
}
