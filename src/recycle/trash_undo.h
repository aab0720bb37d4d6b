#pragma once

#include "platform/file_identity.h"
#include "recycle/move_file.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

class Dialogs;

// One file this session sent away, to the Trash or to a folder of the user's,
// and where it went: what an undo brings back.
struct SentFile {
    QString originalPath;
    QString sentTo;       // <trash>/files/<name>, or <folder>/<name>
    QString infoPath;     // <trash>/info/<name>.trashinfo; empty for a move to a folder
    int entryNumber = 0;  // the list position its entry had, from 1
    FileIdentity arrived; // the file as it lay where it went, when it got there
    QList<int> alsoAt;    // the positions other entries of the same file had, from 1
    QString historyKey;   // its decision in the history; empty while not recorded
    bool toTrash() const { return !infoPath.isEmpty(); }
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
std::optional<SentFile> findTrashed(const QString& path, const Expected& expected);

// Moves the file back to its original path and removes its info file. Never
// replaces anything: when the path is taken again, its folder is gone or the
// Trash no longer holds that very file (its info file records another path,
// or another file lies under its name there), nothing moves and the reason is
// returned.
// Returns an empty string on success.
QString restore(const SentFile& file);

} // namespace trash

// Brings a sent file back to its original path, from the Trash or from the
// folder it was moved to, never replacing anything: when the path is taken
// again, its folder is gone, or the file there is no longer the one sent
// (changed, gone), nothing moves and the reason is returned; empty on success.
// A copy back from another drive reports to control, and stops when it says so.
QString bringBack(const SentFile& file, moving::CopyControl* control = nullptr);

// The deletes and moves that can still be taken back, newest last: this
// sitting's, above those of earlier sittings the history kept.
class TrashUndo {
  public:
    // Where a file went that the Trash took after the wait for it was given
    // up on (nothing when it cannot be found there); called on the move's thread.
    using ArrivedLate = std::function<void(std::optional<SentFile>)>;
    // Sends path to the Trash as ShellDelete does (mode 1), and keeps track
    // of where it went. True when the file was moved.
    bool trash(const QString& path, Dialogs& dialogs, ArrivedLate arrivedLate = {});
    // A file sent away some other way (moved to a folder of the user's, or
    // taken by the Trash late), to be taken back like a delete.
    void moved(SentFile file) { done_.push_back(std::move(file)); }
    // Files sent away in earlier sittings, oldest first: below this sitting's.
    void earlier(const std::vector<SentFile>& files) {
        done_.insert(done_.begin(), files.begin(), files.end());
    }
    bool empty() const { return done_.empty(); }
    size_t size() const { return done_.size(); }
    SentFile& newest() { return done_.back(); }
    SentFile takeNewest();

  private:
    std::vector<SentFile> done_;
};
