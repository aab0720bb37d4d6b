#pragma once

#include "platform/file_identity.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

struct sqlite3;

// The history of this program's decisions and of the files heard, across
// sittings: one SQLite database in WAL mode, which two running copies may
// write at once and which a kill leaves with every committed record.
namespace history {

// Where the history lives: $XDG_DATA_HOME/Thrennic/history.sqlite.
QString defaultFile();

// One file sent away (to the Trash or to a folder), or one such decision taken back.
struct Decision {
    enum class Action { Trash, Move, Undo };
    QString key; // made when it is done; an undo names the key of what it took back
    Action action = Action::Trash;
    qint64 timeMs = 0;     // since the epoch
    QString from, to;      // the original path and where it went; for an undo, the other way round
    QString infoPath;      // the Trash's info file; empty for a move and an undo
    FileIdentity identity; // the file as it lay where it went
    int entryNumber = 0;   // the list place its entry had, from 1
    QList<int> alsoAt;     // the places other entries of the same file had
    QString undoes;        // for an undo: the key of the decision taken back
};
QString actionName(Decision::Action action); // "trash", "move", "undo"

// A file heard: its path, the file it was then, and how long it has played in all.
struct Heard {
    QString path;
    FileIdentity identity;
    qint64 heardMs = 0;
};

// The reason a database could not be used, as the player's screen gives it;
// empty when it works.
struct Trouble {
    QString why;
    bool lasting = false; // nothing may be written to it in this sitting (damaged, newer)
};

// One open connection. Every call may fail with a Trouble; nothing throws.
class Database {
  public:
    // Opens (creating the file 0600 and its folder 0700 when missing) and
    // brings the schema up to date. A file of a newer schema, or one that is
    // no database, is left exactly as it is.
    static std::unique_ptr<Database> open(const QString& path, Trouble& trouble,
                                          bool readOnly = false);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The schema this program writes, and the one the file holds.
    static constexpr int kSchemaVersion = 2;
    int schemaVersion();
    // The SQL that brings a file of version - 1 to version (from 1 to kSchemaVersion).
    static const char* schemaStep(int version);

    // Writes run in one transaction at a time, begun and ended by these.
    Trouble begin();
    Trouble commit();
    void rollback();

    Trouble record(const Decision& decision);
    // The decision may be taken back no more: undone, or refused for why.
    Trouble close(const QString& key, const QString& how);
    Trouble heard(const Heard& heard);

    // Decisions that may still be taken back, oldest first, at most limit of the newest.
    std::vector<Decision> openDecisions(int limit, Trouble& trouble);
    // Every decision, newest first.
    std::vector<Decision> allDecisions(Trouble& trouble);
    // What is known of the paths heard, by path.
    QHash<QString, Heard> heardOf(const QStringList& paths, Trouble& trouble);
    // Of the files sent away from these folders and not taken back: how many
    // went to the Trash, and how many were moved.
    struct SentCounts {
        int trashed = 0, moved = 0;
    };
    SentCounts sentFrom(const QSet<QString>& folders, Trouble& trouble);

  private:
    Database(sqlite3* db, QString path) : db_(db), path_(std::move(path)) {}
    Trouble migrate();
    Trouble exec(const char* sql);
    // The newest at most limit (-1: all) decisions that match where, newest first.
    std::vector<Decision> decisions(const char* where, qint64 limit, Trouble& trouble);
    Trouble trouble(int code) const;

    sqlite3* db_;
    QString path_;
};

// "heard 0:12": a heard time as the tooltip and the history give it.
QString heardText(qint64 ms);

} // namespace history
