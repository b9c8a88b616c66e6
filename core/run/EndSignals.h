#pragma once

// SIGTERM, SIGINT and SIGHUP (a logout, `kill`, a closed terminal) handed to the thread that
// made this object as a Qt signal, from its event loop, also a modal box's: the handler only
// writes the signal's number into a pipe, which a socket notifier reads. After the first, the
// three signals take their default action again, so that a second one ends the program at once
// should the first one's ending hang (a share that stopped answering). A signal ignored when
// the program started (SIGHUP under nohup) stays ignored. Destroyed, it puts back what was
// there before. One at a time; what to do on the signal is the receiver's.

#include <QObject>
#include <csignal>

class QSocketNotifier;

class EndSignals : public QObject {
    Q_OBJECT
public:
    explicit EndSignals(QObject* parent = nullptr);
    ~EndSignals() override;

signals:
    void received(int signal);

private:
    void readPipe();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    struct sigaction m_before[3] = {};
};
