#pragma once

#include "engine/audio_engine.h"

#include <QString>
#include <functional>
#include <memory>

class Dialogs;
class FilePicker;
class SettingsStore;

// What the window takes from its platform: the real parts in the program, and
// fakes in tests only where a real part would block (modal boxes, the sound card).
struct Platform {
    std::unique_ptr<AudioEngine> engine;
    Dialogs& dialogs;
    SettingsStore& settings;
    FilePicker& filePicker;
    // The folder that holds the program; resource files are found beside it.
    QString programFolder;
    // Ends the program once the window has unloaded.
    std::function<void()> endProgram;
    // Shows a folder in the desktop's file manager; false when no program could open it.
    std::function<bool(const QString& folder)> showFolder;
    // The history of decisions and files heard; none is kept when empty.
    QString historyFile = {};
};
