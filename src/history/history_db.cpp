#include "history/history_db.h"

#include "platform/product.h"
#include "platform/time_text.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <fcntl.h>
#include <iterator>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace history {

namespace {

// How long a write waits for another copy's transaction to end.
constexpr int kBusyWaitMs = 5000;

// The schema, one step per version: a file of version N gets the steps after
// N, each in the transaction that also sets the new version.
const char* const kSteps[] = {
    // 1: the decisions and the files heard.
    "CREATE TABLE decisions ("
    "  id INTEGER PRIMARY KEY,"
    "  key TEXT NOT NULL UNIQUE,"
    "  time_ms INTEGER NOT NULL,"
    "  action TEXT NOT NULL,"
    "  from_path TEXT NOT NULL,"
    "  to_path TEXT NOT NULL,"
    "  info_path TEXT NOT NULL DEFAULT '',"
    "  device INTEGER NOT NULL DEFAULT 0,"
    "  inode INTEGER NOT NULL DEFAULT 0,"
    "  size INTEGER NOT NULL DEFAULT -1,"
    "  changed_ns INTEGER NOT NULL DEFAULT 0,"
    "  modified_ns INTEGER NOT NULL DEFAULT 0,"
    "  entry INTEGER NOT NULL DEFAULT 0,"
    "  also_at TEXT NOT NULL DEFAULT '',"
    "  undoes TEXT NOT NULL DEFAULT '');"
    "CREATE TABLE heard ("
    "  path TEXT PRIMARY KEY,"
    "  device INTEGER NOT NULL,"
    "  inode INTEGER NOT NULL,"
    "  size INTEGER NOT NULL,"
    "  modified_ns INTEGER NOT NULL,"
    "  heard_ms INTEGER NOT NULL,"
    "  last_ms INTEGER NOT NULL);",
    // 2: a decision says itself when it may be taken back no more (undone,
    // or refused), where version 1 left it to the undo that names it.
    "ALTER TABLE decisions ADD COLUMN closed TEXT;"
    "UPDATE decisions SET closed = 'undone'"
    "  WHERE key IN (SELECT undoes FROM decisions WHERE action = 'undo');"
    "CREATE INDEX decisions_open ON decisions (closed, id);",
};
static_assert(std::size(kSteps) == Database::kSchemaVersion);

// One prepared statement, finalized when it goes.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        code_ = sqlite3_prepare_v2(db, sql, -1, &s_, nullptr);
    }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    int code() const { return code_; }
    void bind(int at, const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(s_, at, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    void bind(int at, qint64 value) { sqlite3_bind_int64(s_, at, value); }
    // SQLITE_ROW, SQLITE_DONE or the failure.
    int step() { return code_ == SQLITE_OK ? sqlite3_step(s_) : code_; }
    void reset() {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
    }
    QString text(int column) const {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s_, column)),
                                 sqlite3_column_bytes(s_, column));
    }
    qint64 number(int column) const { return sqlite3_column_int64(s_, column); }

  private:
    sqlite3_stmt* s_ = nullptr;
    int code_;
};

QString placesText(const QList<int>& places) {
    QStringList texts;
    for (const int place : places)
        texts << QString::number(place);
    return texts.join(QLatin1Char(' '));
}

QList<int> placesOf(const QString& text) {
    QList<int> places;
    for (const QString& place : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        places << place.toInt();
    return places;
}

Decision::Action actionOf(const QString& name) {
    if (name == QLatin1String("move"))
        return Decision::Action::Move;
    if (name == QLatin1String("undo"))
        return Decision::Action::Undo;
    return Decision::Action::Trash;
}

constexpr const char* kDecisionColumns =
    "key, time_ms, action, from_path, to_path, info_path, device, inode, size, changed_ns, "
    "modified_ns, entry, also_at, undoes";

Decision decisionAt(const Statement& row) {
    Decision d;
    d.key = row.text(0);
    d.timeMs = row.number(1);
    d.action = actionOf(row.text(2));
    d.from = row.text(3);
    d.to = row.text(4);
    d.infoPath = row.text(5);
    d.identity = {dev_t(row.number(6)), ino_t(row.number(7)), off_t(row.number(8)), row.number(9),
                  row.number(10)};
    d.entryNumber = int(row.number(11));
    d.alsoAt = placesOf(row.text(12));
    d.undoes = row.text(13);
    return d;
}

// The folder is the owner's alone, and so is the file, made before SQLite
// opens it: a history names every file the user judged.
bool makePrivate(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return false;
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QByteArray file = QFile::encodeName(path);
    const int fd = ::open(file.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0)
        ::close(fd);
    return true;
}

} // namespace

QString defaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QLatin1Char('/') + kProductName + QStringLiteral("/history.sqlite");
}

QString actionName(Decision::Action action) {
    switch (action) {
    case Decision::Action::Trash:
        return QStringLiteral("trash");
    case Decision::Action::Move:
        return QStringLiteral("move");
    case Decision::Action::Undo:
        return QStringLiteral("undo");
    }
    return {};
}

QString heardText(qint64 ms) {
    return QStringLiteral("heard %1").arg(formatTime(double(ms) / 1000));
}

std::unique_ptr<Database> Database::open(const QString& path, Trouble& trouble, bool readOnly) {
    if (!readOnly && !makePrivate(path)) {
        trouble = {QStringLiteral("its folder cannot be made (%1)").arg(path), false};
        return nullptr;
    }
    sqlite3* db = nullptr;
    const int flags =
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
        SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_FULLMUTEX;
    const int code = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    std::unique_ptr<Database> opened(new Database(db, path));
    if (code != SQLITE_OK) {
        trouble = opened->trouble(code);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyWaitMs);
    // Reading the version is the first read of the file: one that is no
    // database fails here, and stays as it is.
    const int version = opened->schemaVersion();
    if (version < 0) {
        trouble = opened->trouble(sqlite3_errcode(db));
        return nullptr;
    }
    if (version > kSchemaVersion) {
        trouble = {QStringLiteral("%1 was written by a newer version of %2")
                       .arg(QFileInfo(path).fileName(), kProductName),
                   true};
        return nullptr;
    }
    if (readOnly)
        return version > 0 ? std::move(opened) : nullptr; // an empty file holds nothing yet
    if (Trouble t = opened->exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;");
        !t.why.isEmpty()) {
        trouble = t;
        return nullptr;
    }
    if (Trouble t = opened->migrate(); !t.why.isEmpty()) {
        trouble = t;
        return nullptr;
    }
    return opened;
}

Database::~Database() {
    sqlite3_close_v2(db_);
}

const char* Database::schemaStep(int version) {
    return kSteps[version - 1];
}

int Database::schemaVersion() {
    Statement read(db_, "PRAGMA user_version");
    return read.step() == SQLITE_ROW ? int(read.number(0)) : -1;
}

Trouble Database::migrate() {
    // Another copy may be migrating the same file: the version is read again
    // inside the write transaction, so each step runs once.
    if (Trouble t = exec("BEGIN IMMEDIATE"); !t.why.isEmpty())
        return t;
    const int version = schemaVersion();
    for (int step = std::max(version, 0); step < kSchemaVersion; ++step) {
        Trouble t = exec(kSteps[step]);
        if (t.why.isEmpty())
            t = exec(
                QByteArray("PRAGMA user_version = " + QByteArray::number(step + 1)).constData());
        if (!t.why.isEmpty()) {
            rollback();
            return t;
        }
    }
    return commit();
}

Trouble Database::exec(const char* sql) {
    const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    return code == SQLITE_OK ? Trouble{} : trouble(code);
}

Trouble Database::trouble(int code) const {
    const QString name = QFileInfo(path_).fileName();
    switch (code) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return {QStringLiteral("%1 is locked by another program").arg(name), false};
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return {QStringLiteral("%1 is damaged (%2)").arg(name, path_), true};
    case SQLITE_FULL:
        return {QStringLiteral("the drive of %1 is full").arg(path_), false};
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        return {QStringLiteral("%1 cannot be written (%2)")
                    .arg(path_, QString::fromUtf8(sqlite3_errstr(code))),
                false};
    default:
        return {QStringLiteral("%1: %2").arg(path_, QString::fromUtf8(sqlite3_errstr(code))),
                false};
    }
}

Trouble Database::begin() {
    return exec("BEGIN IMMEDIATE");
}

Trouble Database::commit() {
    return exec("COMMIT");
}

void Database::rollback() {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

Trouble Database::record(const Decision& d) {
    Statement insert(db_, "INSERT OR IGNORE INTO decisions (key, time_ms, action, from_path, "
                          "to_path, info_path, device, inode, size, changed_ns, modified_ns, "
                          "entry, also_at, undoes) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, "
                          "?10, ?11, ?12, ?13, ?14)");
    insert.bind(1, d.key);
    insert.bind(2, d.timeMs);
    insert.bind(3, actionName(d.action));
    insert.bind(4, d.from);
    insert.bind(5, d.to);
    insert.bind(6, d.infoPath);
    insert.bind(7, qint64(d.identity.device));
    insert.bind(8, qint64(d.identity.inode));
    insert.bind(9, qint64(d.identity.size));
    insert.bind(10, d.identity.changedNs);
    insert.bind(11, d.identity.modifiedNs);
    insert.bind(12, qint64(d.entryNumber));
    insert.bind(13, placesText(d.alsoAt));
    insert.bind(14, d.undoes);
    const int code = insert.step();
    if (code != SQLITE_DONE)
        return trouble(code);
    return d.action == Decision::Action::Undo ? close(d.undoes, QStringLiteral("undone"))
                                              : Trouble{};
}

Trouble Database::close(const QString& key, const QString& how) {
    Statement update(db_, "UPDATE decisions SET closed = ?2 WHERE key = ?1");
    update.bind(1, key);
    update.bind(2, how);
    const int code = update.step();
    return code == SQLITE_DONE ? Trouble{} : trouble(code);
}

Trouble Database::heard(const Heard& h) {
    // The time heard adds up while the file stays the same; a file written
    // since starts from this hearing.
    Statement upsert(db_, "INSERT INTO heard (path, device, inode, size, modified_ns, heard_ms, "
                          "last_ms) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7) ON CONFLICT (path) DO "
                          "UPDATE SET heard_ms = CASE WHEN device = ?2 AND inode = ?3 AND size "
                          "= ?4 AND modified_ns = ?5 THEN heard_ms + ?6 ELSE ?6 END, device = "
                          "?2, inode = ?3, size = ?4, modified_ns = ?5, last_ms = ?7");
    upsert.bind(1, h.path);
    upsert.bind(2, qint64(h.identity.device));
    upsert.bind(3, qint64(h.identity.inode));
    upsert.bind(4, qint64(h.identity.size));
    upsert.bind(5, h.identity.modifiedNs);
    upsert.bind(6, h.heardMs);
    upsert.bind(7, QDateTime::currentMSecsSinceEpoch());
    const int code = upsert.step();
    return code == SQLITE_DONE ? Trouble{} : trouble(code);
}

std::vector<Decision> Database::decisions(const char* where, qint64 limit, Trouble& t) {
    const QByteArray sql = QByteArray("SELECT ") + kDecisionColumns +
                           " FROM (SELECT * FROM decisions " + where +
                           " ORDER BY id DESC LIMIT ?1) ORDER BY id DESC";
    Statement select(db_, sql.constData());
    select.bind(1, limit);
    std::vector<Decision> found;
    int code;
    while ((code = select.step()) == SQLITE_ROW)
        found.push_back(decisionAt(select));
    if (code != SQLITE_DONE)
        t = trouble(code);
    return found;
}

std::vector<Decision> Database::openDecisions(int limit, Trouble& t) {
    std::vector<Decision> found = decisions("WHERE closed IS NULL AND action != 'undo'", limit, t);
    std::reverse(found.begin(), found.end()); // oldest first
    return found;
}

std::vector<Decision> Database::allDecisions(Trouble& t) {
    return decisions("", -1, t); // no limit
}

QHash<QString, Heard> Database::heardOf(const QStringList& paths, Trouble& t) {
    // Very many paths are found faster in one pass over the table than one by one.
    constexpr qsizetype kLookUpsFrom = 10000;
    const bool scan = paths.size() >= kLookUpsFrom;
    Statement select(db_,
                     scan ? "SELECT device, inode, size, modified_ns, heard_ms, path FROM heard"
                          : "SELECT device, inode, size, modified_ns, heard_ms, path FROM heard "
                            "WHERE path = ?1");
    const QSet<QString> wanted = scan ? QSet<QString>(paths.begin(), paths.end()) : QSet<QString>();
    QHash<QString, Heard> found;
    const auto take = [&] {
        const QString path = select.text(5);
        if (!scan || wanted.contains(path))
            found.insert(path, {path,
                                {dev_t(select.number(0)), ino_t(select.number(1)),
                                 off_t(select.number(2)), 0, select.number(3)},
                                select.number(4)});
    };
    int code = SQLITE_DONE;
    if (scan) {
        while ((code = select.step()) == SQLITE_ROW)
            take();
    } else {
        for (const QString& path : paths) {
            select.bind(1, path);
            while ((code = select.step()) == SQLITE_ROW)
                take();
            if (code != SQLITE_DONE)
                break;
            select.reset();
        }
    }
    if (code != SQLITE_DONE)
        t = trouble(code);
    return found;
}

Database::SentCounts Database::sentFrom(const QSet<QString>& folders, Trouble& t) {
    Statement select(db_, "SELECT from_path, action FROM decisions WHERE closed IS NULL AND "
                          "action != 'undo'");
    SentCounts counts;
    int code;
    while ((code = select.step()) == SQLITE_ROW) {
        const QString from = select.text(0);
        if (!folders.contains(from.left(from.lastIndexOf(QLatin1Char('/')))))
            continue;
        if (select.text(1) == QLatin1String("move"))
            ++counts.moved;
        else
            ++counts.trashed;
    }
    if (code != SQLITE_DONE)
        t = trouble(code);
    return counts;
}

} // namespace history
