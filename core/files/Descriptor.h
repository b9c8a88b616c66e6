#pragma once

// An open file descriptor, closed with its owner; moved, never copied.

#include <unistd.h>
#include <utility>

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (m_fd >= 0)
            close(m_fd);
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Hands the descriptor on: it is no longer closed here.
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};
