#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"
#include "ui/push_button.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>

namespace {

class DeletePlayingTest : public ThreeFilesTest {
  protected:
    void SetUp() override { dropThree("wav"); }
};

TEST_F(DeletePlayingTest, TheButtonTrashesThePlayingFileAndPlaysTheOneThatMovedUp) {
    form->PlayNew(2);
    form->PushButton6->click();
    EXPECT_FALSE(QFile::exists(b));
    EXPECT_EQ(trashedFrom("b.wav"), b);
    EXPECT_EQ(listTexts(), QStringList({"a.wav", "c.wav"}));
    EXPECT_EQ(playlistPaths(), QStringList({a, c}));
    EXPECT_EQ(currentPath(), c);
    EXPECT_EQ(selectedEntry(), 2);
    EXPECT_EQ(stored("ListCount"), "2") << "the button saves";
    EXPECT_EQ(stored("Song1"), c);
    EXPECT_FALSE(form->BusyUpdating);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(DeletePlayingTest, DeletingTheLastEntryPlaysTheFirst) {
    form->PlayNew(3);
    form->PushButton6_Click();
    EXPECT_EQ(currentPath(), a);
    EXPECT_EQ(selectedEntry(), 1);
}

// The pause is counted from the press, however long the delete took; and the
// entry that came up goes only once it has played a moment, so a second press
// right after a slow delete never takes a file barely heard.
TEST_F(DeletePlayingTest, ASecondPressWithinThePauseOrBeforeTheNextFileIsHeardDoesNothing) {
    form->PlayNew(1);
    QElapsedTimer sinceDelete;
    sinceDelete.start();
    form->PushButton6_Click();
    ASSERT_FALSE(form->DeleteReady);
    form->PushButton6_Click();
    EXPECT_TRUE(QFile::exists(b)) << "a press within the pause took a file";
    EXPECT_EQ(form->WMPView->notice(), "Too soon after the last one: Delete ignored");
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->DeleteReady; }, 10000));
    // A loaded machine only makes the pause longer, never shorter.
    EXPECT_GE(sinceDelete.elapsed(), kDeletePauseMs);
    engine->startPlayback();
    form->PushButton6_Click();
    EXPECT_TRUE(QFile::exists(b)) << "the next file was taken as soon as it started";
    EXPECT_EQ(form->WMPView->notice(), "Not heard yet: Delete ignored");
    hearPlaying();
    form->PushButton6_Click();
    EXPECT_FALSE(QFile::exists(b));
    EXPECT_EQ(trashedNames(), QStringList({"a.wav", "b.wav"}));
}

TEST_F(DeletePlayingTest, WithShuffleOnTheNextEntryInListOrderPlays) {
    form->Check1->setChecked(true);
    form->PlayNew(1);
    form->PushButton6_Click();
    EXPECT_EQ(currentPath(), b);
}

TEST_F(DeletePlayingTest, TheOnlyEntryLeavesEverythingEmptyAndStopped) {
    for (int i = 0; i < 2; ++i) {
        form->PlayNew(1);
        form->del_list2(0);
    }
    form->PlayNew(1);
    form->deleteMedia();
    EXPECT_TRUE(listTexts().isEmpty());
    EXPECT_TRUE(playlistPaths().isEmpty());
    EXPECT_EQ(form->WMP->playState(), Player::Stopped);
    engine->startPlayback();
    EXPECT_FALSE(form->WMP->fullScreen());
    EXPECT_EQ(trashedNames(), QStringList({"c.wav"}));
}

TEST_F(DeletePlayingTest, AnEmptyListDeletesNothingAndSaysNothing) {
    form->ListView1->Clear();
    form->WMP->currentPlaylist()->clear();
    form->PushButton6_Click();
    form->deleteMedia();
    EXPECT_TRUE(trashedNames().isEmpty());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(DeletePlayingTest, NoSelectedEntryIsReportedOnceDeletesNothingAndPlaysTheLast) {
    form->PlayNew(1);
    form->ListView1->clearSelection();
    form->PushButton6_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains("Form1.DeleteToRBIN at line 106"));
    EXPECT_TRUE(trashedNames().isEmpty());
    EXPECT_EQ(listTexts().size(), 3);
    EXPECT_EQ(currentPath(), c);
}

TEST_F(DeletePlayingTest, AFileGoneBehindOurBackLeavesTheListQuietly) {
    form->PlayNew(1);
    QFile::remove(a);
    form->PushButton6_Click();
    EXPECT_EQ(listTexts(), QStringList({"b.wav", "c.wav"}));
    EXPECT_TRUE(trashedNames().isEmpty());
    EXPECT_EQ(currentPath(), b);
}

TEST_F(DeletePlayingTest, OnlyTheChosenNamesakeGoesToTheTrash) {
    const QString twin = makeFile("other/b.wav");
    drop({twin});
    form->PlayNew(4);
    form->PushButton6_Click();
    EXPECT_FALSE(QFile::exists(twin));
    EXPECT_TRUE(QFile::exists(b));
    EXPECT_EQ(trashedFrom("b.wav"), twin);
    EXPECT_EQ(currentPath(), a) << "after the last entry, entry 1";
}

TEST_F(DeletePlayingTest, ThePollsDeleteSavesAndGoesFullScreenOnceTheNextFilePlays) {
    form->PlayNew(1);
    engine->startPlayback();
    form->deleteMedia();
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(stored("ListCount"), "2");
    EXPECT_EQ(currentPath(), b);
    EXPECT_FALSE(form->WMP->fullScreen()) << "not before it plays";
    engine->startPlayback();
    EXPECT_TRUE(form->WMP->fullScreen());
    form->WMP->setFullScreen(false);
    engine->startPlayback();
    EXPECT_FALSE(form->WMP->fullScreen()) << "the wait was one-shot";
}

TEST_F(DeletePlayingTest, APollDeleteWithinThePauseStillSwitchesAPlayingPlayerToFullScreen) {
    form->PlayNew(1);
    form->PushButton6_Click();
    engine->startPlayback();
    form->deleteMedia();
    EXPECT_TRUE(QFile::exists(b));
    EXPECT_TRUE(form->WMP->fullScreen());
    form->WMP->setFullScreen(false);
}

} // namespace
