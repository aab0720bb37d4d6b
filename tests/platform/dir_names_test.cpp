#include "platform/dir_name.h"
#include "support/test_drive.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

// The batched look-up must answer exactly as one look-up per path, for every
// kind of thing a saved list can name, in a folder big enough to be read whole.
TEST(DirNamesTest, AFolderReadWholeGivesTheSameAnswersAsOneLookUpPerPath) {
    QTemporaryDir dir;
    const QString d = dir.path();
    QStringList paths;
    for (int i = 0; i < 40; ++i) {
        touch(d + QStringLiteral("/take %1.wav").arg(i));
        paths << d + QStringLiteral("/take %1.wav").arg(i);
    }
    touch(d + QStringLiteral("/.hidden.wav"));
    touch(d + QStringLiteral("/\u00e9t\u00e9 \"quoted\".wav"));
    QDir(d).mkdir(QStringLiteral("folder.wav"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(d + QStringLiteral("/pipe.wav")).constData(), 0600), 0);
    ASSERT_EQ(::symlink("take 1.wav", QFile::encodeName(d + QStringLiteral("/link.wav"))), 0);
    ASSERT_EQ(::symlink("gone.wav", QFile::encodeName(d + QStringLiteral("/dangling.wav"))), 0);
    ASSERT_EQ(::symlink("folder.wav", QFile::encodeName(d + QStringLiteral("/dirlink.wav"))), 0);
    for (const char* odd :
         {"/.hidden.wav", "/\u00e9t\u00e9 \"quoted\".wav", "/folder.wav", "/pipe.wav", "/link.wav",
          "/dangling.wav", "/dirlink.wav", "/missing.wav", "/", "/take 3.wav", "/./take 4.wav",
          "/folder.wav/../take 5.wav", "//take 6.wav"})
        paths << d + QString::fromUtf8(odd);
    paths << QString() << QStringLiteral("relative.wav") << QStringLiteral("/etc/hostname");

    const QStringList batched = dirNames(paths);
    ASSERT_EQ(batched.size(), paths.size());
    for (qsizetype i = 0; i < paths.size(); ++i)
        EXPECT_EQ(batched[i], dirName(paths[i])) << paths[i].toStdString();
    // The answers themselves, so that both cannot be wrong the same way.
    EXPECT_EQ(batched[0], "take 0.wav");
    EXPECT_EQ(batched[paths.indexOf(d + "/link.wav")], "link.wav");
    EXPECT_EQ(batched[paths.indexOf(d + "/take 3.wav")], "take 3.wav") << "listed twice";
    for (const char* none : {"/.hidden.wav", "/folder.wav", "/pipe.wav", "/dangling.wav",
                             "/dirlink.wav", "/missing.wav"})
        EXPECT_EQ(batched[paths.indexOf(d + QString::fromUtf8(none))], QString()) << none;
}

// Names are matched within their own folder: the same name in two folders,
// one of which lacks some of the files, with the paths taken turn about.
TEST(DirNamesTest, TheSameNameInTwoFoldersIsAnsweredForEachFolder) {
    QTemporaryDir dir;
    const QString a = dir.path() + QStringLiteral("/a"), b = dir.path() + QStringLiteral("/b");
    ASSERT_TRUE(QDir().mkdir(a) && QDir().mkdir(b));
    QStringList paths;
    for (int i = 0; i < 20; ++i) {
        const QString name = QStringLiteral("/take %1.wav").arg(i);
        touch(a + name);
        if (i % 2 == 0)
            touch(b + name);
        else
            QDir().mkdir(b + name); // a folder by the file's name: never a file
        paths << a + name << b + name;
    }
    const QStringList batched = dirNames(paths);
    for (int i = 0; i < 20; ++i) {
        const QString name = QStringLiteral("take %1.wav").arg(i);
        EXPECT_EQ(batched[2 * i], name);
        EXPECT_EQ(batched[2 * i + 1], i % 2 == 0 ? name : QString()) << i;
    }
}

// Folders on a drive that stopped answering are given up on side by side, not
// one after another: a look at four of them costs about one wait, and a folder
// elsewhere is answered meanwhile. Each tells its answer when the drive
// answers again.
TEST(DirNamesTest, FoldersOfADeadDriveAreGivenUpOnTogetherAndAnswerLate) {
    if (!TestDrive::usable())
        GTEST_SKIP() << "needs /dev/fuse and root to mount the test drive";
    TestDrive drive;
    ASSERT_TRUE(drive.mounted());
    QTemporaryDir local;
    QStringList paths;
    for (int folder = 0; folder < 4; ++folder) {
        ASSERT_TRUE(QDir().mkpath(drive.backing() + QStringLiteral("/%1").arg(folder)));
        for (int i = 0; i < 20; ++i) {
            const QString name = QStringLiteral("/%1/take %2.wav").arg(folder).arg(i);
            touch(drive.backing() + name);
            paths << drive.path() + name;
        }
    }
    touch(local.path() + QStringLiteral("/here.wav"));
    paths << local.path() + QStringLiteral("/here.wav");
    // Told on the look's own threads, which may outlive a failed test.
    struct Late {
        QMutex mutex;
        QStringList found;
    };
    const auto late = std::make_shared<Late>();
    const auto keepLate = [late](const QStringList& paths, const QStringList& names) {
        const QMutexLocker lock(&late->mutex);
        for (qsizetype i = 0; i < paths.size(); ++i)
            if (names[i] == QFileInfo(paths[i]).fileName())
                late->found << paths[i];
    };
    constexpr int silentMs = 1000;
    drive.hang();
    QElapsedTimer clock;
    clock.start();
    QList<bool> notAnswering;
    const QStringList names = dirNames(paths, &notAnswering, silentMs, keepLate);
    EXPECT_LT(clock.elapsed(), 4 * silentMs) << "the dead folders were waited for in turn";
    EXPECT_EQ(names.last(), "here.wav");
    EXPECT_FALSE(notAnswering.last());
    EXPECT_EQ(notAnswering.count(true), paths.size() - 1);
    drive.answer();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QMutexLocker lock(&late->mutex);
            return late->found.size() == paths.size() - 1;
        },
        20000));
}

} // namespace

#include "platform/disk_call.h"

#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <thread>

namespace {

// A look that hangs is given up on after its wait; until it comes back, looks
// in the same folder (and below it) give up at once, and others go on; its
// result, when it comes, goes to the late answer.
TEST(DiskCallTest, AHungLookIsLeftBehindAndItsFolderGivesUpAtOnceUntilItReturns) {
    std::atomic<bool> release = false;
    const auto hangs = [&] {
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 1;
    };
    std::atomic<int> late = 0;
    const auto keepLate = [&](int result) { late = result; };
    EXPECT_EQ(disk::call<int>(
                  "/share/a.wav", [] { return 7; }, disk::kLookMs, keepLate),
              7);
    EXPECT_FALSE(disk::call<int>("/share/a.wav", hangs, 50, keepLate));
    EXPECT_FALSE(disk::answering("/share/b.wav"));
    EXPECT_FALSE(disk::answering("/share/deeper/c.wav"));
    EXPECT_TRUE(disk::answering("/elsewhere/d.wav"));
    QElapsedTimer quick;
    quick.start();
    EXPECT_FALSE(disk::call<int>(
        "/share/b.wav", [] { return 7; }, 5000))
        << "no second wait";
    EXPECT_LT(quick.elapsed(), 1000);
    EXPECT_EQ(late, 0) << "a call answered in time is not answered again";
    release = true;
    EXPECT_TRUE(QTest::qWaitFor([] { return disk::answering("/share/b.wav"); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return late == 1; }, 5000)) << "the late result";
    EXPECT_EQ(disk::call<int>("/share/b.wav", [] { return 7; }), 7);
}

} // namespace
