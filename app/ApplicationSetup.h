#pragma once

// What the program sets up in its application object before the main window is made: its name,
// its version string, its desktop entry's name, the windows' icon, Qt's own texts in Swedish,
// and the stand-ins for the designed fonts. The benchmark and the tests set up the same way, so
// that they measure and see what the program does.

void setUpApplication();
