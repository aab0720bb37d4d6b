#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"

#include <QApplication>
#include <QFile>
#include <QTest>

namespace {

class PlayNewTest : public ThreeFilesTest {
  protected:
    void SetUp() override { dropThree("mp3"); }
};

TEST_F(PlayNewTest, NumbersBeyondEitherEndWrapToTheOtherEnd) {
    form->PlayNew(0);
    EXPECT_EQ(currentPath(), c);
    form->PlayNew(-5);
    EXPECT_EQ(currentPath(), c);
    form->PlayNew(4);
    EXPECT_EQ(currentPath(), a);
    EXPECT_EQ(selectedEntry(), 1);
    form->PlayNew(1000000);
    EXPECT_EQ(currentPath(), a);
    form->PlayNew(2);
    EXPECT_EQ(currentPath(), b);
    EXPECT_EQ(selectedEntry(), 2);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(PlayNewTest, AnEmptyListTouchesNeitherPlayerNorSelection) {
    form->ListView1->Clear();
    const int plays = engine->played.size();
    form->PlayNew(1);
    EXPECT_EQ(engine->played.size(), plays);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(PlayNewTest, AMissingFilePausesTheOneSoundingStartsNothingAndStillSelects) {
    form->PlayNew(1);
    engine->startPlayback();
    QFile::remove(b);
    const int plays = engine->played.size();
    form->PlayNew(2);
    EXPECT_EQ(engine->played.size(), plays);
    EXPECT_EQ(form->WMP->playState(), Player::Paused);
    EXPECT_EQ(selectedEntry(), 2);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(PlayNewTest, OnlyTheTargetStaysSelected) {
    form->ListView1->setSelectionMode(QAbstractItemView::MultiSelection);
    form->ListView1->SetSelected(1, true);
    form->ListView1->SetSelected(3, true);
    form->PlayNew(2);
    EXPECT_EQ(selectedEntry(), 2);
}

TEST_F(PlayNewTest, NamesakesInOtherFoldersPlayTheirOwnFile) {
    const QString other = makeFile("elsewhere/a.mp3");
    drop({other});
    form->PlayNew(4);
    EXPECT_EQ(currentPath(), other);
    form->PlayNew(1);
    EXPECT_EQ(currentPath(), a);
}

TEST_F(PlayNewTest, AnEntryWhoseNameDiffersInLetterCaseOnlyStillPlays) {
    form->ListView1->SetEntry(2, QStringLiteral("B.MP3"), b);
    form->PlayNew(2);
    EXPECT_EQ(currentPath(), b);
}

TEST_F(PlayNewTest, FocusGoesToThePlayerUnlessTheProgramIsBusy) {
    showActive();
    form->BusyUpdating = true;
    form->PlayNew(1);
    EXPECT_EQ(QApplication::focusWidget(), form->ListView1);
    form->BusyUpdating = false;
    form->PlayNew(2);
    EXPECT_EQ(QApplication::focusWidget(), form->WMPView);
}

} // namespace
