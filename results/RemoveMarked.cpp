// Removing the marked entries of the result list.

#include "app/Trovan.h"

#include "platform/Desktop.h"
#include "platform/RuntimeError.h"

void Trovan::Command1_Click() {
    try {
        if (lstFoundFiles->ListIndex() == -1)
            return;
        if (lstFoundFiles->Text().isEmpty())
            return;
        // The indices of the marked entries, lowest first, in the hidden list.
        const int count = lstFoundFiles->ListCount();
        for (int i = 1; i <= count; ++i) {
            if (lstFoundFiles->Selected(i - 1))
                List1->AddItem(QString::number(i - 1));
        }
        if (List1->ListCount() == 0)
            return;
        // Highest index first, so that every recorded index still names its entry.
        const int marked = List1->ListCount();
        for (int j = marked; j >= 1; --j)
            lstFoundFiles->RemoveItem(List1->List(j - 1).toInt());
        List1->Clear();
    } catch (const RuntimeError& error) {
        List1->Clear(); // no stale index is left for the next removal
        MsgBox(error.description(), MsgBoxStyle::Exclamation);
    }
}
