#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"

#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>

namespace {

class RemoveEntriesTest : public ThreeFilesTest {
  protected:
    void SetUp() override { dropThree("mp3"); }
};

TEST_F(RemoveEntriesTest, RemovingTheMiddleEntryPlaysTheNextAndKeepsTheFile) {
    form->PlayNew(2);
    form->PushButton5_Click();
    EXPECT_EQ(listTexts(), QStringList({"a.mp3", "c.mp3"}));
    EXPECT_EQ(playlistPaths(), QStringList({a, c}));
    EXPECT_EQ(currentPath(), c);
    EXPECT_TRUE(QFile::exists(b));
    EXPECT_EQ(stored("ListCount"), "2");
    EXPECT_FALSE(form->DeleteReady) << "no delete to the Trash right after a removal";
    EXPECT_TRUE(form->Timer1->isActive());
}

TEST_F(RemoveEntriesTest, RemovingTheLastEntryPlaysTheFirst) {
    form->PlayNew(3);
    form->PushButton5_Click();
    EXPECT_EQ(currentPath(), a);
}

TEST_F(RemoveEntriesTest, RemovingTheOnlyEntryEmptiesBothHalvesAndStopsIt) {
    form->PushButton8_Click();
    drop({a});
    engine->startPlayback();
    form->PushButton5_Click();
    EXPECT_TRUE(listTexts().isEmpty());
    EXPECT_TRUE(playlistPaths().isEmpty());
    EXPECT_TRUE(QFile::exists(a));
    EXPECT_EQ(form->WMP->playState(), Player::Stopped);
    EXPECT_TRUE(engine->current.path.isEmpty()) << "the removed file does not play on";
    EXPECT_FALSE(form->WMP->currentMedia());
}

TEST_F(RemoveEntriesTest, OnceTheLastEntryHasLeftThePlayerNoLongerNamesIt) {
    // The notice of what a delete did ("Sent to the Trash: …") may name it; the
    // title and the state must not.
    auto screenSays = [&](const QString& text) {
        for (const QLabel* label : form->WMPView->findChildren<QLabel*>())
            if (label->objectName() != "playerNotice" && label->text().contains(text))
                return true;
        return false;
    };
    form->PlayNew(1);
    ASSERT_TRUE(screenSays("a.mp3"));
    auto afterThePause = [&] {
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->DeleteReady; }, 5000));
    };
    form->PushButton5_Click(); // remove
    afterThePause();
    form->PushButton6_Click(); // delete
    afterThePause();
    hearPlaying();
    form->PushButton6_Click();
    ASSERT_TRUE(listTexts().isEmpty());
    EXPECT_FALSE(screenSays(".mp3"));
    EXPECT_FALSE(screenSays("Stopped"));
}

TEST_F(RemoveEntriesTest, RemovingFromAnEmptyListDoesNothingAtAll) {
    form->ListView1->Clear();
    form->WMP->currentPlaylist()->clear();
    form->PushButton5_Click();
    EXPECT_TRUE(form->DeleteReady);
    EXPECT_TRUE(stored("ListCount").isEmpty());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(RemoveEntriesTest, ADeleteRightAfterARemovalDoesNothing) {
    form->PlayNew(1);
    form->PushButton5_Click();
    form->PushButton6_Click();
    EXPECT_TRUE(trashedNames().isEmpty());
}

TEST_F(RemoveEntriesTest, ClearingEmptiesEverythingStopsAndSavesEvenWhenEmpty) {
    form->PushButton8_Click();
    EXPECT_TRUE(listTexts().isEmpty());
    EXPECT_TRUE(playlistPaths().isEmpty());
    EXPECT_EQ(form->WMP->playState(), Player::Stopped);
    EXPECT_EQ(stored("ListCount"), "0");
    QFile::remove(settingsFile());
    form->PushButton8_Click();
    EXPECT_EQ(stored("ListCount"), "0");
}

TEST_F(RemoveEntriesTest, ADoubleClickSendsTheDoubleClickedFileToTheTrash) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QRect row = form->ListView1->visualRect(form->ListView1->EntryRef(2));
    QTest::mouseClick(form->ListView1->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(form->ListView1->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(trashedNames(), QStringList({"b.mp3"}));
    EXPECT_EQ(listTexts(), QStringList({"a.mp3", "c.mp3"}));
    EXPECT_EQ(stored("ListCount"), "2");
}

} // namespace
