// Start-up, the saved folder and exit: the window's load and unload, and `avsluta`.

#include "app/Trovan.h"

#include "platform/Desktop.h"
#include "platform/FileChannel.h"
#include "platform/ResumeNext.h"

namespace {
const QString SettingsFile = QStringLiteral("setup.ini");
constexpr int FileNumber = 1;
} // namespace

void Trovan::Form_Load() {
    Picture2->Move(0, 0);
    Picture2->setWidth(ScaleWidth());
    Picture2->setBackColor(BackColor());
    lblCount->setBackColor(BackColor());
    lblCriteria->setBackColor(BackColor());
    lblfound->setBackColor(BackColor());
    Picture1->Move(0, 0);
    Picture1->setWidth(ScaleWidth());
    Picture1->setBackColor(BackColor());

    // The whole first line is the folder: a path holding a comma comes back whole.
    QString savedFolder;
    resumeNext([&] { FileChannel::OpenForInput(FileNumber, programFile(SettingsFile)); });
    resumeNext([&] { savedFolder = FileChannel::LineInput(FileNumber); });
    resumeNext([&] { drvList->setDrive(savedFolder); });
    resumeNext([&] { dirList->setPath(savedFolder); });
    resumeNext([&] { FileChannel::Close(FileNumber); });
}

void Trovan::avsluta() {
    resumeNext([&] { FileChannel::OpenForOutput(FileNumber, programFile(SettingsFile)); });
    resumeNext([&] { FileChannel::PrintLine(FileNumber, lblmapp->Caption()); });
    resumeNext([&] { FileChannel::Close(FileNumber); });
}

void Trovan::Form_Unload() {
    avsluta();
    End();
}
