#include "core/walk/ReadDepth.h"

#include <algorithm>

ReadDepth::ReadDepth(int cores) : m_cores(std::clamp(cores, 1, MaxDepth)) {}

// Deep when more than half of the last reads' time was spent in reads that slept, back at the
// cores when at most a quarter was; in between it stays as it is, so that it does not swing.
void ReadDepth::add(Read read) {
    read.nanoseconds = std::max<int64_t>(read.nanoseconds, 1);
    m_last[size_t(m_count++) % m_last.size()] = read;
    const auto known = m_last.begin() + std::min(m_count, int(m_last.size()));
    int64_t all = 0;
    int64_t sleeping = 0;
    std::for_each(m_last.begin(), known, [&](const Read& last) {
        all += last.nanoseconds;
        sleeping += last.slept ? last.nanoseconds : 0;
    });
    if (2 * sleeping > all)
        m_waitsOnDisk = true;
    else if (4 * sleeping <= all)
        m_waitsOnDisk = false;
}
