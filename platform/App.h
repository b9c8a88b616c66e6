#pragma once

// The program's own folder and version, the yield to pending events and the application-wide
// mouse pointer.

#include <QString>

namespace App {
// The folder that holds the program's executable.
QString Path();
// Lets the tests put the program in a temporary folder of their own.
void setPathForTesting(const QString& folder);
int Major();
int Minor();
// Handles every pending user-interface event before returning.
void DoEvents();
} // namespace App

namespace Screen {
constexpr int DefaultPointer = 0;
constexpr int BusyPointer = 13; // arrow with hourglass
int MousePointer();
void setMousePointer(int pointer);
} // namespace Screen
