#include "playlist/list_view.h"
#include "playlist/samples.h"
#include "support/form_fixture.h"

#include <QDir>

namespace {

class SamplesTest : public FormTest {
  protected:
    QString samples() const { return dir.path() + "/Samples"; }
};

TEST_F(SamplesTest, AMissingOrEmptyFolderDoesNothingVisible) {
    form->PushButton1_Click();
    QDir().mkpath(samples());
    form->PushButton1_Click();
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(listTexts().isEmpty());
}

TEST_F(SamplesTest, AnsweringNoStillAddsEverySampleAndSaves) {
    makeFile("Samples/b.ogg");
    makeFile("Samples/a.wav");
    makeFile("Samples/.hidden.mp3");
    QDir().mkpath(samples() + "/sub");
    makeFile("Samples/sub/inner.wav");
    form->PushButton1_Click();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_TRUE(
        dialogs.questions[0].text.startsWith("Would you like this software to open the folder"));
    EXPECT_TRUE(foldersShown.isEmpty());
    EXPECT_EQ(listTexts(), QStringList({".hidden.mp3", "a.wav", "b.ogg"}));
    EXPECT_EQ(playlistPaths()[1], samples() + "/a.wav");
    EXPECT_EQ(stored("ListCount"), "3");
    EXPECT_EQ(selectedEntry(), 1);
}

TEST_F(SamplesTest, AnsweringYesShowsTheFolderFirstAndTwoClicksAddEverythingTwice) {
    makeFile("Samples/a.wav");
    dialogs.answerYes = true;
    form->PushButton1_Click();
    EXPECT_TRUE(dialogs.shown.empty());
    // Without a file manager for folders the box says where the samples are.
    folderOpens = false;
    form->PushButton1_Click();
    EXPECT_EQ(foldersShown, QStringList({samples(), samples()}));
    EXPECT_EQ(listTexts(), QStringList({"a.wav", "a.wav"}));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith("No program could open the folder"));
    EXPECT_TRUE(dialogs.shown[0].text.endsWith("\r\n" + samples()));
}

TEST_F(SamplesTest, AHundredAndAHundredAndOneFilesAreAllListed) {
    for (int i = 0; i < 101; ++i)
        makeFile(QStringLiteral("big/f%1.wav").arg(i, 3, 10, QChar('0')));
    QStringList names = GetFolderFiles(dir.path() + "/big", "*.*");
    EXPECT_EQ(names.size() - 1, 101);
    EXPECT_EQ(names[1], "f000.wav");
    QFile::remove(dir.path() + "/big/f100.wav");
    names = GetFolderFiles(dir.path() + "/big/", "*.*");
    EXPECT_EQ(names.size() - 1, 100);
    EXPECT_EQ(GetFolderFiles(dir.path() + "/none", "*.*"), QStringList({""}));
}

TEST_F(SamplesTest, OnlyRegularFilesExistOnDisk) {
    EXPECT_TRUE(FileExistsOnDisk(makeFile("x.wav")));
    EXPECT_FALSE(FileExistsOnDisk(dir.path()));
    EXPECT_FALSE(FileExistsOnDisk(dir.path() + "/nothing.wav"));
}

} // namespace
