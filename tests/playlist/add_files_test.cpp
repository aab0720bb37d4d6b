#include "platform/open_dialog.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"

namespace {

class AddFilesTest : public FormTest {};

TEST_F(AddFilesTest, CancellingAddsNothingAndSaysNothing) {
    form->PushButton4_Click();
    EXPECT_EQ(picker.asked, QStringList({"Open File"}));
    EXPECT_TRUE(listTexts().isEmpty());
    EXPECT_TRUE(form->FreshPlaylist);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(stored("ListCount").isEmpty()) << "nothing saved";
}

TEST_F(AddFilesTest, TheDialogOffersAudioFirstThenEverything) {
    form->PushButton4_Click();
    ASSERT_EQ(picker.shownFilters.size(), 2);
    EXPECT_TRUE(picker.shownFilters[0].startsWith("Audio Files (*.mp3 *.wav *.wma *.ogg *.ra"));
    EXPECT_EQ(picker.shownFilters[1], "All Files (*)");
    EXPECT_EQ(picker.preselectedFilter, 0);
}

TEST_F(AddFilesTest, OneFileJoinsBothHalvesIsSavedAndEntryOneIsSelectedAndPlaying) {
    const QString a = makeFile("Music/a.mp3");
    picker.answer = {a};
    form->PushButton4_Click();
    EXPECT_EQ(listTexts(), QStringList({"a.mp3"}));
    EXPECT_EQ(playlistPaths(), QStringList({a}));
    EXPECT_EQ(selectedEntry(), 1);
    EXPECT_EQ(stored("Song0"), a);
    EXPECT_FALSE(form->FreshPlaylist);
    EXPECT_EQ(engine->played, QStringList({a})) << "the playlist handed over starts";
}

TEST_F(AddFilesTest, SeveralFilesOfAFolderArriveInTheDialogsOrder) {
    const QString c = makeFile("Music/c.mp3"), a = makeFile("Music/a.mp3"),
                  b = makeFile("Music/b.mp3");
    picker.answer = {c, a, b};
    form->PushButton4_Click();
    EXPECT_EQ(listTexts(), QStringList({"c.mp3", "a.mp3", "b.mp3"}));
    EXPECT_EQ(playlistPaths(), QStringList({c, a, b}));
    EXPECT_EQ(stored("ListCount"), "3");
}

TEST_F(AddFilesTest, FilesInTheRootFolderKeepTheDoubledSeparator) {
    OpenDialog dialog(picker, 1000);
    picker.answer = {"/x.mp3", "/y.mp3"};
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName, QString("/") + QChar(0) + "x.mp3" + QChar(0) + "y.mp3");
    form->PushButton4_Click();
    EXPECT_EQ(playlistPaths(), QStringList({"//x.mp3", "//y.mp3"}));
}

TEST_F(AddFilesTest, AddingWhilePlayingMovesPlaybackToEntryOneWhichIsSelected) {
    const QString a = makeFile("a.mp3");
    drop({a, makeFile("b.mp3")});
    engine->startPlayback();
    ASSERT_EQ(selectedEntry(), 2);
    picker.answer = {makeFile("c.mp3")};
    form->PushButton4_Click();
    EXPECT_EQ(selectedEntry(), 1);
    EXPECT_EQ(currentPath(), a) << "what is selected is what is heard";
    EXPECT_EQ(engine->current.path, a);
    EXPECT_EQ(form->MediaSlots.size(), 3u) << "the slot after the playlist's count";
}

TEST_F(AddFilesTest, SlotsStartAtZeroAfterAClear) {
    drop({makeFile("a.mp3"), makeFile("b.mp3")});
    form->PushButton8_Click();
    picker.answer = {makeFile("c.mp3")};
    form->PushButton4_Click();
    EXPECT_EQ(form->MediaSlots[0]->sourceURL(), picker.answer[0]);
}

TEST_F(AddFilesTest, TooManyNamesForTheBufferAreRefusedWithTheMessage) {
    form->CommonDialog1 = std::make_unique<OpenDialog>(picker, 40);
    picker.answer = {makeFile("Music/a rather long name one.mp3"),
                     makeFile("Music/another long name two.mp3")};
    form->PushButton4_Click();
    EXPECT_TRUE(listTexts().isEmpty());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(
        dialogs.shown[0].text,
        "You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button.");
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(dialogs.shown[0].title, "Thrennic");
    EXPECT_TRUE(form->FreshPlaylist);
}

} // namespace
