// Opening the current result entry in its associated program.

#include "app/Trovan.h"

#include "platform/Desktop.h"
#include "platform/RuntimeError.h"

void Trovan::cmdopenfil_Click() {
    try {
        const int current = lstFoundFiles->ListIndex();
        if (current == -1)
            return; // no current entry: nothing to open
        ShellExecute(lstFoundFiles->List(current), QStringLiteral("/"));
    } catch (const RuntimeError& error) {
        MsgBox(QStringLiteral("Ett fel uppstod!\r\n") + QString::number(error.number()) +
                   QStringLiteral(" - ") + error.description(),
               MsgBoxStyle::Exclamation);
    }
}
