#pragma once

// The about window as designed: every control with its caption, geometry in twips and tab
// index. frmom::createControls builds the window from this and nothing else.

#include <QString>

namespace frmomLayout {

struct Place {
    int left, top, width, height, tabIndex;
};

constexpr int ClientWidth = 6360;
constexpr int ClientHeight = 2955;
inline const QString WindowCaption = QStringLiteral("Om...");
constexpr double FontPoints = 8.25;     // "MS Sans Serif", regular: the window's default
constexpr double Label1FontPoints = 48; // "Arial", regular

// In creation order; where they overlap, an earlier control lies above a later one.
constexpr Place Command1{5520, 2520, 735, 375, 2}; // default and cancel button
constexpr Place Label4{120, 2400, 6135, 60, 5};    // separator bar
constexpr Place lblversion{5640, 1680, 615, 255, 4};
constexpr Place Label3{120, 2040, 6135, 60, 3};   // separator bar
constexpr Place Label2{120, 2160, 6015, 255, 1};  // credit line, centred
constexpr Place Label1{120, 1080, 6135, 1095, 0}; // the name, centred
constexpr Place Image1{120, 0, 6060, 1170, -1};   // the picture at its own size; no tab stop

inline const QString Command1Caption = QStringLiteral("&OK");
inline const QString lblversionCaption = QStringLiteral("v1.0"); // replaced before showing
inline const QString Label2Caption = QStringLiteral("Copyright © 2003 Trovan");
inline const QString Label1Caption = QStringLiteral("Trovan");
inline const QString Image1Picture = QStringLiteral(":/trovan/about.gif");

} // namespace frmomLayout
