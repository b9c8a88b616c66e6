#include "ui/FileOpener.h"

#include "core/text/FileNames.h"

#include <sys/wait.h>
#include <unistd.h>

void XdgOpener::open(const QString& file) {
    const QByteArray name = FileNames::encode(file);
    char opener[] = "xdg-open";
    char* const arguments[] = {opener, const_cast<char*>(name.constData()), nullptr};
    // Everything is prepared before the fork: the child only calls what is safe there.
    const pid_t child = fork();
    if (child == 0) {
        if (fork() == 0) {
            setsid();
            if (chdir("/") != 0)
                _exit(127);
            execvp(opener, arguments);
            _exit(127);
        }
        _exit(0);
    }
    if (child > 0) {
        int status = 0;
        waitpid(child, &status, 0);
    }
}
