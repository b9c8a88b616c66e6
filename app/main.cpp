#include "app/ApplicationSetup.h"
#include "app/CommandLine.h"
#include "app/Endings.h"
#include "core/folders/MountTable.h"
#include "core/text/FileNames.h"
#include "core/text/SystemError.h"
#include "core/threads/ReadGate.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// False when the text could not be written whole (a full disk, a closed output).
bool print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = FileNames::encode(text);
    const size_t written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    return std::fflush(stream) == 0 && written == size_t(bytes.size());
}

// Why a folder asked for cannot be shown; the window then shows the saved one, as ever. Looked
// at on a thread of its own: a folder on a share that stopped answering must not hold the
// window back, and the program may end before the answer comes.
void reportIfUnreadable(const QString& folder) {
    std::thread([folder] {
        const QByteArray path = FileNames::encode(folder);
        const ReadPass pass(
            MountTable::read().placeOf(std::string_view(path.constData(), size_t(path.size()))),
            [] { return false; });
        const int fd = open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            close(fd);
            return;
        }
        const SystemError error = SystemError::fromErrno(errno, folder);
        print(stderr,
              QStringLiteral("trovan: kan inte öppna mappen: ") + error.description + u'\n');
    }).detach();
}

// Qt's messages while the application object is made: kept back, since a display that cannot
// be opened makes Qt explain itself in several English lines and then abort, leaving a core
// dump. That ends here instead, with one Swedish line and status 1; the others are handed on
// once the window's platform is up.
struct HeldMessage {
    QtMsgType type;
    QByteArray category, file, function;
    int line;
    QString text;
};
QList<HeldMessage>* heldMessages = nullptr;
QString noDisplayLine;

void holdMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        print(stderr, noDisplayLine);
        _exit(1);
    }
    heldMessages->append(
        {type, context.category, context.file, context.function, context.line, text});
}

// Which display was asked for, as far as the environment and Qt's options tell.
QString noDisplayText(const QList<QByteArray>& toolkitOptions) {
    QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    QString display = qEnvironmentVariable("DISPLAY");
    for (qsizetype i = 0; i + 1 < toolkitOptions.size(); ++i) {
        const QByteArray name =
            toolkitOptions[i].startsWith("--") ? toolkitOptions[i].mid(1) : toolkitOptions[i];
        if (name == "-platform")
            platform = QString::fromLocal8Bit(toolkitOptions[i + 1]);
        else if (name == "-display")
            display = QString::fromLocal8Bit(toolkitOptions[i + 1]);
    }
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (platform.isEmpty() && display.isEmpty() && wayland.isEmpty())
        return QStringLiteral("trovan: ingen skärm att visa fönstret på (varken DISPLAY eller "
                              "WAYLAND_DISPLAY är satt)\n");
    QStringList asked;
    if (!platform.isEmpty())
        asked << QStringLiteral("plattform ") + platform;
    if (!display.isEmpty())
        asked << QStringLiteral("DISPLAY=") + display;
    if (!wayland.isEmpty())
        asked << QStringLiteral("WAYLAND_DISPLAY=") + wayland;
    return QStringLiteral("trovan: skärmen kan inte öppnas (%1)\n").arg(asked.join(u", "));
}

} // namespace

int main(int argc, char* argv[]) {
    QList<QByteArray> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    const CommandLine commandLine = CommandLine::parse(arguments);
    if (!commandLine.complaint.isEmpty()) {
        print(stderr, commandLine.complaint);
        return commandLine.exitCode;
    }
    if (!commandLine.answer.isEmpty()) {
        if (print(stdout, commandLine.answer))
            return 0;
        const int error = errno;
        print(stderr, QStringLiteral("trovan: kan inte skriva svaret: ") +
                          SystemError::fromErrno(error).description + u'\n');
        return 1;
    }
    if (!commandLine.folder.isEmpty())
        reportIfUnreadable(commandLine.folder);

    // Qt sees only its own options: a folder named like one of them stays a folder.
    std::vector<QByteArray> toolkitArguments{arguments.value(0)};
    toolkitArguments.insert(toolkitArguments.end(), commandLine.toolkitOptions.begin(),
                            commandLine.toolkitOptions.end());
    std::vector<char*> toolkitArgv;
    for (QByteArray& argument : toolkitArguments)
        toolkitArgv.push_back(argument.data());
    toolkitArgv.push_back(nullptr);
    int toolkitArgc = int(toolkitArguments.size());

    int status = 0;
    {
        noDisplayLine = noDisplayText(commandLine.toolkitOptions);
        QList<HeldMessage> held;
        heldMessages = &held;
        const QtMessageHandler before = qInstallMessageHandler(holdMessage);
        QApplication application(toolkitArgc, toolkitArgv.data());
        qInstallMessageHandler(before);
        heldMessages = nullptr;
        for (const HeldMessage& message : held)
            qt_message_output(message.type,
                              QMessageLogContext(message.file.constData(), message.line,
                                                 message.function.constData(),
                                                 message.category.constData()),
                              message.text);
        setUpApplication();
        MainWindow window;
        followEndings(window);
        window.load(commandLine.folder);
        window.show();
        status = application.exec();
        // Leaving took every window from the screen; closing the display here makes sure.
    }
    // A search or a folder read may still be held in the file system (a network share that
    // stopped answering): end here without waiting for those threads.
    std::fflush(nullptr);
    _exit(status);
}
