#include "platform/disk_call.h"
#include "playback/level_match.h"
#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "settings/settings_store.h"
#include "support/form_fixture.h"
#include "support/pipe_watch.h"
#include "support/test_drive.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTest>
#include <unistd.h>

namespace {

class RestoreTest : public FormTest {
  protected:
    // Writes the settings file as an earlier run would have left it.
    void saved(const QList<QPair<QString, QString>>& values) {
        QSettings file(settingsFile(), QSettings::IniFormat);
        for (const auto& [key, value] : values)
            file.setValue(QStringLiteral("Thrennic/") + key, value);
    }
};

TEST_F(RestoreTest, FirstRunRestoresNothingAndLeavesTheBoxesOff) {
    EXPECT_TRUE(listTexts().isEmpty());
    EXPECT_TRUE(form->FreshPlaylist);
    EXPECT_EQ(boxValue(*form->Check1), 0);
    EXPECT_EQ(boxValue(*form->Check2), 0);
    EXPECT_TRUE(engine->played.isEmpty());
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(form->DeleteReady);
    EXPECT_FALSE(form->BusyUpdating);
}

TEST_F(RestoreTest, ClosingSavesThePlayersOrderAndTheNextStartPlaysTheLastEntry) {
    const QString a = makeFile("a.mp3"), b = makeFile("b.mp3"), c = makeFile("c.mp3");
    drop({a, b, c});
    form->ListView1->SetEntry(1, QStringLiteral("c.mp3"), c); // the list's own order differs
    form->ListView1->SetEntry(3, QStringLiteral("a.mp3"), a);
    form->close();
    EXPECT_EQ(endProgramCalls, 1);
    EXPECT_EQ(stored("ListCount"), "3");
    EXPECT_EQ(stored("Song0"), a);
    EXPECT_EQ(stored("Song2"), c);
    EXPECT_EQ(stored("Shuffle"), "0");
    restart();
    EXPECT_EQ(listTexts(), QStringList({"a.mp3", "b.mp3", "c.mp3"}));
    EXPECT_EQ(playlistPaths(), QStringList({a, b, c}));
    EXPECT_EQ(currentPath(), c);
    EXPECT_EQ(selectedEntry(), 3);
    EXPECT_FALSE(form->FreshPlaylist);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(RestoreTest, AFileGoneSinceKeepsTheSavedIndexAsSlotForTheOthers) {
    const QString a = makeFile("a.mp3"), c = makeFile("c.mp3");
    saved({{"ListCount", "3"}, {"Song0", a}, {"Song1", dir.path() + "/gone.mp3"}, {"Song2", c}});
    restart();
    EXPECT_EQ(listTexts(), QStringList({"a.mp3", "c.mp3"}));
    ASSERT_EQ(form->MediaSlots.size(), 3u);
    EXPECT_TRUE(form->MediaSlots[0] && !form->MediaSlots[1] && form->MediaSlots[2]);
    EXPECT_EQ(currentPath(), c);
    EXPECT_TRUE(dialogs.shown.empty());
}

// A long list comes in after the window is up, and its files are looked for
// then; once the look answers, the list is what a short one would have been
// from the start. A drop or a save before that does not come before it.
TEST_F(RestoreTest, ALongListComesInAfterTheStartAndLosesItsMissingFilesWhenTheLookAnswers) {
    const int count = Form1::kRestoreAfterShowFrom;
    const QString take = makeFile("take.wav");
    QList<QPair<QString, QString>> values{{"ListCount", QString::number(count)}};
    QStringList expected, present;
    QList<int> gone;
    for (int i = 0; i < count; ++i) {
        QString path = dir.path() + QStringLiteral("/take %1.wav").arg(i);
        values.append({QStringLiteral("Song%1").arg(i), path});
        if (i == 1) {
            values.last().second = makeFile(".hidden.wav");
        } else if (i == 2) {
            QDir().mkpath(path);                                 // a folder under a file's name
        } else if (i != 0 && i != count / 2 && i != count - 1) { // the others are gone since
            ASSERT_EQ(
                ::link(QFile::encodeName(take).constData(), QFile::encodeName(path).constData()),
                0);
            expected << QFileInfo(path).fileName();
            present << path;
            continue;
        }
        gone << i;
    }
    const QString dropped = makeFile("dropped.wav");
    enum Meanwhile { Nothing, ADrop, AClose };
    for (const Meanwhile meanwhile : {Nothing, ADrop, AClose}) {
        SCOPED_TRACE(meanwhile == ADrop    ? "a drop first"
                     : meanwhile == AClose ? "a close first"
                                           : "");
        saved(values);
        restart();
        EXPECT_TRUE(form->RestorePending());
        if (meanwhile == AClose) {
            form->close();
            EXPECT_EQ(stored("ListCount"), QString::number(count)) << "a save lost the list";
            continue;
        }
        if (meanwhile == ADrop)
            form->OpenFiles({dropped});
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->RestorePending(); }, 20000));
        EXPECT_EQ(form->ListView1->Count(), count + (meanwhile == ADrop));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->LookingForRestoredFiles(); }, 20000));
        const QStringList after = meanwhile == ADrop ? QStringList{dropped} : QStringList{};
        EXPECT_EQ(listTexts(),
                  expected + (after.isEmpty() ? QStringList{} : QStringList{"dropped.wav"}));
        EXPECT_EQ(playlistPaths(), present + after);
        EXPECT_EQ(currentPath(), meanwhile == ADrop ? dropped : present.last());
        ASSERT_GE(form->MediaSlots.size(), size_t(count));
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(!form->MediaSlots[size_t(i)], gone.contains(i)) << "slot " << i;
        EXPECT_TRUE(dialogs.shown.empty());
        form->close();
        EXPECT_EQ(stored("ListCount"), QString::number(present.size() + after.size()));
    }
}

TEST_F(RestoreTest, EveryFileMissingStillInstallsThePlaylistAndEndsTheFreshState) {
    saved({{"ListCount", "2"}, {"Song0", "/nowhere/a.mp3"}, {"Song1", ""}});
    restart();
    EXPECT_TRUE(listTexts().isEmpty());
    EXPECT_EQ(form->WMP->currentPlaylist(), form->PlayerPlaylist);
    EXPECT_FALSE(form->FreshPlaylist);
}

TEST_F(RestoreTest, ACountThatIsNoNumberIsReportedAndRestoresNothing) {
    saved({{"ListCount", "lots"}, {"Song0", makeFile("a.mp3")}});
    restart();
    EXPECT_TRUE(listTexts().isEmpty());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith(
        "'lots' is not a number\r\nin Brackwater2021/08/31.Form1.Form_Load at line 142\r\r"));
    EXPECT_TRUE(form->FreshPlaylist);
}

TEST_F(RestoreTest, AHugeCountDoesNotHoldUpStartAndANegativeOneRestoresNothing) {
    const QString a = makeFile("a.mp3");
    saved({{"ListCount", "2000000000"}, {"Song0", a}});
    QElapsedTimer clock;
    clock.start();
    restart();
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(listTexts(), QStringList({"a.mp3"}));
    saved({{"ListCount", "-4"}});
    restart();
    EXPECT_TRUE(listTexts().isEmpty());
    EXPECT_TRUE(form->FreshPlaylist);
}

// A damaged or hostile file: restoring a slot numbered in the thousands of
// millions crashed the program at start.
TEST_F(RestoreTest, AKeyNumberedFarBeyondTheListIsLeftOutAndStartGoesOn) {
    const QString a = makeFile("a.mp3"), far = makeFile("far.mp3");
    saved({{"ListCount", "2000000000"}, {"Song0", a}, {"Song1999999999", far}});
    restart();
    EXPECT_EQ(listTexts(), QStringList({"a.mp3"}));
    EXPECT_EQ(form->MediaSlots.size(), 1u);
    EXPECT_EQ(currentPath(), a);
}

TEST_F(RestoreTest, SavedOptionsSwitchThePlayerModesAfterPlaybackStarted) {
    const QString a = makeFile("a.mp3");
    saved({{"ListCount", "1"}, {"Song0", a}, {"Shuffle", "1"}, {"Repeat", "0"}});
    restart();
    EXPECT_EQ(boxValue(*form->Check1), 1);
    EXPECT_TRUE(form->WMP->getMode("shuffle"));
    EXPECT_FALSE(form->WMP->getMode("loop"));
    EXPECT_EQ(engine->played, QStringList({a}));
}

TEST_F(RestoreTest, OptionValuesTheBoxesDoNotTakeAreReportedAndLeaveThemAsTheyWere) {
    saved({{"Shuffle", "7"}, {"Repeat", "yes"}});
    restart();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_TRUE(dialogs.shown[0].text.contains("Form_Load at line 176"));
    EXPECT_TRUE(dialogs.shown[1].text.contains("Form_Load at line 178"));
    EXPECT_EQ(boxValue(*form->Check1), 0);
    EXPECT_EQ(boxValue(*form->Check2), 0);
}

TEST_F(RestoreTest, OddPathsSurviveASaveAndARestoreByteForByte) {
    const QStringList names = {"with space.mp3",  "a=b;c#d.wav",          "it's \"quoted\".ogg",
                               "back\\slash.mp3", "comma, and more.flac", "naïve ünïcødé ☃.mp3",
                               "new\nline.wav",   "@Variant(odd).mp3",    "%percent%.mp3"};
    QStringList paths;
    for (const QString& n : names)
        paths << makeFile("odd dir [1]/" + n);
    drop(paths);
    form->close();
    restart();
    EXPECT_EQ(playlistPaths(), paths);
    EXPECT_EQ(listTexts(), names);
}

TEST_F(RestoreTest, AShorterListLeavesTheOldSongKeysBehindAndRestoresOnlyItsCount) {
    QStringList paths;
    for (int i = 0; i < 5; ++i)
        paths << makeFile(QStringLiteral("s%1.mp3").arg(i));
    drop(paths);
    form->SaveListAndOptions();
    for (int i = 0; i < 3; ++i) {
        form->PlayNew(1);
        form->del_list2(0);
    }
    form->SaveListAndOptions();
    EXPECT_EQ(stored("ListCount"), "2");
    EXPECT_EQ(stored("Song0"), paths[3]);
    EXPECT_EQ(stored("Song4"), paths[4]) << "stale keys stay";
    restart();
    EXPECT_EQ(listTexts(), QStringList({"s3.mp3", "s4.mp3"}));
}

TEST_F(RestoreTest, ASecondCloseDuringTheFirstNeitherSavesNorEndsTwice) {
    QObject::connect(form->WMP.get(), &Player::playStateChanged, [this] { form->close(); });
    drop({makeFile("a.mp3")});
    form->close(); // stopping the player on the way out asks to close again
    EXPECT_EQ(endProgramCalls, 1);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(RestoreTest, AFailureOfTheBoxesClickHandlingAtStartUpIsStartUpsOwnStep) {
    const QString a = makeFile("a.mp3"), b = makeFile("b.mp3");
    saved({{"ListCount", "2"}, {"Song0", a}, {"Song1", b}, {"Shuffle", "1"}, {"Repeat", "1"}});
    beforeLoad = [](FakeEngine& engine) { engine.failQueueing = true; };
    restart();
    // The restored entry plays, so switching a mode queues the next file, which fails.
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_TRUE(dialogs.shown[0].text.contains("Form1.Form_Load at line 176"))
        << dialogs.shown[0].text.toStdString();
    EXPECT_TRUE(dialogs.shown[1].text.contains("Form1.Form_Load at line 178"));
}

TEST_F(RestoreTest, ACloseWhileStartUpWaitsInABoxSavesNothing) {
    const QString a = makeFile("a.mp3");
    saved({{"ListCount", "one"}, {"Song0", a}});
    // A close that arrives while start-up waits in its error box (a termination signal, say).
    struct ClosingDialogs : RecordingDialogs {
        std::function<void()> onShow;
        void showMessage(const QString& text, const QString& title, MessageIcon icon) override {
            RecordingDialogs::showMessage(text, title, icon);
            if (onShow)
                std::exchange(onShow, nullptr)();
        }
    } closing;
    form.reset();
    int ends = 0;
    Form1 window(Platform{std::make_unique<FakeEngine>(), closing, *store, picker, dir.path(),
                          [&] { ++ends; }, [](const QString&) { return true; }});
    closing.onShow = [&] { window.close(); };
    window.Form_Load();
    ASSERT_EQ(closing.shown.size(), 1u);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(stored("ListCount"), "one") << "the half-loaded state was not saved over the file";
    EXPECT_EQ(stored("Song0"), a);
}

TEST_F(RestoreTest, ToggledShuffleIsStoredOnClosing) {
    setBoxValue(*form->Check1, 1);
    form->close();
    EXPECT_EQ(stored("Shuffle"), "1");
}

// Through the quick writer, and through QSettings for a file only it may
// rewrite (a list value in it): the sound comes back as it was left.
TEST_F(RestoreTest, TheVolumeMuteAndLevelMatchingComeBackAtTheNextStartInTheirOwnGroup) {
    for (const bool onlyQSettings : {false, true}) {
        SCOPED_TRACE(onlyQSettings ? "through QSettings" : "the quick writer");
        if (onlyQSettings) {
            QSettings file(settingsFile(), QSettings::IniFormat);
            file.setValue("Thrennic/Listed", QStringList({"a", "b"}));
        }
        restart();
        form->WMP->setVolume(80);
        form->WMP->setMute(true);
        form->ToggleLevelMatch();
        form->close();
        restart();
        EXPECT_EQ(form->WMP->volume(), 80);
        EXPECT_TRUE(form->WMP->mute());
        EXPECT_TRUE(form->WMPView->levelMatch().on());
        QSettings file(settingsFile(), QSettings::IniFormat);
        EXPECT_EQ(file.value("Options/Volume").toString(), "80");
        EXPECT_EQ(file.value("Options/Mute").toString(), "1");
        EXPECT_EQ(file.value("Options/LevelMatch").toString(), "1");
        EXPECT_FALSE(file.contains("Thrennic/Volume")) << "the list's own group is not touched";
        form->WMP->setMute(false);
        form->ToggleLevelMatch();
        form->close();
        restart();
        EXPECT_FALSE(form->WMP->mute());
        EXPECT_FALSE(form->WMPView->levelMatch().on());
    }
    // Edited into something else: the player starts as it always did.
    QSettings file(settingsFile(), QSettings::IniFormat);
    file.setValue("Options/Volume", "loud");
    file.sync();
    restart();
    EXPECT_EQ(form->WMP->volume(), 50);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(RestoreTest, ASaveThatCannotBeStoredIsReportedAndClosingGoesOn) {
    drop({makeFile("a.mp3")});
    QDir().mkpath(settingsFile()); // a folder where the file belongs
    form->close();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains("Form1.Form_QueryUnload at line 100"));
    EXPECT_EQ(endProgramCalls, 1);
    QDir(settingsFile()).removeRecursively();
}

TEST_F(RestoreTest, AFolderWhereTheFileBelongsIsNeitherMovedAsideNorReplaced) {
    // Someone's folder: a damaged settings file is set aside, a folder never is.
    const QString inside = settingsFile() + "/notes.txt";
    QDir().mkpath(settingsFile());
    QFile notes(inside);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.close();
    restart();
    drop({makeFile("a.mp3")});
    EXPECT_NE(saveFailure(), "") << "a save reported success";
    EXPECT_NE(saveFailure(), "") << "a second save reported success";
    EXPECT_TRUE(QFileInfo(inside).isFile()) << "the folder was moved";
    QDir(settingsFile()).removeRecursively();
}

TEST_F(RestoreTest, APipeWhereTheFileBelongsNeitherHoldsUpStartNorASave) {
    QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
    {
        PipeWatch pipe(settingsFile());
        ASSERT_TRUE(pipe.made());
        restart();
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_TRUE(dialogs.shown[0].text.contains("not a file"))
            << dialogs.shown[0].text.toStdString();
        drop({makeFile("a.mp3")});
        const QString failure = saveFailure();
        EXPECT_TRUE(failure.contains("not a plain file")) << failure.toStdString();
        EXPECT_FALSE(pipe.readerWaited()) << "the pipe was opened and would have frozen the window";
    }
    form->SaveListAndOptions();
    EXPECT_EQ(stored("ListCount"), "1") << "once the pipe is gone, a save writes the file";
}

TEST_F(RestoreTest, ADamagedFileIsReportedOnceGivesAnEmptyListAndTheNextSaveMendsIt) {
    QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
    QFile file(settingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise.append(char((i * 7919 + 13) % 256));
    file.write(noise);
    file.close();
    restart();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains("Form_Load at line 142"));
    EXPECT_TRUE(listTexts().isEmpty());
    const QString a = makeFile("a.mp3");
    drop({a});
    EXPECT_EQ(saveFailure(), "");
    EXPECT_TRUE(QFile::exists(settingsFile() + ".damaged")) << "the damaged file is kept aside";
    restart();
    EXPECT_EQ(listTexts(), QStringList({"a.mp3"}));
    EXPECT_EQ(dialogs.shown.size(), 1u);
    QFile::remove(settingsFile() + ".damaged");
}

// A drive that is only slow is never taken for one that stopped answering, for
// a short list (looked at while the window waits) and a long one (looked at
// beside it). One that stops answering shows its entries at once, unmarked;
// they are marked only once it has said nothing for a while, and the mark goes
// as soon as it answers again.
TEST_F(RestoreTest, ASlowDriveMarksNothingAndADeadOneIsMarkedOnlyWhileItIsSilent) {
    if (!TestDrive::usable())
        GTEST_SKIP() << "needs /dev/fuse and root to mount the test drive";
    TestDrive drive;
    ASSERT_TRUE(drive.mounted());
    const QString local = makeFile("local.wav");
    for (const int count : {3, Form1::kRestoreAfterShowFrom}) {
        SCOPED_TRACE(count);
        QList<QPair<QString, QString>> values{{"ListCount", QString::number(count)}};
        QStringList onDrive;
        for (int i = 0; i < count - 1; ++i) {
            const QString folder = i % 2 ? QStringLiteral("/a") : QStringLiteral("/b");
            QDir().mkpath(drive.backing() + folder);
            const QString name = folder + QStringLiteral("/take %1 of %2.wav").arg(i).arg(count);
            QFile file(drive.backing() + name);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            onDrive << drive.path() + name;
            values.append({QStringLiteral("Song%1").arg(i), onDrive.last()});
        }
        values.append({QStringLiteral("Song%1").arg(count - 1), local});
        const auto marked = [&] {
            int marks = 0;
            for (int i = 1; i <= form->ListView1->Count(); ++i)
                marks += form->ListView1->EntryAt(i).notAnswering;
            return marks;
        };
        const auto shown = [&] {
            return !form->RestorePending() && form->ListView1->Count() == count;
        };

        drive.slow(300);
        saved(values);
        restart();
        ASSERT_TRUE(QTest::qWaitFor(shown, 20000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->LookingForRestoredFiles(); }, 30000));
        EXPECT_EQ(marked(), 0) << "a slow drive was taken for a dead one";
        EXPECT_EQ(form->ListView1->Count(), count) << "files on the slow drive were dropped";
        EXPECT_EQ(currentPath(), local);
        drive.slow(0);

        drive.hang();
        QElapsedTimer silent;
        silent.start();
        restart();
        EXPECT_EQ(marked(), 0) << "marked before the drive had been silent long";
        ASSERT_TRUE(QTest::qWaitFor(shown, 20000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return marked() == count - 1; }, 30000));
        EXPECT_GE(silent.elapsed(), disk::kSilentMs);
        EXPECT_FALSE(form->ListView1->EntryAt(count).notAnswering) << "the local file";
        drive.answer();
        EXPECT_TRUE(QTest::qWaitFor([&] { return marked() == 0; }, 30000))
            << "the marks stayed once the drive answered";
        EXPECT_EQ(form->ListView1->Count(), count);
        EXPECT_TRUE(dialogs.shown.empty());
    }
}

} // namespace
