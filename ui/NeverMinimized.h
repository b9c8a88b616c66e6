#pragma once

// The program's windows ask for no minimize button, as they never had one, but a window
// manager may offer it all the same (openbox does on every window, and minimizes a dialog
// together with the window it belongs to, which leaves an empty screen). A window of the
// program that is minimized anyway is shown again at once; the window manager brings the
// windows it belongs with back with it.

class QApplication;

namespace NeverMinimized {
void install(QApplication& application);
} // namespace NeverMinimized
