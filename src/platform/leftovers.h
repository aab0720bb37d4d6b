#pragma once

#include <QString>
#include <QStringList>
#include <sys/types.h>

// The temporary files this program writes beside a file before renaming them
// into place: ".NAME.part-PID", PID being the process that writes it (a copy
// to another drive, the settings file). A kill or a crash in the middle leaves
// one behind; once its process is gone, nobody will finish it.
namespace leftovers {

// The temporary name for a file named name, written by this process.
QString temporaryName(const QString& name);

// The process that writes a temporary of that name; 0 for any other name.
pid_t writerOf(const QString& fileName);

// Removes the temporaries in folder whose process is no longer running: only
// names of exactly that kind, only regular files. Never this process's own,
// even at start-up: a save of its own may be under way beside the sweep.
// Gives the names removed.
QStringList sweep(const QString& folder);

// sweep for each folder, and for the folders the files are in, on a worker
// left to finish on its own (a drive may hang).
void sweepAside(const QStringList& folders, const QStringList& files);

} // namespace leftovers
