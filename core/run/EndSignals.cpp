#include "core/run/EndSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int Caught[3] = {SIGTERM, SIGINT, SIGHUP};

// Written by the handler; a plain int, read there only, is all it may touch.
volatile sig_atomic_t pipeIn = -1;

void onSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = write(pipeIn, &number, 1);
    errno = saved;
}

} // namespace

EndSignals::EndSignals(QObject* parent) : QObject(parent) {
    if (pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    pipeIn = m_pipe[1];
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &EndSignals::readPipe);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) {
        sigaction(Caught[i], nullptr, &m_before[i]);
        // Ignored when started, as nohup leaves SIGHUP: ignored it stays.
        if (m_before[i].sa_handler != SIG_IGN)
            sigaction(Caught[i], &action, nullptr);
    }
}

EndSignals::~EndSignals() {
    if (m_pipe[0] < 0)
        return;
    for (int i = 0; i < 3; ++i)
        sigaction(Caught[i], &m_before[i], nullptr);
    pipeIn = -1;
    delete m_notifier;
    close(m_pipe[0]);
    close(m_pipe[1]);
}

void EndSignals::readPipe() {
    unsigned char numbers[16];
    const ssize_t got = read(m_pipe[0], numbers, sizeof numbers);
    if (got <= 0)
        return;
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    for (int i = 0; i < 3; ++i)
        if (m_before[i].sa_handler != SIG_IGN)
            sigaction(Caught[i], &fallback, nullptr);
    emit received(numbers[0]);
}
