#pragma once

// The endings that come from outside the window: SIGTERM, SIGINT and SIGHUP leave as the close
// box does (the windows go, setup.ini keeps the last searched folder), also while a box is up
// or a search runs. The session manager's request to save, at logout or at a checkpoint, keeps
// the folder at once, as leaving would; the program then ends when the session tells it to,
// through its close box, as Qt closes every window then. Nothing else is done for a session:
// the program is not started again with it.

class MainWindow;

// Lasts as long as the window.
void followEndings(MainWindow& window);
