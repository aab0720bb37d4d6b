#include "playback/player.h"
#include "support/fakes.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

class PlayerTest : public ::testing::Test {
  protected:
    PlayerTest() {
        auto fake = std::make_unique<FakeEngine>();
        engine = fake.get();
        player = std::make_unique<Player>(std::move(fake));
        QObject::connect(player.get(), &Player::CurrentItemChange,
                         [this](const Media& item, Player::ChangeCause cause) {
                             changes << item->sourceURL();
                             causes.push_back(cause);
                         });
    }
    void fill(int n) {
        list = player->newPlaylist(QStringLiteral("pfX"));
        for (int i = 0; i < n; ++i)
            list->appendItem(player->newMedia(QStringLiteral("/m/%1.wav").arg(i)));
        player->setCurrentPlaylist(list);
    }

    FakeEngine* engine = nullptr;
    std::unique_ptr<Player> player;
    PlaylistRef list;
    QStringList changes;
    std::vector<Player::ChangeCause> causes;
};

TEST_F(PlayerTest, PlaysOnInOrderAndStopsAfterTheLastWithoutLoop) {
    fill(3);
    player->playItem(list->Item(0));
    EXPECT_EQ(engine->queued.path, "/m/1.wav") << "the next item waits in the engine";
    engine->startPlayback();
    EXPECT_EQ(player->playState(), Player::Playing);
    engine->finishCurrent();
    engine->finishCurrent();
    EXPECT_EQ(changes, QStringList({"/m/0.wav", "/m/1.wav", "/m/2.wav"}));
    EXPECT_EQ(causes.back(), Player::ChangeCause::EndOfItem);
    EXPECT_EQ(engine->queued.id, 0) << "nothing after the last without loop";
    engine->finishCurrent();
    EXPECT_EQ(player->playState(), Player::Stopped);
    EXPECT_EQ(changes.size(), 3);
}

TEST_F(PlayerTest, LoopWrapsToTheFirstItemAndOneItemRepeatsItself) {
    fill(2);
    player->setMode(QStringLiteral("loop"), true);
    player->playItem(list->Item(1));
    EXPECT_EQ(engine->queued.path, "/m/0.wav");
    fill(1);
    player->playItem(list->Item(0));
    EXPECT_EQ(engine->queued.path, "/m/0.wav");
}

TEST_F(PlayerTest, ShufflePlaysEveryItemOnceARoundThenStopsWithoutLoop) {
    fill(6);
    player->setMode(QStringLiteral("shuffle"), true);
    player->playItem(list->Item(0));
    for (int i = 0; i < 5; ++i)
        engine->finishCurrent();
    EXPECT_EQ(QSet<QString>(changes.begin(), changes.end()).size(), 6);
    EXPECT_EQ(engine->queued.id, 0);
}

TEST_F(PlayerTest, ShuffleWithLoopStartsANewRound) {
    fill(3);
    player->setMode(QStringLiteral("shuffle"), true);
    player->setMode(QStringLiteral("loop"), true);
    player->playItem(list->Item(0));
    for (int i = 0; i < 8; ++i) {
        const QString before = engine->current.path;
        engine->finishCurrent();
        EXPECT_NE(engine->current.path, before) << "shuffle picks another item";
    }
}

TEST_F(PlayerTest, AFileThatFailsIsSkippedLikeAnEndedOne) {
    fill(3);
    player->playItem(list->Item(0));
    engine->finishCurrent(true);
    EXPECT_EQ(player->currentMedia()->sourceURL(), "/m/1.wav");
}

TEST_F(PlayerTest, FilesThatAllFailDoNotGoRoundForEverWithLoopOn) {
    fill(2);
    player->setMode(QStringLiteral("loop"), true);
    player->playItem(list->Item(0));
    for (int i = 0; i < 4 && engine->current.id != 0; ++i)
        engine->finishCurrent(true);
    EXPECT_EQ(player->playState(), Player::Stopped);
}

TEST_F(PlayerTest, AppendingAfterTheLastItemQueuesTheNewOne) {
    fill(1);
    player->playItem(list->Item(0));
    EXPECT_EQ(engine->queued.id, 0);
    list->appendItem(player->newMedia(QStringLiteral("/m/new.wav")));
    EXPECT_EQ(engine->queued.path, "/m/new.wav");
}

TEST_F(PlayerTest, RemovingTheQueuedItemQueuesTheOneAfterIt) {
    fill(3);
    player->playItem(list->Item(0));
    list->removeItem(list->Item(1));
    EXPECT_EQ(engine->queued.path, "/m/2.wav");
}

TEST_F(PlayerTest, WithShuffleARemovedItemIsNeverTheOneThatPlaysNext) {
    // Shuffle keeps its choice of next while the playlist only grows, so the
    // removal of exactly that choice is what must make it choose again.
    fill(10);
    player->setMode(QStringLiteral("shuffle"), true);
    player->playItem(list->Item(0));
    for (int round = 0; round < 4; ++round) {
        const QString chosen = engine->queued.path;
        ASSERT_FALSE(chosen.isEmpty());
        for (int i = 0; i < list->count(); ++i)
            if (list->Item(i)->sourceURL() == chosen) {
                list->removeItem(list->Item(i));
                break;
            }
        EXPECT_NE(engine->queued.path, chosen) << "round " << round;
        engine->finishCurrent();
        EXPECT_NE(player->currentMedia()->sourceURL(), chosen) << "a removed file played";
    }
}

TEST_F(PlayerTest, OwnNextAndPreviousWrapAndCountAsThePlayersMoves) {
    fill(3);
    player->playItem(list->Item(0));
    EXPECT_EQ(causes.back(), Player::ChangeCause::PlayItem);
    player->previous();
    EXPECT_EQ(player->currentMedia()->sourceURL(), "/m/2.wav");
    EXPECT_EQ(causes.back(), Player::ChangeCause::PlayerMove);
    player->next();
    EXPECT_EQ(player->currentMedia()->sourceURL(), "/m/0.wav");
}

TEST_F(PlayerTest, PauseStopAndPlayResumeOrRestart) {
    fill(2);
    player->play();
    EXPECT_EQ(engine->played, QStringList({"/m/0.wav"}))
        << "play with nothing current starts item 0";
    engine->startPlayback();
    player->pause();
    EXPECT_TRUE(engine->paused);
    EXPECT_EQ(player->playState(), Player::Paused);
    player->play();
    EXPECT_FALSE(engine->paused);
    EXPECT_EQ(player->playState(), Player::Playing);
    player->stop();
    EXPECT_EQ(player->playState(), Player::Stopped);
    player->play();
    EXPECT_EQ(engine->played.size(), 2);
}

TEST_F(PlayerTest, PlayItemOfAnItemOutsideThePlaylistFails) {
    fill(1);
    EXPECT_THROW(player->playItem(player->newMedia(QStringLiteral("/elsewhere.wav"))),
                 std::exception);
    EXPECT_THROW(list->Item(1), std::exception);
    EXPECT_THROW(player->setMode(QStringLiteral("sideways"), true), std::exception);
}

} // namespace

namespace {

// A player that starts without its engine, as the program does while libmpv loads.
class WaitingPlayerTest : public ::testing::Test {
  protected:
    WaitingPlayerTest() : player(nullptr) {
        list = player.newPlaylist(QStringLiteral("pfX"));
        for (int i = 0; i < 3; ++i)
            list->appendItem(player.newMedia(QStringLiteral("/m/%1.wav").arg(i)));
        player.setCurrentPlaylist(list);
    }
    FakeEngine* attach() {
        auto fake = std::make_unique<FakeEngine>();
        FakeEngine* engine = fake.get();
        player.attachEngine(std::move(fake));
        return engine;
    }

    Player player;
    PlaylistRef list;
};

TEST_F(WaitingPlayerTest, WhatWasAskedBeforeTheEngineCameHappensOnItOnceItIsThere) {
    int changes = 0;
    QObject::connect(&player, &Player::CurrentItemChange, [&] { ++changes; });
    player.setMode(QStringLiteral("loop"), true);
    player.setVolume(30);
    player.setMute(true);
    player.playItem(list->Item(2));
    EXPECT_FALSE(player.engineReady());
    EXPECT_EQ(changes, 1) << "the item is current at once, so the list can follow it";
    EXPECT_EQ(player.currentMedia(), list->Item(2));

    FakeEngine* engine = attach();
    EXPECT_TRUE(player.engineReady());
    EXPECT_EQ(engine->played, QStringList{"/m/2.wav"});
    EXPECT_EQ(engine->queued.path, "/m/0.wav") << "loop, asked for before, queues the first";
    EXPECT_EQ(engine->volume, 30);
    EXPECT_TRUE(engine->muted);
    EXPECT_FALSE(engine->paused);
    engine->startPlayback();
    EXPECT_EQ(player.playState(), Player::Playing);
    engine->finishCurrent();
    EXPECT_EQ(player.currentMedia(), list->Item(0)) << "the player follows the engine as usual";
    EXPECT_EQ(changes, 2);
}

TEST_F(WaitingPlayerTest, APauseOrAStopBeforeTheEngineCameIsKept) {
    player.playItem(list->Item(0));
    player.pause();
    FakeEngine* engine = attach();
    EXPECT_EQ(engine->played, QStringList{"/m/0.wav"});
    EXPECT_TRUE(engine->paused) << "it loads, held paused";
    engine->startPlayback();
    EXPECT_EQ(player.playState(), Player::Paused);
    player.play();
    EXPECT_FALSE(engine->paused);
    EXPECT_EQ(player.playState(), Player::Playing);
}

TEST_F(WaitingPlayerTest, NothingAskedMeansNothingPlaysAndASecondEngineIsRefused) {
    player.playItem(list->Item(1));
    player.stop();
    FakeEngine* engine = attach();
    EXPECT_TRUE(engine->played.isEmpty()) << "stopped before the engine came";
    player.attachEngine(std::make_unique<FakeEngine>());
    player.playItem(list->Item(1));
    EXPECT_EQ(engine->played, QStringList{"/m/1.wav"}) << "the first engine stays";
}

} // namespace
