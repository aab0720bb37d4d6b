#pragma once

#include <thread>

// Reads the font configuration on a worker thread while Qt connects to the
// display. The window's first text needs it, and reading it (fontconfig parses
// its XML files) is the largest single step before the window appears; it
// would otherwise run on the GUI thread after the connection. Fontconfig
// makes one configuration per process, once, for whichever thread asks first:
// Qt's own request then finds it made. Start it first thing in main.
class FontConfigPreload {
  public:
    FontConfigPreload();

  private:
    std::jthread worker_; // joined when main ends, also when it ends early
};
