#include "support/FakeDesktop.h"

int FakeDesktop::messageBox(const QString& prompt, int style, const QString& title) {
    boxes.push_back({prompt, style, title});
    if (whileOpen)
        whileOpen(boxes.back());
    if (style != MsgBoxStyle::YesNoQuestion)
        return MsgBoxResult::Ok;
    if (answers.empty())
        return MsgBoxResult::No;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeDesktop::shellOpen(const QString& file, const QString& workingFolder) {
    if (openFails)
        throw *openFails;
    opened.push_back({file, workingFolder});
}
