#include "bench/BenchDesktop.h"

int BenchDesktop::messageBox(const QString& prompt, int style, const QString&) {
    if (m_firstBoxAt < 0) {
        m_firstBoxAt = m_clock.nsecsElapsed();
        m_firstPrompt = prompt;
    }
    return style == MsgBoxStyle::YesNoQuestion ? MsgBoxResult::No : MsgBoxResult::Ok;
}
