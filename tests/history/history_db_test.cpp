#include "history/history_db.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using history::Database;
using history::Decision;
using history::Trouble;

namespace {

Decision sent(const QString& key, Decision::Action action, const QString& from = "/m/a.wav") {
    Decision d;
    d.key = key;
    d.action = action;
    d.timeMs = 1'700'000'000'000;
    d.from = from;
    d.to = action == Decision::Action::Trash ? QStringLiteral("/t/files/a.wav")
                                             : QStringLiteral("/keep/a.wav");
    if (action == Decision::Action::Trash)
        d.infoPath = QStringLiteral("/t/info/a.wav.trashinfo");
    d.identity = {12, 34, 56, 78, 90};
    d.entryNumber = 3;
    d.alsoAt = {5, 9};
    return d;
}

std::unique_ptr<Database> opened(const QString& path) {
    Trouble trouble;
    std::unique_ptr<Database> db = Database::open(path, trouble);
    EXPECT_TRUE(trouble.why.isEmpty()) << trouble.why.toStdString();
    return db;
}

void write(Database& db, const Decision& d) {
    ASSERT_TRUE(db.begin().why.isEmpty());
    ASSERT_TRUE(db.record(d).why.isEmpty());
    ASSERT_TRUE(db.commit().why.isEmpty());
}

QStringList keys(const std::vector<Decision>& decisions) {
    QStringList found;
    for (const Decision& d : decisions)
        found << d.key;
    return found;
}

// Runs SQL on the file as another program would.
void rawSql(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class HistoryDbTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("Thrennic/history.sqlite"));
};

} // namespace

TEST_F(HistoryDbTest, DecisionsComeBackWhole_AndAnUndoClosesWhatItTookBack) {
    {
        auto db = opened(file);
        ASSERT_TRUE(db);
        write(*db, sent("trash-1", Decision::Action::Trash, "/m/tab\there\nand \"quotes\" é.wav"));
        write(*db, sent("move-1", Decision::Action::Move));
        Decision undo = sent("undo-1", Decision::Action::Undo);
        undo.undoes = QStringLiteral("move-1");
        write(*db, undo);
    }
    auto db = opened(file);
    Trouble trouble;
    const std::vector<Decision> open = db->openDecisions(100, trouble);
    ASSERT_EQ(keys(open), QStringList{"trash-1"});
    const Decision& back = open.front();
    EXPECT_EQ(back.from, QStringLiteral("/m/tab\there\nand \"quotes\" é.wav"));
    EXPECT_EQ(back.to, QStringLiteral("/t/files/a.wav"));
    EXPECT_EQ(back.infoPath, QStringLiteral("/t/info/a.wav.trashinfo"));
    EXPECT_EQ(back.identity, (FileIdentity{12, 34, 56, 78, 90}));
    EXPECT_EQ(back.entryNumber, 3);
    EXPECT_EQ(back.alsoAt, (QList<int>{5, 9}));
    EXPECT_EQ(keys(db->allDecisions(trouble)), (QStringList{"undo-1", "move-1", "trash-1"}));
    // A refused undo closes its decision too; the newest open come first in the limit.
    write(*db, sent("trash-2", Decision::Action::Trash));
    write(*db, sent("trash-3", Decision::Action::Trash));
    ASSERT_TRUE(
        db->close(QStringLiteral("trash-2"), QStringLiteral("Its folder is gone.")).why.isEmpty());
    EXPECT_EQ(keys(db->openDecisions(100, trouble)), (QStringList{"trash-1", "trash-3"}));
    EXPECT_EQ(keys(db->openDecisions(1, trouble)), QStringList{"trash-3"});
    EXPECT_TRUE(trouble.why.isEmpty());
}

TEST_F(HistoryDbTest, TheFileAndItsFolderAreTheOwnersAlone_InWalMode) {
    ASSERT_TRUE(opened(file));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFile::encodeName(QFileInfo(file).absolutePath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(bytesOf(file).mid(18, 2), QByteArray("\x02\x02", 2)); // the header's WAL versions
}

TEST_F(HistoryDbTest, AFileOfTheFirstVersionIsBroughtUpWithItsRecords) {
    QDir().mkpath(QFileInfo(file).absolutePath());
    rawSql(file, Database::schemaStep(1));
    // The first version knew a decision taken back only by the undo naming it.
    rawSql(file, "PRAGMA user_version = 1;"
                 "INSERT INTO decisions (key, time_ms, action, from_path, to_path) VALUES"
                 " ('a', 1, 'trash', '/m/a.wav', '/t/files/a.wav'),"
                 " ('b', 2, 'move', '/m/b.wav', '/keep/b.wav'),"
                 " ('c', 3, 'undo', '/t/files/a.wav', '/m/a.wav');"
                 "UPDATE decisions SET undoes = 'a' WHERE key = 'c';"
                 "INSERT INTO heard VALUES ('/m/b.wav', 1, 2, 3, 4, 5000, 6);");
    auto db = opened(file);
    ASSERT_TRUE(db);
    EXPECT_EQ(db->schemaVersion(), Database::kSchemaVersion);
    Trouble trouble;
    EXPECT_EQ(keys(db->openDecisions(100, trouble)), QStringList{"b"});
    EXPECT_EQ(db->heardOf({"/m/b.wav", "/m/none.wav"}, trouble).value("/m/b.wav").heardMs, 5000);
    EXPECT_TRUE(trouble.why.isEmpty());
}

TEST_F(HistoryDbTest, AFileThatMustNotBeWrittenIsLeftAsItIs) {
    struct Case {
        const char* name;
        std::function<void()> make;
        QString says;
    };
    QDir().mkpath(QFileInfo(file).absolutePath());
    const std::vector<Case> cases = {
        {"no database",
         [&] {
             QFile f(file);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray(8192, 'x'));
         },
         "history.sqlite is damaged"},
        {"a newer schema",
         [&] { rawSql(file, "CREATE TABLE later (x); PRAGMA user_version = 99;"); },
         "history.sqlite was written by a newer version of Thrennic"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(file);
        c.make();
        const QByteArray before = bytesOf(file);
        Trouble trouble;
        EXPECT_FALSE(Database::open(file, trouble));
        EXPECT_TRUE(trouble.why.startsWith(c.says)) << trouble.why.toStdString();
        EXPECT_TRUE(trouble.lasting);
        EXPECT_EQ(bytesOf(file), before);
        EXPECT_FALSE(QFileInfo::exists(file + "-wal"));
    }
}

TEST_F(HistoryDbTest, ALockedFileIsTroubleForNow_NotForGood) {
    ASSERT_TRUE(opened(file));
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(file).constData(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    Trouble trouble;
    EXPECT_FALSE(Database::open(file, trouble));
    EXPECT_EQ(trouble.why, QStringLiteral("history.sqlite is locked by another program"));
    EXPECT_FALSE(trouble.lasting);
    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_TRUE(opened(file));
}

TEST_F(HistoryDbTest, AReadOnlyOrFullDriveIsTroubleForNow) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting the drives needs root";
    const QString drive = dir.filePath(QStringLiteral("drive"));
    QDir().mkpath(drive);
    const QByteArray at = QFile::encodeName(drive);
    // Read-only: a drive mounted so; full: one with no room left for the journal.
    for (const char* options : {"ro,size=1m", "size=64k"}) {
        SCOPED_TRACE(options);
        ASSERT_EQ(::mount("tmpfs", at.constData(), "tmpfs", 0, options), 0);
        if (QByteArray(options).startsWith("size")) {
            QFile filler(drive + "/filler");
            ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
            while (filler.write(QByteArray(4096, 'x')) > 0 && filler.flush()) {
            }
        }
        Trouble trouble;
        EXPECT_FALSE(Database::open(drive + "/Thrennic/history.sqlite", trouble));
        EXPECT_FALSE(trouble.why.isEmpty());
        EXPECT_FALSE(trouble.lasting);
        ::umount2(at.constData(), MNT_DETACH);
    }
}

TEST_F(HistoryDbTest, TwoCopiesWritingAtOnceBothKeepTheirRecords) {
    ASSERT_TRUE(opened(file));
    constexpr int kEach = 150;
    std::vector<pid_t> copies;
    for (const char* name : {"first", "second"}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            Trouble trouble;
            auto db = Database::open(file, trouble);
            bool ok = db != nullptr;
            for (int i = 0; ok && i < kEach; ++i) {
                ok = db->begin().why.isEmpty() &&
                     db->record(
                           sent(QStringLiteral("%1-%2").arg(name).arg(i), Decision::Action::Trash))
                         .why.isEmpty() &&
                     db->commit().why.isEmpty();
            }
            ::_exit(ok ? 0 : 1);
        }
        copies.push_back(pid);
    }
    for (const pid_t pid : copies) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    Trouble trouble;
    EXPECT_EQ(opened(file)->allDecisions(trouble).size(), size_t(2 * kEach));
}

TEST_F(HistoryDbTest, AKillDuringWritesLeavesEveryCommittedRecord) {
    ASSERT_TRUE(opened(file));
    int told[2];
    ASSERT_EQ(::pipe(told), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Writes without end, telling each commit once it is done.
        ::close(told[0]);
        Trouble trouble;
        auto db = Database::open(file, trouble);
        for (int i = 0; db; ++i) {
            db->begin();
            for (int j = 0; j < 20; ++j)
                db->record(sent(QStringLiteral("%1-%2").arg(i).arg(j), Decision::Action::Move));
            if (!db->commit().why.isEmpty())
                break;
            const int committed = (i + 1) * 20;
            if (::write(told[1], &committed, sizeof committed) != sizeof committed)
                break;
        }
        ::_exit(1);
    }
    ::close(told[1]);
    int committed = 0;
    while (committed < 2000 && ::read(told[0], &committed, sizeof committed) == sizeof committed) {
    }
    ::kill(pid, SIGKILL);
    // What it managed to tell before it died.
    for (int more = 0; ::read(told[0], &more, sizeof more) == sizeof more;)
        committed = more;
    ::close(told[0]);
    ::waitpid(pid, nullptr, 0);
    ASSERT_GE(committed, 2000);

    sqlite3* check = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(file).constData(), &check), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(check, "PRAGMA integrity_check", -1, &s, nullptr);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "ok");
    sqlite3_finalize(s);
    sqlite3_close(check);
    Trouble trouble;
    EXPECT_GE(opened(file)->allDecisions(trouble).size(), size_t(committed));
    EXPECT_TRUE(trouble.why.isEmpty());
}

TEST(HistoryText, HeardTimeReadsAsMinutesAndSeconds) {
    EXPECT_EQ(history::heardText(12'400), QStringLiteral("heard 0:12"));
    EXPECT_EQ(history::heardText(754'000), QStringLiteral("heard 12:34"));
}
