#include "platform/SystemDesktop.h"

#include "platform/FileNames.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

int SystemDesktop::messageBox(const QString& prompt, int style, const QString& title) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? QStringLiteral("Trovan") : title);
    QString text = prompt;
    box.setText(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box.setTextFormat(Qt::PlainText);
    if (style == MsgBoxStyle::YesNoQuestion) {
        box.setIcon(QMessageBox::Question);
        QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("&Nej"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? MsgBoxResult::Yes : MsgBoxResult::No;
    }
    box.setIcon(style == MsgBoxStyle::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return MsgBoxResult::Ok;
}

// Started detached through a double fork, so that the program never waits for the opener and
// leaves no zombie behind. The name is passed as its own bytes, not through a narrower encoding.
void SystemDesktop::shellOpen(const QString& file, const QString& workingFolder) {
    const QByteArray fileBytes = FileNames::encode(file);
    const QByteArray folderBytes = FileNames::encode(workingFolder);
    char opener[] = "xdg-open";
    char* const argv[] = {opener, const_cast<char*>(fileBytes.constData()), nullptr};
    const pid_t child = fork();
    if (child == 0) {
        if (fork() == 0) {
            setsid();
            if (chdir(folderBytes.constData()) != 0)
                _exit(127);
            execvp(opener, argv);
            _exit(127);
        }
        _exit(0);
    }
    if (child > 0) {
        int status = 0;
        waitpid(child, &status, 0);
    }
}

void SystemDesktop::endProgram() {
    std::fflush(nullptr);
    _exit(0);
}
