#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "recycle/shell_delete.h"
#include "recycle/trash_undo.h"
#include "support/form_fixture.h"
#include "ui/push_button.h"

#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <QUrl>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// Undo through the real window, the real keys and the real Trash (the test
// process's own XDG_DATA_HOME).
class UndoDeleteTest : public ThreeFilesTest {
  protected:
    void SetUp() override {
        dropThree("wav");
        showActive();
    }
    void undo() { pressKey(form->ListView1, Qt::Key_Z, Qt::ControlModifier); }
    void deleteEntry(int entry) {
        form->DeleteReady = true; // the pause between deletes is tested elsewhere
        form->PlayNew(entry);
        form->PushButton6_Click();
    }
    void expectAllBack() {
        EXPECT_TRUE(QFile::exists(a) && QFile::exists(b) && QFile::exists(c));
        EXPECT_TRUE(trashedNames().isEmpty()) << "the Trash copy and its info are gone";
        EXPECT_EQ(listTexts(), QStringList({"a.wav", "b.wav", "c.wav"}));
        EXPECT_EQ(playlistPaths(), QStringList({a, b, c}));
        EXPECT_EQ(stored("ListCount"), "3") << "the undo saves";
        EXPECT_EQ(stored("Song1"), b);
    }
};

TEST_F(UndoDeleteTest, CtrlZAfterEachDeleteRouteBringsTheFileBackPlayingInItsPlace) {
    const std::vector<std::pair<const char*, std::function<void()>>> routes = {
        {"the button", [&] { form->PushButton6->click(); }},
        {"a double-click", [&] { form->ListView1_DblClick(); }},
        {"Delete in the list", [&] { pressKey(form->ListView1, Qt::Key_Delete); }},
        {"Delete in the player", [&] { pressKey(form->WMPView, Qt::Key_Delete); }},
    };
    for (const auto& [route, run] : routes) {
        SCOPED_TRACE(route);
        form->DeleteReady = true;
        form->PlayNew(2);
        run();
        ASSERT_FALSE(QFile::exists(b));
        EXPECT_EQ(form->WMPView->notice(), "Sent to the Trash: b.wav \u2014 Ctrl+Z to undo");
        undo();
        expectAllBack();
        EXPECT_EQ(currentPath(), b) << "it plays, as a click on it would";
        EXPECT_EQ(selectedEntry(), 2);
        EXPECT_EQ(form->WMPView->notice(), "Restored: b.wav");
        EXPECT_TRUE(dialogs.shown.empty());
        form->WMP->setFullScreen(false);
    }
}

TEST_F(UndoDeleteTest, ThreeDeletesComeBackNewestFirstToTheirPlaces) {
    deleteEntry(2); // b
    deleteEntry(2); // c, which moved up
    deleteEntry(1); // a
    ASSERT_EQ(listTexts(), QStringList());
    undo();
    EXPECT_TRUE(QFile::exists(a));
    EXPECT_FALSE(QFile::exists(b) || QFile::exists(c)) << "one Ctrl+Z, one file";
    EXPECT_EQ(listTexts(), QStringList({"a.wav"}));
    undo();
    EXPECT_EQ(listTexts(), QStringList({"a.wav", "c.wav"}));
    EXPECT_EQ(currentPath(), c);
    undo();
    expectAllBack();
    EXPECT_EQ(currentPath(), b);
    undo(); // nothing left to undo
    expectAllBack();
}

TEST_F(UndoDeleteTest, NamesakesInTwoFoldersComeBackToTheirOwnFolders) {
    const QString x = makeFile("x/take.wav", "first");
    const QString y = makeFile("y/take.wav", "second");
    drop({x, y});   // after a, b and c
    deleteEntry(4); // x
    deleteEntry(4); // y, which moved up
    ASSERT_EQ(trashedNames().size(), 2);
    undo();
    EXPECT_TRUE(QFile::exists(y));
    EXPECT_FALSE(QFile::exists(x));
    QFile back(y);
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), "second") << "the newest delete, y's own file";
    undo();
    QFile first(x);
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), "first");
    EXPECT_EQ(playlistPaths(), QStringList({a, b, c, x, y}));
}

TEST_F(UndoDeleteTest, AnUndoThatCannotBeDoneMovesNothingSaysWhyAndLeavesTheStack) {
    struct Case {
        const char* what;
        std::function<void()> spoil;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"a new file took the name", [&] { makeFile("music/b.wav", "new"); }, "Another file"},
        {"the Trash was emptied", [&] { emptyTrash(); }, "no longer in the Trash"},
        // Then another program trashed a file under the same name: that one stays.
        {"emptied, and a file of another folder trashed",
         [&] {
             emptyTrash();
             RecordingDialogs quiet;
             ASSERT_TRUE(ShellDelete(makeFile("other/b.wav", "theirs"), 1, quiet));
         },
         "no longer in the Trash"},
        {"emptied, and a new file of that very path trashed",
         [&] {
             emptyTrash();
             RecordingDialogs quiet;
             ASSERT_TRUE(ShellDelete(makeFile("music/b.wav", "theirs"), 1, quiet));
         },
         "no longer in the Trash"},
        {"the folder is gone", [&] { QDir(dir.path() + "/music").removeRecursively(); }, "folder"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        dialogs.shown.clear();
        if (!QFile::exists(b))
            makeFile("music/b.wav");
        drop({b});
        deleteEntry(form->ListView1->Count());
        const QStringList listBefore = listTexts();
        each.spoil();
        const QStringList trashBefore = trashedNames();
        undo();
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_TRUE(dialogs.shown[0].text.contains(b)) << "names the file";
        EXPECT_TRUE(dialogs.shown[0].text.contains(each.reason))
            << dialogs.shown[0].text.toStdString();
        EXPECT_EQ(trashedNames(), trashBefore) << "nothing moved";
        EXPECT_EQ(listTexts(), listBefore);
        EXPECT_TRUE(form->Recycled.empty()) << "that delete left the stack";
        if (QString(each.what) == "a new file took the name") {
            QFile kept(b);
            ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
            EXPECT_EQ(kept.readAll(), "new") << "never replaced";
            QFile::remove(b);
        }
        emptyTrash();
    }
}

TEST_F(UndoDeleteTest, CtrlZInsideADialogOrHalfWayThroughAnAddOrDeleteDoesNothing) {
    deleteEntry(2);
    QDialog box(form.get());
    box.setModal(true);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
    QTest::keyClick(box.windowHandle(), Qt::Key_Z, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFile::exists(b));
    EXPECT_EQ(form->Recycled.size(), 1u);
    box.close();
    // An add or a delete that is changing the list (its box up, say) takes no undo.
    form->BusyUpdating = true;
    form->UndoDelete();
    form->BusyUpdating = false;
    EXPECT_FALSE(QFile::exists(b));
    EXPECT_EQ(listTexts(), QStringList({"a.wav", "c.wav"}));
    undo();
    EXPECT_TRUE(QFile::exists(b)) << "once the box is gone and the change done, Ctrl+Z works";
}

TEST_F(UndoDeleteTest, CtrlZAtFullScreenUndoes) {
    deleteEntry(2);
    form->WMP->setFullScreen(true);
    ASSERT_TRUE(QTest::qWaitForWindowActive(form->WMPView));
    QTest::keyClick(form->WMPView->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(b); }, 5000));
    form->WMP->setFullScreen(false);
}

// Another namesake takes the name expected for ours between the look and the trash.
TEST_F(FormTest, AFileWhoseExpectedTrashNameWasTakenMeanwhileIsStillFound) {
    const QString ours = makeFile("ours/take.one.wav", "ours");
    const QString other = makeFile("other/take.one.wav", "other");
    const trash::Expected expected = trash::expectedNames(ours);
    ASSERT_TRUE(ShellDelete(other, 1, dialogs));
    ASSERT_TRUE(ShellDelete(ours, 1, dialogs));
    ASSERT_EQ(trashedNames(), QStringList({"take.2.one.wav", "take.one.wav"}));
    const std::optional<SentFile> found = trash::findTrashed(ours, expected);
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->sentTo.endsWith("/files/take.2.one.wav"))
        << found->sentTo.toStdString();
    EXPECT_EQ(trash::restore(*found), QString());
    QFile back(ours);
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), "ours");
    EXPECT_EQ(trashedNames(), QStringList({"take.one.wav"})) << "the other stays in the Trash";
}

// A take recorded again under its old name and trashed again, with the name
// expected for it taken meanwhile: of the two entries recording that path, the
// newest comes back, whether the deletes were an hour or under a second apart.
TEST_F(FormTest, OfTwoTrashEntriesForOnePathTheNewestComesBack) {
    const QString info = qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/info/";
    for (const int secondsApart : {3600, 0}) {
        SCOPED_TRACE(secondsApart);
        emptyTrash();
        const QString path = makeFile("ours/take.wav", "old take");
        ASSERT_TRUE(ShellDelete(path, 1, dialogs));
        makeFile("ours/take.wav", "new take");
        const trash::Expected expected = trash::expectedNames(path);
        ASSERT_TRUE(ShellDelete(makeFile("other/take.wav", "theirs"), 1, dialogs));
        ASSERT_TRUE(ShellDelete(path, 1, dialogs));
        ASSERT_EQ(trashedNames(), QStringList({"take.2.wav", "take.3.wav", "take.wav"}));
        // The first delete's date set back; its info file keeps the older write time.
        QSettings newer(info + "take.3.wav.trashinfo", QSettings::IniFormat);
        const QDateTime when =
            QDateTime::fromString(newer.value("Trash Info/DeletionDate").toString(), Qt::ISODate);
        QFile older(info + "take.wav.trashinfo");
        const QDateTime written = QFileInfo(older).lastModified();
        ASSERT_TRUE(older.open(QIODevice::WriteOnly | QIODevice::Truncate));
        older.write("[Trash Info]\nPath=" + QUrl::toPercentEncoding(path, "/") + "\nDeletionDate=" +
                    when.addSecs(-secondsApart).toString(Qt::ISODate).toLatin1() + "\n");
        ASSERT_TRUE(older.flush());
        ASSERT_TRUE(older.setFileTime(written, QFileDevice::FileModificationTime));
        older.close();

        const std::optional<SentFile> found = trash::findTrashed(path, expected);
        ASSERT_TRUE(found);
        EXPECT_TRUE(found->sentTo.endsWith("/files/take.3.wav"))
            << found->sentTo.toStdString();
        EXPECT_EQ(trash::restore(*found), QString());
        QFile back(path);
        ASSERT_TRUE(back.open(QIODevice::ReadOnly));
        EXPECT_EQ(back.readAll(), "new take");
        QFile::remove(path);
    }
}

// A drive of its own: a small ext4 image, loop-mounted. Needs root.
class DriveTrashTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "mounting a drive image needs root";
        image = dir.path() + "/drive.img";
        mountPoint = dir.path() + "/drive";
        QDir().mkpath(mountPoint);
        if (QProcess::execute("truncate", {"-s", "8M", image}) != 0 ||
            QProcess::execute("mkfs.ext4", {"-q", "-F", image}) != 0 ||
            QProcess::execute("mount", {"-o", "loop", image, mountPoint}) != 0)
            GTEST_SKIP() << "this machine cannot loop-mount a drive image";
        mounted = true;
    }
    void TearDown() override {
        if (mounted)
            QProcess::execute("umount", {mountPoint});
    }
    QTemporaryDir dir;
    QString image, mountPoint;
    bool mounted = false;
    RecordingDialogs dialogs;
};

TEST_F(DriveTrashTest, AFileTrashedToTheDrivesOwnTrashComesBack) {
    const QString path = mountPoint + "/music/take one.wav";
    QDir().mkpath(mountPoint + "/music");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("RIFF");
    file.close();
    TrashUndo undo;
    ASSERT_TRUE(undo.trash(path, dialogs))
        << (dialogs.shown.empty() ? "" : dialogs.shown[0].text.toStdString());
    ASSERT_FALSE(QFile::exists(path));
    ASSERT_EQ(undo.size(), 1u);
    const SentFile trashed = undo.takeNewest();
    EXPECT_TRUE(trashed.sentTo.startsWith(mountPoint + "/.Trash"))
        << trashed.sentTo.toStdString();
    EXPECT_EQ(trash::restore(trashed), QString());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_FALSE(QFile::exists(trashed.infoPath));
}

} // namespace
