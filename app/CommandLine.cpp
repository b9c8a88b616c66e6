#include "app/CommandLine.h"

#include "core/text/FileNames.h"

#include <QDir>
#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace {

const QString Usage = QStringLiteral(
    "Användning: trovan [MAPP]\n"
    "Söker efter filer efter namn i MAPP och dess undermappar.\n"
    "Utan MAPP, eller om den inte kan öppnas, öppnas mappen från förra sökningen.\n"
    "\n"
    "  --help     visa den här hjälpen och avsluta\n"
    "  --version  visa versionen och avsluta\n"
    "  --         det som följer är en mapp, även om det börjar med -\n"
    "Qt:s egna flaggor tas också emot: -style NAMN, -platform NAMN, -display X, ...\n");

// The options QApplication and its platforms take (Qt 6), as Qt spells them, with one "-",
// though Qt also takes them with two: those followed by a value, those alone, and those joined
// to their value by "=".
const QList<QByteArray> ToolkitOptionsWithValue =
    QByteArray("-platform -platformpluginpath -platformtheme -plugin -qwindowgeometry -geometry "
               "-qwindowtitle -title -qwindowicon -icon -session -style -stylesheet -display "
               "-name -visual")
        .split(' ');
const QList<QByteArray> ToolkitOptionsAlone =
    QByteArray("-reverse -testability -widgetcount -nograb -dograb").split(' ');
const QList<QByteArray> ToolkitOptionsJoined =
    QByteArray("-style= -stylesheet= -qmljsdebugger=").split(' ');

QString shown(const QByteArray& argument) {
    return FileNames::decode(std::string_view(argument.constData(), size_t(argument.size())));
}

// Relative to the folder the program was started in, byte for byte.
QString absoluteFolder(const QByteArray& argument) {
    QByteArray path = argument;
    if (!path.startsWith('/')) {
        if (char* current = getcwd(nullptr, 0)) {
            path = QByteArray(current) + '/' + path;
            std::free(current);
        }
    }
    return QDir::cleanPath(shown(path));
}

} // namespace

CommandLine CommandLine::parse(const QList<QByteArray>& arguments) {
    CommandLine parsed;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QByteArray& argument = arguments[i];
        const bool isOption = !optionsEnded && argument.startsWith('-') && argument != "-";
        if (!isOption) {
            if (!parsed.folder.isEmpty()) {
                parsed.complaint =
                    QStringLiteral("trovan: för många mappar: %1\n").arg(shown(argument)) + Usage;
                parsed.exitCode = 2;
                return parsed;
            }
            parsed.folder = absoluteFolder(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            parsed.answer = Usage;
            return parsed;
        }
        if (argument == "--version") {
            parsed.answer = QStringLiteral("Trovan %1.%2\n")
                                .arg(TROVAN_VERSION_MAJOR)
                                .arg(TROVAN_VERSION_MINOR);
            return parsed;
        }
        const QByteArray name = argument.startsWith("--") ? argument.mid(1) : argument;
        if (ToolkitOptionsWithValue.contains(name)) {
            if (i + 1 == arguments.size()) {
                parsed.complaint =
                    QStringLiteral("trovan: flaggan %1 behöver ett värde\n").arg(shown(argument)) +
                    Usage;
                parsed.exitCode = 2;
                return parsed;
            }
            parsed.toolkitOptions << argument << arguments[++i];
            continue;
        }
        const auto joins = [&](const QByteArray& prefix) { return name.startsWith(prefix); };
        if (ToolkitOptionsAlone.contains(name) ||
            std::any_of(ToolkitOptionsJoined.begin(), ToolkitOptionsJoined.end(), joins)) {
            parsed.toolkitOptions << argument;
            continue;
        }
        parsed.complaint =
            QStringLiteral("trovan: okänd flagga: %1\n").arg(shown(argument)) + Usage;
        parsed.exitCode = 2;
        return parsed;
    }
    return parsed;
}
