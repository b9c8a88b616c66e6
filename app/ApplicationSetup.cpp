#include "app/ApplicationSetup.h"

#include "ui/Fonts.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// Every size the icon is drawn in (tools/make_icon), so that the windows' icon is drawn from the
// nearest one at any scale instead of blown up from a small one.
QIcon programIcon() {
    QIcon icon;
    const QDir pictures(QStringLiteral(":/trovan/icons"));
    for (const QString& name : pictures.entryList({QStringLiteral("*.png")}, QDir::Files))
        icon.addFile(pictures.filePath(name));
    return icon;
}

// Qt's own texts, such as a text field's context menu, in Swedish like the rest of the
// window; from qt6-translations-l10n, and in English where that is not installed.
void installQtTranslation() {
    auto* translator = new QTranslator(qApp);
    if (translator->load(QLocale(QLocale::Swedish), QStringLiteral("qt"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace

void setUpApplication() {
    QApplication::setApplicationName(QStringLiteral("Trovan"));
    QApplication::setApplicationVersion(QStringLiteral("1.01"));
    // The desktop entry's name: on Wayland the window's application id, by which the desktop
    // finds the entry's name and icon.
    QApplication::setDesktopFileName(QStringLiteral("trovan"));
    QApplication::setWindowIcon(programIcon());
    installQtTranslation();
    Fonts::installSubstitutes();
    QApplication::setFont(Fonts::sansSerif(8.25)); // message boxes too
}
