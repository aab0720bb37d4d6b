#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "recycle/move_file.h"
#include "support/form_fixture.h"
#include "support/test_drive.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(not there)");
}

// Sorting through the real window and keys: a, b and c in music/, Ctrl+N to a
// folder bound in the settings file beforehand.
class MoveToFolderTest : public ThreeFilesTest {
  protected:
    void SetUp() override {
        keep = dir.path() + "/sorted/Keep";
        QDir().mkpath(keep);
        bindInFile(1, keep);
        restart(); // the binding is read at start-up, as the program's next start would
        dropThree("wav");
        showActive();
    }
    void TearDown() override {
        if (!mounted.isEmpty())
            ::umount(QFile::encodeName(mounted).constData());
    }
    static void bindInFile(int number, const QString& folder) {
        QSettings file(settingsFile(), QSettings::IniFormat);
        file.setValue(QStringLiteral("Folders/%1").arg(number), folder);
    }
    // Bound as the folder chooser does.
    void bind(int number, const QString& folder) {
        picker.folderAnswer = folder;
        ASSERT_TRUE(form->ChooseFolderFor(number));
        picker.asked.clear();
    }
    void ctrl(int digit, Qt::KeyboardModifiers more = Qt::NoModifier) {
        pressKey(form->ListView1, Qt::Key(Qt::Key_0 + digit), Qt::ControlModifier | more);
    }
    void moveEntry(int entry, int digit = 1) {
        form->DeleteReady = true; // the pause between moves is tested on its own
        form->PlayNew(entry);
        ctrl(digit);
    }
    void undo() { pressKey(form->ListView1, Qt::Key_Z, Qt::ControlModifier); }
    // A copy to another drive runs on a worker, behind everything else on a
    // busy machine; its end comes through the event loop.
    void waitForCopies() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Copies->busy(); }, 90000));
    }
    // A folder on a file system of its own (a tmpfs), where this machine can make one.
    QString otherDrive(const char* options = nullptr) {
        const QString at = dir.path() + "/other";
        QDir().mkpath(at);
        if (::mount("tmpfs", QFile::encodeName(at).constData(), "tmpfs", 0, options) != 0)
            return {};
        mounted = at;
        return at;
    }
    // Ctrl+2 bound to another drive and a big file (sparse: read fast, but a
    // good while to write) added as entry 4; empty when no drive can be made.
    QString otherDriveAndABigFile(qint64 size = qint64(1) << 30) {
        const QString drive = otherDrive();
        if (drive.isEmpty())
            return {};
        bind(2, drive);
        big = makeFile("music/big.wav");
        EXPECT_TRUE(QFile(big).resize(size));
        drop({big}); // a, b, c, big
        return drive;
    }
    QString keep, mounted, big;
};

TEST_F(MoveToFolderTest, CtrlOneMovesThePlayingFileAndTheNextPlaysAsAfterADelete) {
    moveEntry(2);
    EXPECT_FALSE(QFile::exists(b));
    EXPECT_EQ(contentOf(keep + "/b.wav"), "RIFF");
    EXPECT_EQ(listTexts(), QStringList({"a.wav", "c.wav"}));
    EXPECT_EQ(playlistPaths(), QStringList({a, c}));
    EXPECT_EQ(currentPath(), c);
    EXPECT_EQ(selectedEntry(), 2);
    EXPECT_FALSE(form->WMP->fullScreen());
    EXPECT_EQ(form->WMPView->notice(), "Moved to Keep: b.wav \u2014 Ctrl+Z to undo");
    EXPECT_EQ(stored("ListCount"), "2") << "saved as after a delete";
    EXPECT_EQ(stored("Song1"), c);
    EXPECT_TRUE(trashedNames().isEmpty());
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(form->WMPView->folderKeysText(), "Ctrl+1 Keep");

    // At full screen, where the player's own window has the keys. The entry
    // that came up goes only once it has played a moment.
    form->DeleteReady = true;
    form->WMP->setFullScreen(true);
    ASSERT_TRUE(QTest::qWaitForWindowActive(form->WMPView));
    pressKey(form->WMPView, Qt::Key_1, Qt::ControlModifier);
    EXPECT_TRUE(QFile::exists(c)) << "a file barely heard was moved";
    EXPECT_EQ(form->WMPView->notice(), "Not heard yet: move ignored");
    hearPlaying();
    pressKey(form->WMPView, Qt::Key_1, Qt::ControlModifier);
    EXPECT_TRUE(QFile::exists(keep + "/c.wav"));
    EXPECT_EQ(listTexts(), QStringList({"a.wav"}));
    form->WMP->setFullScreen(false);
}

TEST_F(MoveToFolderTest, ATakenNameGetsTheFirstFreeNumberAndNothingIsOverwritten) {
    QFile::copy(makeFile("elsewhere/b.wav", "theirs"), keep + "/b.wav");
    QFile::copy(makeFile("elsewhere/b (2).wav", "theirs too"), keep + "/b (2).wav");
    moveEntry(2);
    EXPECT_EQ(contentOf(keep + "/b.wav"), "theirs");
    EXPECT_EQ(contentOf(keep + "/b (2).wav"), "theirs too");
    EXPECT_EQ(contentOf(keep + "/b (3).wav"), "RIFF");
    EXPECT_EQ(form->WMPView->notice(),
              "Moved to Keep: b.wav, as b (3).wav (the name was taken) \u2014 Ctrl+Z to undo");
    undo();
    EXPECT_EQ(contentOf(b), "RIFF") << "it comes back under its own name";
    EXPECT_FALSE(QFile::exists(keep + "/b (3).wav"));
}

TEST_F(MoveToFolderTest, AMoveToAnotherDriveCopiesSyncsAndRemovesTheSourceOnlyThen) {
    const QString drive = otherDrive();
    if (drive.isEmpty())
        GTEST_SKIP() << "this machine cannot mount a second file system (needs root)";
    bind(2, drive);
    makeFile("music/b.wav", QByteArray(3 << 20, 'x')); // larger than one copy buffer
    // What a copy a kill cut off left there goes before the next copy in.
    const QString cutOff = drive + "/.a.wav.part-" + QString::number(endedProcess());
    QFile(cutOff).open(QIODevice::WriteOnly);
    moveEntry(2, 2);
    waitForCopies();
    EXPECT_FALSE(QFile::exists(b));
    EXPECT_EQ(contentOf(drive + "/b.wav"), QByteArray(3 << 20, 'x'));
    EXPECT_EQ(QDir(drive).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"b.wav"}))
        << "no temporary copy is left";
    undo();
    waitForCopies(); // back across drives by a copy, too
    EXPECT_EQ(contentOf(b), QByteArray(3 << 20, 'x'));
    EXPECT_FALSE(QFile::exists(drive + "/b.wav"));
    EXPECT_EQ(currentPath(), b);

    // A symbolic link moves as the link itself, and comes back as one.
    const QString link = dir.path() + "/music/link.wav";
    ASSERT_TRUE(QFile::link(c, link));
    drop({link});
    moveEntry(form->ListView1->Count(), 2);
    waitForCopies();
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo(drive + "/link.wav").isSymLink()) << "a copy of what it points at";
    EXPECT_EQ(QFileInfo(drive + "/link.wav").symLinkTarget(), c);
    EXPECT_EQ(contentOf(c), "RIFF");
    undo();
    waitForCopies();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), c);
    EXPECT_FALSE(QFileInfo(drive + "/link.wav").isSymLink() ||
                 QFileInfo::exists(drive + "/link.wav"));
}

// A kill in the middle of a copy or a save leaves a hidden temporary; the
// next start removes those beside the settings file, in the bound folders and
// beside the list's files, once their process is gone.
TEST_F(MoveToFolderTest, TheNextStartRemovesTemporariesAKillLeft) {
    const QString gone = QString::number(endedProcess());
    const QStringList left = {
        keep + "/.x.wav.part-" + gone,
        dir.path() + "/music/.b.wav.part-" + gone,
        QFileInfo(settingsFile()).absolutePath() + "/.Kestrelin.conf.q1w2.part-" + gone,
    };
    for (const QString& path : left)
        ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly));
    form->SaveListAndOptions(); // the list the next start restores
    ASSERT_EQ(stored("ListCount"), "3");
    restart();
    for (const QString& path : left)
        EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(path); }, 10000))
            << path.toStdString();
    EXPECT_EQ(contentOf(b), "RIFF");
}

// A copy to another drive runs beside the window: the entry leaves at the
// press, the next file plays, and the player's screen shows how far it is.
// Esc, Ctrl+Z or a close that cancels it leaves the file where it was, nothing
// in the target, and its entry back in its place; a close may also wait for it.
TEST_F(MoveToFolderTest, ACopyToAnotherDriveRunsBesideTheWindowAndMayBeCancelled) {
    const QString drive = otherDriveAndABigFile();
    if (drive.isEmpty())
        GTEST_SKIP() << "this machine cannot mount a second file system (needs root)";
    const QStringList all = {"a.wav", "b.wav", "c.wav", "big.wav"};
    const auto startCopy = [&] {
        moveEntry(4, 2);
        ASSERT_TRUE(form->Copies->busy());
        EXPECT_EQ(listTexts(), QStringList({"a.wav", "b.wav", "c.wav"}));
        EXPECT_EQ(currentPath(), a) << "the next entry plays at once";
        EXPECT_TRUE(form->WMPView->activityText().startsWith("Moving to other\u2026 "))
            << form->WMPView->activityText().toStdString();
    };
    const auto nothingMoved = [&] {
        EXPECT_EQ(QFileInfo(big).size(), qint64(1) << 30);
        EXPECT_EQ(QDir(drive).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList())
            << "a partial copy is left";
        EXPECT_EQ(listTexts(), all) << "its entry is back in its place";
        EXPECT_TRUE(form->Recycled.empty());
        EXPECT_EQ(form->WMPView->notice(), "Move to other cancelled: big.wav");
        EXPECT_EQ(form->WMPView->activityText(), "");
    };
    const struct {
        const char* what;
        std::function<void()> cancel;
    } routes[] = {
        {"Esc", [&] { pressKey(form->ListView1, Qt::Key_Escape); }},
        {"Ctrl+Z", [&] { undo(); }},
    };
    for (const auto& route : routes) {
        SCOPED_TRACE(route.what);
        startCopy();
        route.cancel();
        waitForCopies();
        nothingMoved();
        EXPECT_EQ(currentPath(), a) << "nothing new plays";
    }

    // Closing during the copy asks; "Cancel the copy" leaves nothing half moved.
    startCopy();
    dialogs.choice = 1;
    form->close();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].text,
              "A file is still being copied to other. [Wait / Cancel the copy]");
    EXPECT_FALSE(form->Copies->busy());
    nothingMoved();
    EXPECT_EQ(endProgramCalls, 1);

    // "Wait": the window stays until the copy is done, then closes by itself.
    restart();
    bind(2, drive);
    showActive();
    ASSERT_EQ(listTexts(), all);
    startCopy();
    dialogs.choice = 0;
    const int ended = endProgramCalls;
    form->close();
    EXPECT_EQ(endProgramCalls, ended) << "closed before the copy was done";
    // As long as any copy may take on a busy machine (see waitForCopies).
    EXPECT_TRUE(QTest::qWaitFor([&] { return endProgramCalls == ended + 1; }, 90000));
    EXPECT_FALSE(QFile::exists(big));
    EXPECT_EQ(QFileInfo(drive + "/big.wav").size(), qint64(1) << 30);
}

// Ctrl+Z of a move to another drive copies the file back beside the window, as
// the move did: the list is as it was until the copy is whole, and Esc stops
// it, leaving the file where it was moved and the move still to be undone.
// Ctrl+Z (or Esc) while a copy to another drive has written its last byte and
// is putting the file in place: either the copy stops, or it stands and the
// undo takes it back once it is recorded. The press is never lost.
TEST_F(MoveToFolderTest, CtrlZAsACopyEndsIsNeverLost) {
    if (!TestDrive::usable())
        GTEST_SKIP() << "the test drive needs /dev/fuse and root";
    TestDrive drive;
    ASSERT_TRUE(drive.mounted());
    bind(2, drive.path());
    const QString take = makeFile("music/take.wav");
    ASSERT_TRUE(QFile(take).resize(512 << 10));
    drop({take});   // a, b, c, take
    drive.slow(30); // each call of the copy waits: its last steps take a while
    moveEntry(4, 2);
    ASSERT_TRUE(form->Copies->busy());
    // Once the whole copy is written, the drive stops answering for a moment.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (const QFileInfo& file :
                 QDir(drive.backing()).entryInfoList(QDir::Files | QDir::Hidden))
                if (file.fileName() != ".mounted" && file.size() == (512 << 10))
                    return true;
            return false;
        },
        30000));
    drive.hang();
    undo();
    drive.slow(0);
    drive.answer();
    waitForCopies();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(take).size() == (512 << 10); }, 30000))
        << "the file is not back";
    waitForCopies(); // an undo that copies back runs as a copy too
    EXPECT_EQ(QDir(drive.backing()).entryList(QDir::Files | QDir::Hidden), QStringList{".mounted"})
        << "nothing of the copy is left on the drive";
    EXPECT_EQ(listTexts(), QStringList({"a.wav", "b.wav", "c.wav", "take.wav"}));
}

TEST_F(MoveToFolderTest, AnUndoFromAnotherDriveCopiesBackBesideTheWindow) {
    const qint64 size = qint64(256) << 20;
    const QString drive = otherDriveAndABigFile(size);
    if (drive.isEmpty())
        GTEST_SKIP() << "this machine cannot mount a second file system (needs root)";
    moveEntry(4, 2);
    waitForCopies();
    ASSERT_EQ(QFileInfo(drive + "/big.wav").size(), size);
    const QStringList left = {"a.wav", "b.wav", "c.wav"};
    const QString playing = currentPath();
    const QString music = dir.path() + "/music";

    undo();
    ASSERT_TRUE(form->Copies->busy());
    EXPECT_TRUE(form->WMPView->activityText().startsWith("Moving to music\u2026 "))
        << form->WMPView->activityText().toStdString();
    EXPECT_EQ(listTexts(), left) << "in the list before it is home";
    EXPECT_EQ(currentPath(), playing);
    pressKey(form->ListView1, Qt::Key_Escape);
    waitForCopies();
    EXPECT_EQ(QFileInfo(drive + "/big.wav").size(), size);
    EXPECT_FALSE(QFile::exists(big));
    EXPECT_EQ(QDir(music).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"a.wav", "b.wav", "c.wav"}))
        << "a partial copy is left";
    EXPECT_EQ(listTexts(), left);
    EXPECT_EQ(form->WMPView->notice(), "Undo cancelled: big.wav");
    EXPECT_FALSE(form->Recycled.empty()) << "the move can still be undone";

    undo();
    waitForCopies();
    EXPECT_EQ(QFileInfo(big).size(), size);
    EXPECT_FALSE(QFile::exists(drive + "/big.wav"));
    EXPECT_EQ(listTexts(), left + QStringList{"big.wav"});
    EXPECT_EQ(currentPath(), big);
    EXPECT_EQ(form->WMPView->notice(), "Restored: big.wav");
    EXPECT_TRUE(form->Recycled.empty());
    EXPECT_TRUE(dialogs.shown.empty());
}

// Ctrl+Z pressed as a copy to another drive ends, before the window has heard
// of its end, takes that move back: it is not lost on a copy that can no
// longer be stopped.
TEST_F(MoveToFolderTest, CtrlZJustAsACopyEndsTakesThatMoveBack) {
    const QString drive = otherDrive();
    if (drive.isEmpty())
        GTEST_SKIP() << "this machine cannot mount a second file system (needs root)";
    bind(2, drive);
    ASSERT_TRUE(QFile(b).resize(qint64(256) << 20)); // a copy long enough to catch it under way
    moveEntry(2, 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Copies->busy(); }, 10000));
    // No events meanwhile: the copy's answer waits in the queue.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!form->Copies->newestHasEnded() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(form->Copies->newestHasEnded());
    form->UndoDelete(); // what Ctrl+Z runs, at once
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(b) && !form->Copies->busy(); }, 20000))
        << "the move was not taken back";
    EXPECT_FALSE(QFile::exists(drive + "/b.wav"));
    EXPECT_EQ(currentPath(), b);
}

TEST_F(MoveToFolderTest, AFailedMoveLeavesTheFileAndItsEntryAndSaysWhy) {
    // Read-only: a read-only file system for root (who may write anywhere else).
    QString readOnly;
    if (::geteuid() == 0) {
        readOnly = otherDrive("size=1m");
        if (!readOnly.isEmpty())
            ::mount(nullptr, QFile::encodeName(readOnly).constData(), nullptr,
                    MS_REMOUNT | MS_RDONLY, nullptr);
    } else {
        readOnly = dir.path() + "/locked";
        QDir().mkpath(readOnly);
        ::chmod(QFile::encodeName(readOnly).constData(), 0555);
    }
    if (readOnly.isEmpty())
        GTEST_SKIP() << "no read-only folder can be made here";
    bind(3, readOnly);
    moveEntry(2, 3);
    waitForCopies();
    EXPECT_EQ(contentOf(b), "RIFF");
    EXPECT_EQ(listTexts(), QStringList({"a.wav", "b.wav", "c.wav"}));
    EXPECT_EQ(playlistPaths(), QStringList({a, b, c}));
    // Refused at once, the file plays on; a copy to another drive that failed
    // leaves playing the file that came up at the press.
    EXPECT_EQ(currentPath(), ::geteuid() == 0 ? c : b);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith("Could not move \"" + b + "\" to " + readOnly))
        << dialogs.shown[0].text.toStdString();
    EXPECT_TRUE(dialogs.shown[0].text.contains(::geteuid() == 0 ? "read-only" : "permission"));
    EXPECT_EQ(form->WMPView->notice(), "Not moved: b.wav");
    EXPECT_TRUE(form->Recycled.empty()) << "nothing to undo";
}

TEST_F(MoveToFolderTest, AFolderThatIsGoneIsNotMadeAgainAndMayBeChosenAnew) {
    QDir(keep).removeRecursively();
    const QString other = dir.path() + "/sorted/Other";
    QDir().mkpath(other);
    dialogs.answerYes = true;
    picker.folderAnswer = other;
    moveEntry(2);
    EXPECT_FALSE(QFileInfo::exists(keep)) << "never re-created behind the user's back";
    EXPECT_EQ(contentOf(b), "RIFF");
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_TRUE(dialogs.questions[0].text.contains(keep));
    EXPECT_EQ(picker.asked, QStringList({"Folder for Ctrl+1"}));
    EXPECT_EQ(form->BoundFolders[1], other);
    EXPECT_EQ(form->WMPView->folderKeysText(), "Ctrl+1 Other");
    form->DeleteReady = true;
    form->PlayNew(2);
    ctrl(1);
    EXPECT_TRUE(QFile::exists(other + "/b.wav")) << "the next Ctrl+1 goes to the new folder";
}

// A key as X delivers it, stamped with the time of its event.
void sendKey(QEvent::Type type, quint64 at, bool markedRepeat = false) {
    QKeyEvent key(type, Qt::Key_1, Qt::ControlModifier, QString(), markedRepeat);
    key.setTimestamp(at);
    QApplication::sendEvent(QApplication::focusWidget(), &key);
}

TEST_F(MoveToFolderTest, AHeldKeyOrAPressWithinThePauseMovesOneFile) {
    const auto kept = [&] { return QDir(keep).entryList(QDir::Files); };
    form->PlayNew(1);
    form->DeleteReady = true;
    sendKey(QEvent::KeyPress, 1000);
    ASSERT_EQ(kept(), QStringList({"a.wav"}));
    // The key held, past the pause: repeats marked as such, unmarked presses
    // with no release between them, and a release and a press of one time
    // stamp, as X sends them on a busy machine. None of them moves a file.
    form->Timer1_Timer();
    form->PlayNew(1);
    sendKey(QEvent::KeyPress, 1500, true);
    sendKey(QEvent::KeyPress, 1530);
    sendKey(QEvent::KeyRelease, 1560);
    sendKey(QEvent::KeyPress, 1560);
    EXPECT_EQ(kept(), QStringList({"a.wav"})) << "a held key moved a second file";
    // Let go and pressed again: that is a press.
    sendKey(QEvent::KeyRelease, 1600);
    sendKey(QEvent::KeyPress, 1700);
    EXPECT_EQ(kept(), QStringList({"a.wav", "b.wav"}));
    // A release that went to another program is never seen; once the program
    // lost the keyboard, the next press counts.
    form->Timer1_Timer();
    form->PlayNew(1);
    QApplicationStateChangeEvent away(Qt::ApplicationInactive);
    QApplication::sendEvent(qApp, &away);
    sendKey(QEvent::KeyPress, 1800);
    EXPECT_EQ(kept(), QStringList({"a.wav", "b.wav", "c.wav"}));
    sendKey(QEvent::KeyRelease, 1900);
}

TEST_F(MoveToFolderTest, ARefusedPressSaysWhyAndThePlayerPlaysOn) {
    form->PlayNew(1);
    form->DeleteReady = false;
    ctrl(1);
    EXPECT_EQ(QDir(keep).entryList(QDir::Files), QStringList());
    EXPECT_EQ(form->WMPView->notice(), "Too soon after the last one: move ignored");
    // And, as for Delete, nothing while a mouse button is held on the list.
    form->DeleteReady = true;
    form->ListMouseDown = true;
    ctrl(1);
    form->ListMouseDown = false;
    EXPECT_EQ(QDir(keep).entryList(QDir::Files), QStringList());
    EXPECT_EQ(form->WMPView->notice(), "Mouse button held on the list: move ignored");
    // The playing file renamed by another program: nothing to move, and the
    // player is never stopped for it.
    hearPlaying();
    ASSERT_TRUE(QFile::rename(a, dir.path() + "/music/a renamed.wav"));
    const int stops = engine->stops;
    const qsizetype starts = engine->played.size();
    ctrl(1);
    EXPECT_EQ(form->WMPView->notice(), "a.wav is not in its folder any more; nothing was moved");
    EXPECT_EQ(engine->stops, stops) << "stopped for a move that could not be";
    EXPECT_EQ(engine->played.size(), starts) << "started again from its beginning";
    EXPECT_EQ(form->WMP->playState(), Player::Playing);
    EXPECT_EQ(listTexts(), QStringList({"a.wav", "b.wav", "c.wav"}));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(form->Recycled.empty());
}

TEST_F(MoveToFolderTest, EveryEntryOfTheFileLeavesWithItAndCtrlZBringsThemAllBack) {
    drop({b}); // a, b, c, b
    const QStringList twice = {"a.wav", "b.wav", "c.wav", "b.wav"};
    ASSERT_EQ(listTexts(), twice);
    for (const bool toTrash : {false, true}) {
        SCOPED_TRACE(toTrash ? "sent to the Trash" : "moved to a folder");
        form->DeleteReady = true;
        form->PlayNew(2);
        if (toTrash)
            form->PushButton6_Click();
        else
            ctrl(1);
        ASSERT_FALSE(QFile::exists(b));
        EXPECT_EQ(listTexts(), QStringList({"a.wav", "c.wav"})) << "an entry names nothing";
        EXPECT_EQ(playlistPaths(), QStringList({a, c}));
        EXPECT_EQ(currentPath(), c) << "the entry that moved up plays";
        undo();
        ASSERT_TRUE(QFile::exists(b));
        EXPECT_EQ(listTexts(), twice);
        EXPECT_EQ(playlistPaths(), QStringList({a, b, c, b}));
        EXPECT_EQ(selectedEntry(), 2) << "the one that played comes back playing";
        EXPECT_EQ(currentPath(), b);
    }
}

TEST_F(MoveToFolderTest, CtrlZTakesBackMovesAndDeletesAlikeNewestFirst) {
    form->DeleteReady = true;
    form->PlayNew(1);
    form->PushButton6_Click(); // a to the Trash
    moveEntry(1);              // b, which moved up, to Keep
    ASSERT_EQ(listTexts(), QStringList({"c.wav"}));
    undo();
    EXPECT_EQ(contentOf(b), "RIFF");
    EXPECT_FALSE(QFile::exists(keep + "/b.wav"));
    EXPECT_EQ(listTexts(), QStringList({"b.wav", "c.wav"}));
    EXPECT_EQ(currentPath(), b) << "it plays, as an undone delete does";
    undo();
    EXPECT_TRUE(QFile::exists(a));
    EXPECT_EQ(listTexts(), QStringList({"a.wav", "b.wav", "c.wav"}));

    // The other way round: a move, then a delete.
    moveEntry(3); // c
    form->DeleteReady = true;
    form->PlayNew(1);
    form->PushButton6_Click(); // a
    undo();
    EXPECT_TRUE(QFile::exists(a));
    EXPECT_FALSE(QFile::exists(c));
    undo();
    EXPECT_TRUE(QFile::exists(c));
    EXPECT_EQ(listTexts(), QStringList({"a.wav", "b.wav", "c.wav"}));
    EXPECT_TRUE(trashedNames().isEmpty());
}

TEST_F(MoveToFolderTest, AnUndoOfAMoveNeverReplacesAndRefusesAChangedFile) {
    struct Case {
        const char* what;
        std::function<void()> spoil;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"a new file took the old name", [&] { makeFile("music/b.wav", "new"); }, "Another file"},
        {"the moved file was changed", [&] { makeFile("sorted/Keep/b.wav", "edited"); },
         "no longer in"},
        {"the moved file was removed", [&] { QFile::remove(keep + "/b.wav"); }, "no longer in"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        dialogs.shown.clear();
        QFile::remove(keep + "/b.wav");
        if (!QFile::exists(b))
            makeFile("music/b.wav");
        drop({b});
        moveEntry(form->ListView1->Count());
        ASSERT_TRUE(QFile::exists(keep + "/b.wav"));
        each.spoil();
        const QByteArray before = contentOf(b);
        undo();
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_TRUE(
            dialogs.shown[0].text.startsWith("Could not restore \"" + b + "\" from " + keep))
            << dialogs.shown[0].text.toStdString();
        EXPECT_TRUE(dialogs.shown[0].text.contains(each.reason));
        EXPECT_EQ(contentOf(b), before) << "never replaced";
        EXPECT_TRUE(form->Recycled.empty());
        QFile::remove(b);
    }
}

TEST_F(MoveToFolderTest, TheFirstPressOfAnUnboundNumberAsksForItsFolderAndTheBindingIsKept) {
    const QString drums = dir.path() + "/sorted/Drums";
    QDir().mkpath(drums);
    picker.folderAnswer.clear(); // cancelled: nothing happens
    moveEntry(2, 3);
    EXPECT_EQ(picker.asked, QStringList({"Folder for Ctrl+3"}));
    EXPECT_TRUE(QFile::exists(b));
    EXPECT_TRUE(form->BoundFolders[3].isEmpty());

    picker.folderAnswer = drums;
    moveEntry(2, 3);
    EXPECT_TRUE(QFile::exists(drums + "/b.wav"));
    EXPECT_EQ(form->WMPView->folderKeysText(), "Ctrl+1 Keep \u00b7 Ctrl+3 Drums");

    // Ctrl+Shift+1 binds again, and moves nothing.
    picker.folderAnswer = drums;
    form->DeleteReady = true;
    ctrl(1, Qt::ShiftModifier);
    EXPECT_EQ(picker.asked.last(), "Folder for Ctrl+1");
    EXPECT_EQ(listTexts(), QStringList({"a.wav", "c.wav"}));

    restart();
    EXPECT_EQ(form->BoundFolders[1], drums);
    EXPECT_EQ(form->BoundFolders[3], drums);
    EXPECT_EQ(form->WMPView->folderKeysText(), "Ctrl+1 Drums \u00b7 Ctrl+3 Drums");
    QSettings file(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(file.value("Folders/3").toString(), drums);
    EXPECT_EQ(file.value("Thrennic/ListCount").toString(), "2") << "the list's own keys stay";
    EXPECT_FALSE(file.contains("Thrennic/1"));
}

TEST(MoveFileTest, NumberedNamesKeepTheExtension) {
    const std::vector<std::tuple<const char*, int, const char*>> names = {
        {"take 3.wav", 1, "take 3.wav"}, {"take 3.wav", 2, "take 3 (2).wav"},
        {"a.b.flac", 3, "a.b (3).flac"}, {"no extension", 2, "no extension (2)"},
        {".hidden", 2, ".hidden (2)"},
    };
    for (const auto& [name, n, expected] : names)
        EXPECT_EQ(moving::numberedName(name, n), expected) << name << " " << n;
}

} // namespace
