// Saving the result list to lista.txt beside the program, which is then opened.

#include "app/Trovan.h"

#include "platform/Desktop.h"
#include "platform/FileChannel.h"
#include "platform/ResumeNext.h"

namespace {
const QString ListFile = QStringLiteral("lista.txt");
const QString OpenerFolder = QStringLiteral("/");
constexpr int FileNumber = 1;
} // namespace

void Trovan::Command2_Click() {
    try {
        FileChannel::OpenForOutput(FileNumber, programFile(ListFile));
        const int lastIndex = lstFoundFiles->ListCount() - 1;
        for (int i = 0; i <= lastIndex; ++i)
            FileChannel::PrintLine(FileNumber, lstFoundFiles->List(i));
        FileChannel::Close(FileNumber);
        MsgBox(QStringLiteral("Fil sparad:\r\n") + programFile(ListFile).toLower(),
               MsgBoxStyle::OkOnly, QStringLiteral("Fil sparad"));
        ShellExecute(programFile(ListFile), OpenerFolder);
    } catch (const RuntimeError& error) {
        // Closed here too, so that a later save and the settings file at exit still work.
        resumeNext([] { FileChannel::Close(FileNumber); });
        MsgBox(error.description(), MsgBoxStyle::Exclamation);
    }
}
