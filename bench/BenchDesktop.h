#pragma once

// The desktop of the benchmark: message boxes are answered at once (No to a question, OK
// otherwise) and the time of the first one is noted, which is when the search reported the
// full result list; nothing is opened and the process is never ended from inside the program,
// so that the benchmark can report its figures after any search.

#include "platform/Desktop.h"

#include <QElapsedTimer>
#include <QString>

class BenchDesktop : public Desktop {
public:
    explicit BenchDesktop(const QElapsedTimer& clock) : m_clock(clock) {}

    int messageBox(const QString& prompt, int style, const QString& title) override;
    void shellOpen(const QString&, const QString&) override {}
    void endProgram() override { ++m_ends; }

    // Nanoseconds on the clock when the first message box came up; -1 when none did.
    qint64 firstBoxAt() const { return m_firstBoxAt; }
    const QString& firstPrompt() const { return m_firstPrompt; }
    int ends() const { return m_ends; }

private:
    const QElapsedTimer& m_clock;
    qint64 m_firstBoxAt = -1;
    QString m_firstPrompt;
    int m_ends = 0;
};
