// The folder selection panel: the drive list, folder list, file list and pattern box kept in
// step with each other.

#include "app/Trovan.h"

#include "platform/RuntimeError.h"

void Trovan::DrvList_Change() {
    try {
        dirList->setPath(drvList->Drive());
    } catch (const RuntimeError&) {
        // A drive that is not ready: show the drive of the folder that is still current.
        drvList->setDrive(dirList->Path());
    }
}

void Trovan::DirList_Change() {
    filList->setPath(dirList->Path());
}

void Trovan::DirList_LostFocus() {
    dirList->setPath(dirList->List(dirList->ListIndex()));
}

void Trovan::txtSearchSpec_Change() {
    filList->setPattern(txtSearchSpec->Text());
}

void Trovan::txtSearchSpec_GotFocus() {
    txtSearchSpec->setSelStart(0);
    txtSearchSpec->setSelLength(int(txtSearchSpec->Text().size()));
}

void Trovan::chkmapp_Click() {}
