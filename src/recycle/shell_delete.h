#pragma once

#include <QString>

class Dialogs;

// The one place that removes a file from disk. Mode 1 moves it to the
// freedesktop Trash (recoverable, no question asked); a file is never deleted
// for good in mode 1: where no Trash can take it, it stays and the user is
// told. Any other mode asks first, then deletes for good. Failures are shown
// in a box naming the file, as is a GIO that cannot be loaded. True when the
// file was moved or deleted.
bool ShellDelete(const QString& path, int mode, Dialogs& dialogs);
// The same with GIO looked for under another name: for tests.
bool ShellDelete(const QString& path, int mode, Dialogs& dialogs, const char* gioLibraryName);
// Mode 1 without the box, safe on any thread: empty when the file went to the
// Trash, else the text the box would show.
QString trashFailure(const QString& path, const char* gioLibraryName);
