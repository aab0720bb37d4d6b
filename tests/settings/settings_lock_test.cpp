#include "support/form_fixture.h"
#include "support/pipe_watch.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSysInfo>

namespace {

// A lock file left beside the settings file: a save waits for it only briefly,
// takes over one whose owner is gone, and otherwise fails with the reason,
// leaving the old file whole. None of them may hold the window up.
class SettingsLockTest : public FormTest {
  protected:
    void SetUp() override {
        a = makeFile("a.mp3");
        drop({a});
        ASSERT_EQ(saveFailure(), ""); // the old file: one song
        b = makeFile("b.mp3");
        drop({b});
    }
    void TearDown() override {
        QFileInfo lock(lockPath());
        lock.isDir() ? (void)QDir(lockPath()).removeRecursively() : (void)QFile::remove(lockPath());
    }
    static QString lockPath() { return settingsFile() + ".lock"; }
    static void writeLock(const QByteArray& content) {
        QFile lock(lockPath());
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write(content);
    }
    // The lock as QLockFile writes it: pid, program name, host.
    static QByteArray ownedBy(qint64 pid) {
        return QByteArray::number(pid) + '\n' + QCoreApplication::applicationName().toUtf8() +
               '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
    }
    QString a, b;
};

TEST_F(SettingsLockTest, AnEmptyLockIsTakenOverAndTheSaveGoesThrough) {
    writeLock("");
    QElapsedTimer save;
    save.start();
    form->SaveListAndOptions();
    // Qt's own wait would judge such a lock stale only half a minute on.
    EXPECT_LT(save.elapsed(), 10000) << "the window was held up";
    EXPECT_EQ(stored("ListCount"), "2");
}

TEST_F(SettingsLockTest, ALockWhoseOwnerIsGoneIsTakenOver) {
    // A process id that no process has: above the kernel's largest.
    writeLock(ownedBy(4194304 + 7));
    form->SaveListAndOptions();
    EXPECT_EQ(stored("ListCount"), "2");
}

TEST_F(SettingsLockTest, AFolderWhereTheLockBelongsFailsTheSaveWithTheReasonAndKeepsTheOldFile) {
    QDir().mkpath(lockPath());
    const QString failure = saveFailure();
    EXPECT_TRUE(failure.contains("folder")) << failure.toStdString();
    EXPECT_TRUE(failure.contains("Form1.SaveListAndOptions at line 100")) << "told as a save's";
    EXPECT_EQ(stored("ListCount"), "1");
    EXPECT_EQ(stored("Song0"), a);
    QDir(lockPath()).removeRecursively();
    form->SaveListAndOptions();
    EXPECT_EQ(stored("ListCount"), "2") << "the next save, once the lock is gone, writes every key";
}

TEST_F(SettingsLockTest, APipeWhereTheLockBelongsFailsTheSaveWithoutWaiting) {
    PipeWatch pipe(lockPath());
    ASSERT_TRUE(pipe.made());
    EXPECT_NE(saveFailure(), "") << "the save reported success";
    EXPECT_FALSE(pipe.readerWaited()) << "the lock was read and would have frozen the window";
    EXPECT_EQ(stored("ListCount"), "1");
}

TEST_F(SettingsLockTest, ALockHeldByALiveProcessFailsThroughTheCallersTrapHoweverOld) {
    writeLock(ownedBy(QCoreApplication::applicationPid()));
    // Written an hour ago: a live owner's lock is never judged by its age.
    QFile lock(lockPath());
    ASSERT_TRUE(lock.open(QIODevice::ReadWrite));
    ASSERT_TRUE(lock.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
    lock.close();
    form->close();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains("Form_QueryUnload at line 100"));
    EXPECT_TRUE(dialogs.shown[0].text.contains("held by process"));
    EXPECT_EQ(endProgramCalls, 1) << "closing goes on";
    EXPECT_EQ(stored("ListCount"), "1");
}

// Another copy saving at the same moment: its lock is waited for, briefly.
TEST_F(SettingsLockTest, ALockAnotherCopyHoldsForAMomentIsWaitedFor) {
    QProcess other;
    other.start(SETTINGS_WRITER_PATH, {"--hold-lock", lockPath(), "100"});
    ASSERT_TRUE(other.waitForReadyRead(10000)) << "the other copy never took the lock";
    ASSERT_EQ(other.readLine().trimmed(), "locked");
    EXPECT_EQ(saveFailure(), "");
    EXPECT_EQ(stored("ListCount"), "2");
    other.waitForFinished(10000);
}

TEST_F(SettingsLockTest, AByteOrderMarkIsNoFailure) {
    QFile file(settingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xEF\xBB\xBF[Thrennic]\nListCount=1\nSong0=" + a.toUtf8() + "\n");
    file.close();
    restart();
    EXPECT_EQ(listTexts(), QStringList({"a.mp3"}));
    drop({b});
    form->SaveListAndOptions();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(stored("ListCount"), "2");
}

} // namespace
