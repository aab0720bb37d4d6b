#pragma once

#include "platform/file_identity.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class Dialogs;

// One file this session sent to the Trash, and where it went there.
struct TrashedFile {
    QString originalPath;
    QString trashedPath;  // <trash>/files/<name>
    QString infoPath;     // <trash>/info/<name>.trashinfo
    int entryNumber = 0;  // the list position its entry had, from 1
    FileIdentity inTrash; // the file as it lay in the Trash when it got there
};

// The freedesktop Trash as undo needs it. GIO does not say where it put a
// file, so the Trash folders it may have used (the home Trash, and the
// .Trash/$uid or .Trash-$uid of the file's own mount) are looked at before
// and after: the new info file whose Path is the file's is the one.
namespace trash {

// The Trash folders a file at path may go to, most likely first.
QStringList candidateFolders(const QString& path);

// Before a file goes: in each of those folders, the name GIO will give it
// there (the first of name, name.2, … whose info file does not exist yet).
struct Expected {
    QStringList folders;
    QStringList infoFiles; // one a folder
};
Expected expectedNames(const QString& path);

// Where path went: the expected info file if it now records path, otherwise
// the newest info file of those folders that does (a name taken meanwhile).
std::optional<TrashedFile> findTrashed(const QString& path, const Expected& expected);

// Moves the file back to its original path and removes its info file. Never
// replaces anything: when the path is taken again, its folder is gone or the
// Trash no longer holds that very file (its info file records another path,
// or another file lies under its name there), nothing moves and the reason is
// returned.
// Returns an empty string on success.
QString restore(const TrashedFile& file);

} // namespace trash

// The deletes of this session that can still be taken back, newest last.
class TrashUndo {
  public:
    // Sends path to the Trash as ShellDelete does (mode 1), and keeps track
    // of where it went. True when the file was moved.
    bool trash(const QString& path, Dialogs& dialogs);
    bool empty() const { return done_.empty(); }
    size_t size() const { return done_.size(); }
    TrashedFile& newest() { return done_.back(); }
    TrashedFile takeNewest();

  private:
    std::vector<TrashedFile> done_;
};
