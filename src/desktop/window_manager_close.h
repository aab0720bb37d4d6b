#pragma once

class QWidget;

// Qt drops the window manager's close request (WM_DELETE_WINDOW) for a window
// that a modal box blocks, so clicking the main window's close button while,
// say, the Trash-failure box is up would do nothing. This watches the X
// connection for that request and closes the window as a termination signal
// does: one save of the state as it is, then the program ends. Without X (the
// offscreen platform, Wayland) it does nothing.
void closeEvenWhenBlocked(QWidget& window);
