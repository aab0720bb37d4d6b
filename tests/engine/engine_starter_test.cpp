#include "engine/engine_starter.h"
#include "engine/mpv_library.h"
#include "playback/player.h"
#include "support/fakes.h"
#include "support/wav.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class EngineStarterTest : public ::testing::Test {
  protected:
    EngineStarterTest() : player(nullptr) {
        const QString path = QDir(dir.path()).filePath(QStringLiteral("tone.wav"));
        writeToneWav(path, 2.0);
        list = player.newPlaylist(QStringLiteral("pfX"));
        list->appendItem(player.newMedia(path));
        player.setCurrentPlaylist(list);
    }
    bool playing() const { return player.playState() == Player::Playing; }

    QTemporaryDir dir;
    Player player;
    PlaylistRef list;
    RecordingDialogs dialogs;
};

TEST_F(EngineStarterTest, TheItemAskedForWhileLibmpvLoadedPlaysOnceItIsThere) {
    player.playItem(list->Item(0));
    EngineStarter starter(player, dialogs, {{"ao", "null"}});
    QSignalSpy finished(&starter, &EngineStarter::finished);
    starter.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return playing(); }, 15000));
    ASSERT_EQ(finished.count(), 1);
    EXPECT_TRUE(finished.at(0).at(0).toBool());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(EngineStarterTest, AnEngineThatCannotStartIsReportedAndTheListStillWorks) {
    EngineStarter starter(player, dialogs, {{"no-such-option-anywhere", "1"}});
    QSignalSpy finished(&starter, &EngineStarter::finished);
    starter.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }, 15000));
    EXPECT_FALSE(finished.at(0).at(0).toBool());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith("The audio engine could not be started:"));
    EXPECT_TRUE(dialogs.shown[0].text.contains("no-such-option-anywhere")) << "says why";
    EXPECT_FALSE(player.engineReady());
    // Everything but sound goes on: the item becomes current, and removing it empties the player.
    player.playItem(list->Item(0));
    EXPECT_EQ(player.currentMedia(), list->Item(0));
    list->removeItem(list->Item(0));
    EXPECT_FALSE(player.currentMedia());
}

TEST_F(EngineStarterTest, AWindowThatIsNeverShownStillGetsItsEngine) {
    QWidget window;
    window.winId(); // a native window that never reaches the screen (another workspace, say)
    player.playItem(list->Item(0));
    EngineStarter starter(player, dialogs, {{"ao", "null"}});
    starter.startOnceShown(window);
    EXPECT_TRUE(QTest::qWaitFor([&] { return playing(); }, 15000));
}

// Started at once for a window already on the screen: the engine comes with no
// timer having fired, only the worker's hand-over delivered.
TEST_F(EngineStarterTest, AWindowAlreadyOnTheScreenGetsItsEngineAtOnce) {
    QWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EngineStarter starter(player, dialogs, {{"ao", "null"}});
    QSignalSpy finished(&starter, &EngineStarter::finished);
    starter.startOnceShown(window);
    const QDeadlineTimer deadline(15000);
    while (finished.isEmpty() && !deadline.hasExpired()) {
        QCoreApplication::sendPostedEvents(); // never a timer's event
        QThread::yieldCurrentThread();
    }
    EXPECT_EQ(finished.count(), 1);
}

// Shown after the start was asked for: its showing starts the engine, and the
// latest-start timer that follows starts no second one.
TEST_F(EngineStarterTest, AWindowShownLaterGetsOneEngineOnly) {
    QWidget window;
    window.winId();
    EngineStarter starter(player, dialogs, {{"ao", "null"}});
    QSignalSpy finished(&starter, &EngineStarter::finished);
    starter.startOnceShown(window);
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }, 15000));
    EXPECT_FALSE(
        QTest::qWaitFor([&] { return finished.count() > 1; }, 2 * EngineStarter::kLatestStartMs));
    EXPECT_TRUE(player.engineReady());
}

TEST(MpvLibraryTest, AMissingLibraryGivesItsNameAndTheReason) {
    QString error;
    EXPECT_EQ(loadMpvLibrary(&error, "libmpv-not-installed.so.9"), nullptr);
    EXPECT_TRUE(error.contains("libmpv-not-installed.so.9")) << error.toStdString();
    EXPECT_NE(loadMpvLibrary(&error), nullptr) << "the real one loads: " << error.toStdString();
}

} // namespace
