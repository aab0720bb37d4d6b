#include "app/form1.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QTest>

namespace {

class DropTest : public FormTest {};

TEST_F(DropTest, DroppedFilesJoinBothHalvesInOrderAndTheLastOnePlays) {
    const QString a = makeFile("x/Song A.mp3"), b = makeFile("x/b.txt"), c = makeFile("x/c.wav");
    drop({a, b, c});
    EXPECT_EQ(listTexts(), QStringList({"Song A.mp3", "b.txt", "c.wav"}));
    EXPECT_EQ(playlistPaths(), QStringList({a, b, c}));
    EXPECT_EQ(currentPath(), c);
    EXPECT_EQ(selectedEntry(), 3);
    EXPECT_FALSE(form->FreshPlaylist);
    EXPECT_EQ(form->MediaSlots.size(), 3u);
}

TEST_F(DropTest, ADragWithoutFilesIsRefused) {
    QMimeData text;
    text.setText(QStringLiteral("just words"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->ListView1->viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.org/a.mp3"))});
    EXPECT_FALSE(form->ListView1_OLEDragOver(web));
}

TEST_F(DropTest, OddNamesArriveIntact) {
    const QStringList names = {"it's \"quoted\".mp3", "naïve ünïcødé.flac", "line\nbreak.wav",
                               "semi;colon=#hash.ogg"};
    QStringList paths;
    for (const QString& n : names)
        paths << makeFile(n);
    drop(paths);
    EXPECT_EQ(listTexts(), names);
    EXPECT_EQ(playlistPaths(), paths);
}

TEST_F(DropTest, AHiddenFileGivesAnEntryWithoutTextAndAFolderOnlyItsAudioFiles) {
    const QString folder = QDir(dir.path()).filePath("sub");
    makeFile("sub/notes.txt");
    drop({folder, makeFile(".secret.mp3")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->FolderWalkRunning(); }, 10000));
    EXPECT_EQ(listTexts(), QStringList({""})) << "no entry for the folder or its text file";
    EXPECT_EQ(playlistPaths().size(), 1);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(DropTest, ASecondDropAppendsAfterTheFirstAndPausesWhatPlays) {
    const QString a = makeFile("a.mp3"), b = makeFile("b.mp3");
    drop({a});
    engine->startPlayback();
    ASSERT_EQ(form->WMP->playState(), Player::Playing);
    bool pausedBeforeAdding = false;
    QObject::connect(form->WMP.get(), &Player::playStateChanged, [&](int state) {
        if (state == Player::Paused)
            pausedBeforeAdding = form->ListView1->Count() == 1;
    });
    drop({b, a});
    EXPECT_TRUE(pausedBeforeAdding);
    EXPECT_EQ(listTexts(), QStringList({"a.mp3", "b.mp3", "a.mp3"}));
    EXPECT_EQ(form->MediaSlots.size(), 3u) << "the second drop starts at the playlist's count";
    EXPECT_EQ(selectedEntry(), 3);
}

// A long hand-over is looked at beside the window and comes in as a drop of
// the same files would: every entry in order, named by its folder, the last
// playing; with a folder among them, that is walked for its audio files.
TEST_F(DropTest, ALongHandOverComesInWholeAsADropWould) {
    for (const bool withFolder : {false, true}) {
        SCOPED_TRACE(withFolder ? "with a folder" : "files only");
        restart();
        QStringList paths{makeFile("many/.hidden.wav")}, texts{QString()};
        for (int i = 0; i < Form1::kOpenBesideFrom; ++i) {
            paths << makeFile(QStringLiteral("many/take %1.wav").arg(i));
            texts << QStringLiteral("take %1.wav").arg(i);
        }
        if (withFolder) {
            paths << makeFile("sub/inside.wav").section('/', 0, -2);
            texts << "inside.wav";
        }
        form->OpenFiles(paths);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return form->ListView1->Count() == texts.size() && !form->FolderWalkRunning(); },
            20000));
        EXPECT_EQ(listTexts(), texts);
        EXPECT_EQ(currentPath(), withFolder ? dir.path() + "/sub/inside.wav" : paths.last());
        EXPECT_TRUE(dialogs.shown.empty());
    }
}

} // namespace
