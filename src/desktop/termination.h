#pragma once

class QWidget;

// SIGTERM, SIGINT and SIGHUP close the window as the window manager would, so
// the program saves and ends the same way. The signal handler only writes to a
// socket; the closing runs on the GUI thread.
void closeOnTerminationSignals(QWidget& window);

// Ends the program once the window has unloaded: leaves the main loop, or, from
// inside a dialog's loop or before the main loop runs, ends the process at once.
void endProgramAfterUnload(bool mainLoopRunning);
