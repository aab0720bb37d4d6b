#pragma once

class QWidget;

// SIGTERM, SIGINT and SIGHUP close the window as the window manager would, so
// the program saves and ends the same way. The signal handler only writes to a
// socket; the closing runs on the GUI thread.
void closeOnTerminationSignals(QWidget& window);
