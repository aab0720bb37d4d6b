#include "desktop/command_line.h"
#include "desktop/mpris.h"
#include "platform/disk_call.h"
#include "platform/folder_tree.h"
#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTest>
#include <QUrl>
#include <fcntl.h>
#include <unistd.h>

namespace {

TEST(NaturalOrderTest, DigitsCompareAsNumbersAndLettersWithoutCase) {
    const QStringList sorted = {"b 2.wav",       "B 3.wav",    "b 10.wav",
                                "b 010b.wav",    "c.wav",      "take 1-2.wav",
                                "take 1-10.wav", "take 9.wav", "take 10.wav"};
    for (qsizetype i = 0; i + 1 < sorted.size(); ++i) {
        EXPECT_TRUE(naturalLess(sorted[i], sorted[i + 1])) << sorted[i].toStdString();
        EXPECT_FALSE(naturalLess(sorted[i + 1], sorted[i])) << sorted[i].toStdString();
    }
    EXPECT_FALSE(naturalLess("a.wav", "a.wav"));
    EXPECT_NE(naturalLess("A.wav", "a.wav"), naturalLess("a.wav", "A.wav")) << "no two names tie";
}

// A tree of recordings: audio three levels deep, hidden files and folders, a
// text file, a link loop, a link to a file already in the tree, names that sort
// only by number, and a name that is not UTF-8.
class FolderTreeTest : public FormTest {
  protected:
    FolderTreeTest() {
        tree = dir.path() + "/tree";
        for (const char* name :
             {"b 10.wav", "b 2.wav", "B 3.flac", "notes.txt", ".hidden.wav", "x/y/z/deep.wav",
              "x/one.ogg", "x 2/two.mp3", ".secret/inside.wav", "x/y/cover.jpg"})
            makeFile("tree/" + QString::fromUtf8(name));
        ::symlink(QFile::encodeName(tree).constData(), QFile::encodeName(tree + "/x/y/loop"));
        ::symlink(QFile::encodeName(tree + "/b 2.wav").constData(),
                  QFile::encodeName(tree + "/x/again.wav"));
        const QByteArray bad = QFile::encodeName(tree) + "/caf\xE9.wav";
        ::close(::open(bad.constData(), O_CREAT | O_WRONLY, 0644));
        expected = QStringList(
            {"b 2.wav", "B 3.flac", "b 10.wav", "x/one.ogg", "x/y/z/deep.wav", "x 2/two.mp3"});
        for (QString& path : expected)
            path = tree + "/" + path;
    }
    QString tree;
    QStringList expected;
};

TEST_F(FolderTreeTest, EveryAudioFileAtAnyDepthComesOnceInNaturalOrder) {
    const NamedFiles found = audioFilesUnder(tree);
    EXPECT_EQ(found.files, expected);
    EXPECT_EQ(found.refused, QStringList({tree + "/caf\\xe9.wav"}));
}

TEST_F(FolderTreeTest, ADropTheCommandLineCtrlShiftOAndTheDesktopGiveTheSameEntries) {
    const std::vector<std::pair<const char*, std::function<void()>>> routes = {
        {"a drop", [&] { drop({tree}); }},
        {"the command line",
         [&] {
             const NamedFiles named = commandLineFiles({"tree"}, QFile::encodeName(dir.path()));
             form->OpenFiles(named.files, named.refused);
         }},
        {"Ctrl+Shift+O",
         [&] {
             picker.folderAnswer = tree;
             pressKey(form->ListView1, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
         }},
        {"the desktop's OpenUri",
         [&] {
             const NamedFiles named = mprisOpenableFiles(QUrl::fromLocalFile(tree).toString());
             form->OpenFiles(named.files, named.refused);
         }},
    };
    showActive();
    for (const auto& [route, run] : routes) {
        SCOPED_TRACE(route);
        form->PushButton8_Click(); // an empty list
        dialogs.shown.clear();
        run();
        ASSERT_TRUE(QTest::qWaitFor([&] { return listTexts().size() == expected.size(); }, 10000))
            << listTexts().join(", ").toStdString();
        EXPECT_EQ(playlistPaths(), expected);
        EXPECT_EQ(listTexts().first(), "b 2.wav");
        EXPECT_EQ(currentPath(), expected.last()) << "the last file added plays";
        EXPECT_FALSE(form->FolderWalkRunning());
        EXPECT_TRUE(form->WMPView->activityText().isEmpty());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.shown.empty(); }, 5000));
        EXPECT_TRUE(dialogs.shown[0].text.contains(tree + "/caf\\xe9.wav"));
    }
    EXPECT_EQ(picker.asked, QStringList({"Add Folder To Playlist"}));
}

TEST_F(FolderTreeTest, EscWhileTheTreeIsWalkedAddsNothingOfIt) {
    showActive();
    const QString single = makeFile("single.wav");
    drop({single});
    drop({tree});
    ASSERT_TRUE(form->FolderWalkRunning());
    EXPECT_TRUE(form->WMPView->activityText().startsWith("Adding\u2026 ")) << "the screen counts";
    form->ListView1->setFocus();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(form->ListView1, &esc); // before the walk's answer can come
    EXPECT_FALSE(form->FolderWalkRunning());
    ASSERT_TRUE(QTest::qWaitFor([] { return Form1::FolderWalkersAtWork() == 0; }, 10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(playlistPaths(), QStringList({single}));
    EXPECT_EQ(form->WMPView->notice(), "Adding cancelled: nothing was added");
    EXPECT_TRUE(form->WMPView->activityText().isEmpty());
}

// A name whose drive does not answer may be a folder: it is walked (the walk
// waits for the drive), never added as an entry of its own. Once the walk has
// come back, its files are looked at (to be played) at once, even while the
// look given up on earlier is still on its way back.
TEST_F(FolderTreeTest, ANameOnADriveThatDoesNotAnswerIsWalkedNotAddedAsAnEntry) {
    const std::function<void()> answersAgain = disk::detail::markHung(tree);
    drop({tree});
    EXPECT_TRUE(listTexts().isEmpty()) << "nothing added for the name itself";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->FolderWalkRunning(); }, 10000));
    EXPECT_EQ(playlistPaths(), expected);
    EXPECT_TRUE(disk::answering(expected.last())) << "the file to play is taken for hung";
    answersAgain();
}

} // namespace
