#pragma once

#include <QByteArrayList>
#include <QStringList>

// What the command line (or a later copy) names: the files to add, in their
// order, as absolute paths, and the names that cannot be kept exactly (not
// valid UTF-8), as shown to the user, which are left out.
struct NamedFiles {
    QStringList files;
    QStringList refused;
    bool isEmpty() const { return files.isEmpty() && refused.isEmpty(); }
};

// The arguments as the system gave them, in bytes: a folder stands for the
// audio files in it, in name order, rather than for an entry of its own.
// Other arguments that name nothing on disk are kept, so that adding them
// reports them as a drop does. Names are taken from the bytes, never from a
// decoding of them that could name another file.
NamedFiles commandLineFiles(const QByteArrayList& arguments, const QByteArray& workingFolder);

// The audio files of one folder, by name, as absolute paths; names that are
// not valid UTF-8 go to refused.
void addFolderFiles(const QString& folder, NamedFiles& into);
