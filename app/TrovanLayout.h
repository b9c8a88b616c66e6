#pragma once

// The main window as designed: every control with its container, caption, geometry in twips,
// tab index and settings. Trovan::createControls builds the window from this and nothing else.

#include <QColor>
#include <QString>

namespace TrovanLayout {

struct Place {
    int left, top, width, height, tabIndex;
};

constexpr int ClientWidth = 6330;
constexpr int ClientHeight = 5220;
inline const QString WindowCaption = QStringLiteral("Trovan");
constexpr double FontPoints = 8.25; // "MS Sans Serif"; bold for the window, regular for controls

// In creation order. Containers: W the window, P1 Picture1 (options), P2 Picture2 (results).
constexpr Place Command3{5040, 4560, 1215, 495, 16};     // W
constexpr Place Picture2{5880, 120, 6255, 4215, 7};      // W, hidden
constexpr Place cmdopenfil{4320, 3840, 1815, 375, 22};   // P2
constexpr Place List1{4560, 120, 1575, 255, 14};         // P2, hidden, single selection
constexpr Place Command2{2040, 3840, 1815, 375, 12};     // P2
constexpr Place Command1{120, 3840, 1815, 375, 11};      // P2
constexpr Place lstFoundFiles{120, 360, 6015, 3375, 10}; // P2, extended selection
constexpr Place lblCount{1440, 120, 1095, 255, 9};       // P2
constexpr Place lblfound{120, 120, 1335, 255, 8};        // P2
constexpr Place Picture1{0, 120, 6255, 4215, 2};         // W, visible
constexpr Place chkextension{3840, 120, 1815, 255, 23};  // P1, set
constexpr Place chksubmapp{3840, 840, 1935, 255, 20};    // P1, clear
constexpr Place chkmapp{120, 840, 1335, 255, 19};        // P1, clear
constexpr Place txtSearchSpec{4800, 480, 975, 285, 18};  // P1
constexpr Place Check1{1680, 840, 1935, 255, 17};        // P1, set
constexpr Place drvList{120, 480, 4575, 315, 6};         // P1
constexpr Place dirList{120, 1200, 5895, 3015, 5};       // P1
constexpr Place filList{2160, 3600, 2775, 480, 4};       // P1, hidden
constexpr Place Label1{120, 120, 5415, 255, 13};         // P1, the window's bold font
constexpr Place lblCriteria{1560, 3360, 1335, 255, 3};   // P1, hidden
constexpr Place cmdSearch{120, 4560, 1200, 480, 0};      // W, default button
constexpr Place cmdExit{1440, 4560, 1200, 480, 1};       // W
constexpr Place lblmappnamn{2760, 4920, 1575, 255, 24};  // W, hidden
constexpr Place lblmapp{2760, 4560, 1575, 255, 21};      // W, hidden
constexpr Place Label2{120, 4440, 6135, 60, 15};         // W, separator bar

inline const QString Command3Caption = QStringLiteral("Om...");
inline const QString cmdopenfilCaption = QStringLiteral("Öppna markerad fil");
inline const QString Command2Caption = QStringLiteral("Spara lista i textfil");
inline const QString Command1Caption = QStringLiteral("Ta bort markerad");
inline const QString lblCountCaption = QStringLiteral("0");
inline const QString lblfoundCaption = QStringLiteral("Hittade:");
inline const QString chkextensionCaption = QStringLiteral("Inkl. filändelse");
inline const QString chksubmappCaption = QStringLiteral("Inkludera undermappar");
inline const QString chkmappCaption = QStringLiteral("Lista mappar");
inline const QString txtSearchSpecText = QStringLiteral("*.*");
inline const QString Check1Caption = QStringLiteral("Inkludera hel sökväg");
inline const QString filListPattern = QStringLiteral("*.aaa");
inline const QString Label1Caption = QStringLiteral("Välj enhet och mapp att söka igenom:");
inline const QString lblCriteriaCaption = QStringLiteral("Search &Criteria:");
inline const QString cmdSearchCaption = QStringLiteral("&Sök");
inline const QString cmdExitCaption = QStringLiteral("A&vsluta");

inline const QColor Picture2BackColor{255, 255, 128}; // light yellow
inline const QColor Picture1BackColor{192, 255, 192}; // light green
inline const QColor MainButtonBackColor{192, 192, 192};

} // namespace TrovanLayout
