// The search and exit buttons and the states of the window around a search.

#include "app/Trovan.h"

#include "platform/App.h"
#include "platform/Desktop.h"
#include "platform/ResumeNext.h"

namespace {
const QString SearchCaption = QStringLiteral("&Sök");
const QString NewSearchCaption = QStringLiteral("&Ny sökning");
const QString ExitCaption = QStringLiteral("A&vsluta");
const QString CancelCaption = QStringLiteral("Avbryt");
} // namespace

void Trovan::cmdSearch_Click() {
    if (cmdSearch->Caption() == NewSearchCaption) {
        PrepareNewSearch();
        return;
    }
    // A press handled inside one of the walk's yields starts no second search inside it.
    if (cmdExit->Caption() == CancelCaption)
        return;
    // A highlighted folder that is not opened yet is opened, and the next press searches it.
    if (dirList->Path() != dirList->List(dirList->ListIndex())) {
        dirList->setPath(dirList->List(dirList->ListIndex()));
        return;
    }

    lblmapp->setCaption(dirList->Path());
    lblmappnamn->setCaption(Split(lblmapp->Caption(), QStringLiteral("/")).constLast());
    cmdopenfil->setEnabled(false);
    if (chkmapp->Value() == 0 && Check1->Value() != 0)
        cmdopenfil->setEnabled(true);
    Picture2->Move(0, 0);
    Picture1->setVisible(false);
    Picture2->setVisible(true);
    Screen::setMousePointer(Screen::BusyPointer);
    cmdExit->setCaption(CancelCaption);
    cmdExit->setCancel(true);
    filList->setPattern(txtSearchSpec->Text());

    WalkFolder(dirList->Path(), QString());

    // The walk may have stopped in a folder that is gone by now; the window leaves the search
    // state all the same.
    resumeNext([&] { filList->setPath(dirList->Path()); });
    cmdSearch->setCaption(NewSearchCaption);
    cmdSearch->SetFocus();
    cmdExit->setCancel(false);
    cmdExit->setCaption(ExitCaption);
    Screen::setMousePointer(Screen::DefaultPointer);
}

void Trovan::PrepareNewSearch() {
    resumeNext([&] { lstFoundFiles->Clear(); });
    resumeNext([&] { lblCount->setCaption(QString::number(0)); });
    m_searchActive = false;
    resumeNext([&] { Picture2->setVisible(false); });
    resumeNext([&] { cmdSearch->setCaption(SearchCaption); });
    resumeNext([&] { cmdExit->setCaption(ExitCaption); });
    resumeNext([&] { Picture1->setVisible(true); });
    resumeNext([&] { dirList->setPath(lblmapp->Caption()); });
    resumeNext([&] { drvList->setDrive(dirList->Path()); });
}

void Trovan::cmdExit_Click() {
    if (cmdExit->Caption() == ExitCaption) {
        if (MsgBox(QStringLiteral("Avsluta programmet?"), MsgBoxStyle::YesNoQuestion,
                   QStringLiteral("Avsluta?")) == MsgBoxResult::Yes) {
            Screen::setMousePointer(Screen::DefaultPointer);
            avsluta();
            End();
        }
        return;
    }
    cmdExit->setCancel(false);
    m_searchActive = false;
}
