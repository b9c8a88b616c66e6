#pragma once

// The main window as designed: each control's place in twips (left, top, width, height) within
// its container, and the texts it shows. MainWindow::createLayout builds the window from this.

#include "ui/Twips.h"

#include <QColor>
#include <QString>

namespace MainWindowLayout {

using Place = Twips::Place;

constexpr int ClientWidth = 6330;
constexpr int ClientHeight = 5220;
constexpr double FontPoints = 8.25; // bold for the window's heading, regular for the controls

// On the window.
constexpr Place optionPanel{0, 0, 6330, 4215};
constexpr Place resultPanel{0, 0, 6330, 4215};
constexpr Place searchButton{120, 4560, 1200, 480};
constexpr Place exitButton{1440, 4560, 1200, 480};
constexpr Place aboutButton{5040, 4560, 1215, 495};
constexpr Place separatorBar{120, 4440, 6135, 60};
// On the option panel.
constexpr Place heading{120, 120, 5415, 255};
constexpr Place keepExtensions{3840, 120, 1815, 255};
constexpr Place driveBox{120, 480, 4575, 315};
constexpr Place patternBox{4800, 480, 975, 285};
constexpr Place listFolders{120, 840, 1335, 255};
constexpr Place fullPaths{1680, 840, 1935, 255};
constexpr Place includeSubfolders{3840, 840, 1935, 255};
constexpr Place folderView{120, 1200, 5895, 3015};
// On the result panel.
constexpr Place foundLabel{120, 120, 1335, 255};
constexpr Place countLabel{1440, 120, 1095, 255};
constexpr Place resultList{120, 360, 6015, 3375};
constexpr Place removeMarkedButton{120, 3840, 1815, 375};
constexpr Place saveListButton{2040, 3840, 1815, 375};
constexpr Place openFileButton{4320, 3840, 1815, 375};

inline const QString WindowTitle = QStringLiteral("Trovan");
inline const QString HeadingText = QStringLiteral("Välj enhet och mapp att söka igenom:");
inline const QString KeepExtensionsText = QStringLiteral("Inkl. filändelse");
inline const QString IncludeSubfoldersText = QStringLiteral("Inkludera undermappar");
inline const QString ListFoldersText = QStringLiteral("Lista mappar");
inline const QString FullPathsText = QStringLiteral("Inkludera hel sökväg");
inline const QString DefaultPattern = QStringLiteral("*.*");
inline const QString FoundText = QStringLiteral("Hittade:");
inline const QString RemoveMarkedText = QStringLiteral("Ta bort markerad");
inline const QString SaveListText = QStringLiteral("Spara lista i textfil");
inline const QString OpenFileText = QStringLiteral("Öppna markerad fil");
inline const QString AboutText = QStringLiteral("Om...");
inline const QString SearchText = QStringLiteral("&Sök");
inline const QString NewSearchText = QStringLiteral("&Ny sökning");
inline const QString ExitText = QStringLiteral("A&vsluta");
inline const QString CancelText = QStringLiteral("Avbryt");

// The names a screen reader speaks for the controls whose text does not say what they are. On
// Linux a drop-down list is spoken by its label instead (the heading, its buddy) and by its
// value; its own name serves elsewhere.
inline const QString OptionPanelName = QStringLiteral("Sökalternativ");
inline const QString ResultPanelName = QStringLiteral("Resultat");
inline const QString PatternBoxName = QStringLiteral("Filnamnsmönster");
inline const QString DriveBoxName = QStringLiteral("Enhet");
inline const QString FolderViewName = QStringLiteral("Mapp att söka igenom");
inline const QString ResultListName = QStringLiteral("Sökresultat");
// The count is spoken with what it counts: "Hittade: 12".
inline QString countName(const QString& count) {
    return FoundText + u' ' + count.trimmed();
}

inline const QColor MainButtonColour{192, 192, 192};
// A fixed background takes a fixed text: a dark palette's light text would not stand out.
inline const QColor MainButtonTextColour{0, 0, 0};

} // namespace MainWindowLayout
