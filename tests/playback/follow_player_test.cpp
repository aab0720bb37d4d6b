#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"

#include <QApplication>
#include <QFile>
#include <QTest>

namespace {

class FollowPlayerTest : public ThreeFilesTest {
  protected:
    void SetUp() override {
        dropThree("wav");
        showActive();
    }
    void TearDown() override { form->WMP->setFullScreen(false); }
};

TEST_F(FollowPlayerTest, AtTheEndOfAnItemTheSelectionFollowsWithThePlayerFocused) {
    form->PlayNew(1);
    form->WMPView->setFocus();
    ASSERT_TRUE(form->PlayerHasFocus);
    engine->finishCurrent();
    EXPECT_EQ(selectedEntry(), 2);
    engine->playOn(0.6);
    form->PushButton6_Click();
    EXPECT_EQ(trashedNames(), QStringList({"b.wav"})) << "the file that was playing";
}

TEST_F(FollowPlayerTest, AtTheEndOfAnItemTheSelectionFollowsWithTheListFocusedToo) {
    form->BusyUpdating = true; // PlayNew leaves the focus on the list
    form->PlayNew(1);
    form->BusyUpdating = false;
    ASSERT_EQ(QApplication::focusWidget(), form->ListView1);
    engine->finishCurrent();
    EXPECT_EQ(selectedEntry(), 2);
    engine->playOn(0.6);
    form->PushButton6_Click();
    EXPECT_EQ(trashedNames(), QStringList({"b.wav"}));
}

TEST_F(FollowPlayerTest, ThePlayersOwnNextKeyIsFollowed) {
    form->PlayNew(3);
    form->WMPView->setFocus();
    QTest::keyClick(form->windowHandle(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(currentPath(), a);
    EXPECT_EQ(selectedEntry(), 1);
}

TEST_F(FollowPlayerTest, TheEntryOfTheFileReallyPlayingIsSelectedAmongNamesakes) {
    const QString twin = makeFile("other/a.wav");
    drop({twin});
    form->PlayNew(3);
    engine->finishCurrent(); // the player moves on to the 4th item, other/a.wav
    EXPECT_EQ(currentPath(), twin);
    EXPECT_EQ(selectedEntry(), 4);
}

TEST_F(FollowPlayerTest, AnItemWithoutEntryLeavesNoEntrySelectedSoDeleteTakesNoFile) {
    form->PlayNew(1);
    QFile::remove(b);
    engine->finishCurrent();
    EXPECT_EQ(selectedEntry(), 0) << "the finished file's entry is not taken for the playing one";
    EXPECT_TRUE(dialogs.shown.empty());
    form->DeleteToRBINNoPrompt();
    EXPECT_TRUE(QFile::exists(a));
    EXPECT_TRUE(trashedNames().isEmpty());
}

TEST_F(FollowPlayerTest, ADoubleClickOnThePlayerGoesFullScreenOnlyWhilePlaying) {
    form->PlayNew(1);
    form->WMP->pause();
    QTest::mouseDClick(form->WMPView->childAt(100, 100), Qt::LeftButton);
    EXPECT_FALSE(form->WMP->fullScreen());
    form->WMP->play();
    engine->startPlayback();
    QTest::mouseDClick(form->WMPView->childAt(100, 100), Qt::LeftButton);
    EXPECT_TRUE(form->WMP->fullScreen());
}

} // namespace
