#include "app/CommandLine.h"

#include <QDir>

CommandLine CommandLine::parse(const QStringList& arguments) {
    CommandLine parsed;
    const QString usage =
        QStringLiteral("Användning: trovan [MAPP]\n"
                       "Söker efter filer efter namn i MAPP och dess undermappar.\n"
                       "Utan MAPP, eller om den inte finns, öppnas mappen från förra sökningen.\n"
                       "\n"
                       "  --help     visa den här hjälpen och avsluta\n"
                       "  --version  visa versionen och avsluta\n");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            parsed.answer = usage;
            return parsed;
        }
        if (argument == QLatin1String("--version")) {
            parsed.answer = QStringLiteral("Trovan %1.%2\n")
                                .arg(TROVAN_VERSION_MAJOR)
                                .arg(TROVAN_VERSION_MINOR);
            return parsed;
        }
        if (argument.startsWith(u'-') && argument != QLatin1String("-")) {
            parsed.answer = QStringLiteral("trovan: okänd flagga: %1\n").arg(argument) + usage;
            parsed.exitCode = 2;
            return parsed;
        }
        if (parsed.folder.isEmpty())
            parsed.folder = QDir::cleanPath(QDir::current().absoluteFilePath(argument));
    }
    return parsed;
}
