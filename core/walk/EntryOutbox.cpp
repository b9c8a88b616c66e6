#include "core/walk/EntryOutbox.h"

#include <utility>

EntryOutbox::EntryOutbox(qsizetype limit, std::function<void()> tell)
    : m_limit(std::max<qsizetype>(1, limit)), m_tell(std::move(tell)) {}

bool EntryOutbox::put(QStringList entries) {
    std::unique_lock lock(m_mutex);
    if (m_stopped)
        return false;
    m_waiting.append(std::move(entries));
    if (!m_told) {
        m_told = true;
        m_tell();
    }
    if (m_waiting.size() < m_limit)
        return true;
    m_heldBack = true;
    m_tell();
    m_roomMade.wait(lock, [&] { return m_stopped || m_waiting.size() < m_limit; });
    m_heldBack = false;
    return !m_stopped;
}

void EntryOutbox::finish() {
    const std::lock_guard lock(m_mutex);
    if (m_stopped)
        return;
    m_done = true;
    m_tell();
}

void EntryOutbox::fail(const QString& description) {
    const std::lock_guard lock(m_mutex);
    if (m_stopped)
        return;
    m_failure = description;
    m_tell();
}

void EntryOutbox::stop() {
    QStringList dropped;
    {
        const std::lock_guard lock(m_mutex);
        m_stopped = true;
        dropped.swap(m_waiting);
    }
    m_roomMade.notify_all();
}

QStringList EntryOutbox::take() {
    QStringList entries;
    {
        const std::lock_guard lock(m_mutex);
        entries.swap(m_waiting);
        m_told = false;
        m_heldBack = false;
    }
    m_roomMade.notify_one();
    return entries;
}

bool EntryOutbox::isHeldBack() {
    const std::lock_guard lock(m_mutex);
    return m_heldBack;
}

EntryOutbox::Look EntryOutbox::look() {
    const std::lock_guard lock(m_mutex);
    return {!m_waiting.isEmpty(), m_done, m_failure};
}
