#include "engine/mpv_engine.h"
#include "playback/level_match.h"
#include "playback/player.h"
#include "support/wav.h"
#include "waveform/waveform_decoder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// The real engine writing what it plays as raw samples to a file, far faster
// than real time. Appending, because mpv reopens its output after a file that
// failed, and a reopened file would start afresh.
class MpvPlaybackTest : public ::testing::Test {
  protected:
    QString file(const QString& name) const { return QDir(dir.path()).filePath(name); }

    std::unique_ptr<Player> makePlayer() {
        QString error;
        auto engine = MpvEngine::create({{"ao", "pcm"},
                                         {"ao-pcm-file", QFile::encodeName(file("out.pcm"))},
                                         {"ao-pcm-waveheader", "no"},
                                         {"ao-pcm-append", "yes"}},
                                        &error);
        EXPECT_TRUE(engine) << error.toStdString();
        return std::make_unique<Player>(std::move(engine));
    }

    // Plays the paths in order from the first and waits until the player stops by itself.
    int playToTheEnd(const QStringList& paths) {
        auto player = makePlayer();
        PlaylistRef list = player->newPlaylist(QStringLiteral("pfX"));
        for (const QString& p : paths)
            list->appendItem(player->newMedia(p));
        player->setCurrentPlaylist(list);
        int changes = 0;
        QObject::connect(player.get(), &Player::CurrentItemChange, [&] { ++changes; });
        player->playItem(list->Item(0));
        EXPECT_TRUE(QTest::qWaitFor([&] { return player->playState() == Player::Stopped; }, 20000));
        return changes;
    }

    QTemporaryDir dir;
};

TEST_F(MpvPlaybackTest, ThreeItemsPlayedToTheEndWriteTheirWholeLength) {
    writeToneWav(file("a.wav"), 0.8, 440);
    writeToneWav(file("b.wav"), 0.5, 550);
    writeToneWav(file("c.wav"), 1.1, 660);
    EXPECT_EQ(playToTheEnd({file("a.wav"), file("b.wav"), file("c.wav")}), 3);
    EXPECT_NEAR(rawPcmSeconds(file("out.pcm")), 0.8 + 0.5 + 1.1, 0.05);
}

TEST_F(MpvPlaybackTest, UndecodableFilesAreSkippedWithoutStalling) {
    writeToneWav(file("good1.wav"), 0.4);
    QFile text(file("words.mp3"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("this is not audio at all\n");
    text.close();
    QFile(file("empty.wav")).open(QIODevice::WriteOnly);
    QDir().mkpath(file("folder.wav"));
    writeToneWav(file("good2.wav"), 0.6);
    QElapsedTimer clock;
    clock.start();
    playToTheEnd({file("good1.wav"), file("words.mp3"), file("empty.wav"), file("folder.wav"),
                  file("good2.wav")});
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_NEAR(rawPcmSeconds(file("out.pcm")), 1.0, 0.05);
}

TEST_F(MpvPlaybackTest, AFifoInTheListIsSkippedInsteadOfHoldingThePlayerForGood) {
    writeToneWav(file("good1.wav"), 0.4);
    ASSERT_EQ(::mkfifo(QFile::encodeName(file("pipe.wav")).constData(), 0600), 0);
    writeToneWav(file("good2.wav"), 0.6);
    // No writer ever opens the pipe: opening it for reading would wait for good.
    playToTheEnd({file("good1.wav"), file("pipe.wav"), file("good2.wav")});
    EXPECT_NEAR(rawPcmSeconds(file("out.pcm")), 1.0, 0.05);
}

// The files beside a played one are none of the player's business: looking
// for subtitles or a cover among them reads the whole folder on every start
// (tens of milliseconds in a folder of 100,000), and opening one can hang.
TEST_F(MpvPlaybackTest, FilesBesideThePlayedOneAreNeverOpened) {
    writeToneWav(file("take.wav"), 0.4);
    for (const char* beside : {"take.srt", "take.ass", "take.jpg", "cover.jpg", "take.mka"})
        ASSERT_EQ(::mkfifo(QFile::encodeName(file(QLatin1String(beside))).constData(), 0600), 0)
            << beside;
    playToTheEnd({file("take.wav")});
    EXPECT_NEAR(rawPcmSeconds(file("out.pcm")), 0.4, 0.05);
}

TEST_F(MpvPlaybackTest, ABrokenLastFileWithLoopOnStillEnds) {
    QFile(file("empty.wav")).open(QIODevice::WriteOnly);
    auto player = makePlayer();
    PlaylistRef list = player->newPlaylist(QStringLiteral("pfX"));
    list->appendItem(player->newMedia(file("empty.wav")));
    player->setCurrentPlaylist(list);
    player->setMode(QStringLiteral("loop"), true);
    player->playItem(list->Item(0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return player->playState() == Player::Stopped; }, 10000));
}

TEST_F(MpvPlaybackTest, AFileStartedAfterAPauseIsHeard) {
    writeToneWav(file("long.wav"), 30, 440);
    writeToneWav(file("next.wav"), 0.5, 550);
    auto player = makePlayer();
    PlaylistRef list = player->newPlaylist(QStringLiteral("pfX"));
    list->appendItem(player->newMedia(file("long.wav")));
    list->appendItem(player->newMedia(file("next.wav")));
    player->setCurrentPlaylist(list);
    player->playItem(list->Item(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player->playState() == Player::Playing; }, 10000));
    player->pause();
    player->playItem(list->Item(1));
    // Still paused, the next file would never play to its end.
    EXPECT_TRUE(QTest::qWaitFor([&] { return player->playState() == Player::Stopped; }, 20000));
}

// What comes out with level matching: each file measured first (as its
// waveform's reading would), its gain set, then played at full volume; the
// written sound measures at the matched loudness.
TEST_F(MpvPlaybackTest, LevelMatchedFilesComeOutAtTheMatchedLoudness) {
    struct Case {
        const char* name;
        double amplitude; // a 997 Hz sine in both channels: this loud in LUFS, in dB
    };
    for (const Case& c : {Case{"quiet.wav", 0.04}, Case{"loud.wav", 0.4}}) {
        SCOPED_TRACE(c.name);
        const QString path = file(QString::fromUtf8(c.name));
        writeWav(path, 44100, 2, WavSamples::S16, 3 * 44100, [&](qint64 i, int) {
            return c.amplitude * std::sin(2 * M_PI * 997.0 * double(i) / 44100);
        });
        const Waveform measured = readWaveform(
            path, [] { return false; }, nullptr);
        ASSERT_TRUE(measured.facts.measured());
        QFile::remove(file("out.pcm"));
        auto player = makePlayer();
        player->setVolume(100);
        player->setGain(matchingGain(measured.facts));
        PlaylistRef list = player->newPlaylist(QStringLiteral("pfX"));
        list->appendItem(player->newMedia(path));
        player->setCurrentPlaylist(list);
        player->playItem(list->Item(0));
        ASSERT_TRUE(QTest::qWaitFor([&] { return player->playState() == Player::Stopped; }, 20000));
        player.reset();
        QProcess sox;
        sox.start(QStringLiteral("sox"), {"-t", "raw", "-r", "44100", "-e", "signed", "-b", "16",
                                          "-c", "2", file("out.pcm"), file("out.wav")});
        ASSERT_TRUE(sox.waitForFinished(30000) && sox.exitCode() == 0);
        const Waveform heard = readWaveform(
            file("out.wav"), [] { return false; }, nullptr);
        ASSERT_TRUE(heard.facts.measured()) << heard.error.toStdString();
        EXPECT_NEAR(heard.facts.loudness, kMatchedLoudness, 1.0);
        EXPECT_LE(heard.facts.peakDb, kMatchedPeakCeiling + 0.1);
    }
}

// After the last file has ended, nothing is loaded: the position in it went
// with it, as with Stop, instead of standing where the last report left it
// ("0:02 / 0:00" under the stopped player).
TEST_F(MpvPlaybackTest, ThePositionGoesBackToTheStartWhenTheLastFileEnds) {
    writeToneWav(file("a.wav"), 1.0, 440);
    // In real time, so that the engine reports places along the way.
    QString error;
    auto engine = MpvEngine::create({{"ao", "null"}}, &error);
    ASSERT_TRUE(engine) << error.toStdString();
    auto player = std::make_unique<Player>(std::move(engine));
    PlaylistRef list = player->newPlaylist(QStringLiteral("pfX"));
    list->appendItem(player->newMedia(file("a.wav")));
    player->setCurrentPlaylist(list);
    double furthest = 0;
    QObject::connect(player.get(), &Player::positionChanged,
                     [&](double seconds) { furthest = std::max(furthest, seconds); });
    player->playItem(list->Item(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return player->playState() == Player::Stopped; }, 20000));
    EXPECT_GT(furthest, 0.3); // it did report a place in the file
    // The place and the length go, each in an event of its own and in either order.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return player->position() == 0 && player->duration() == 0; }, 5000))
        << player->position() << " " << player->duration();
}

// A player that cannot be heard says so, and one writing its sound says nothing.
TEST_F(MpvPlaybackTest, TheSilentOutputIsToldAndARealOneIsNot) {
    writeToneWav(file("a.wav"), 2, 440);
    for (const bool silent : {true, false}) {
        SCOPED_TRACE(silent ? "ao=null" : "ao=pcm");
        QString error;
        auto engine =
            silent
                ? MpvEngine::create({{"ao", "null"}}, &error)
                : MpvEngine::create(
                      {{"ao", "pcm"}, {"ao-pcm-file", QFile::encodeName(file("o.pcm"))}}, &error);
        ASSERT_TRUE(engine) << error.toStdString();
        auto player = std::make_unique<Player>(std::move(engine));
        PlaylistRef list = player->newPlaylist(QStringLiteral("pfX"));
        list->appendItem(player->newMedia(file("a.wav")));
        player->setCurrentPlaylist(list);
        QStringList told;
        QObject::connect(player.get(), &Player::noSoundChanged,
                         [&](const QString& reason) { told << reason; });
        player->playItem(list->Item(0));
        if (silent) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !told.isEmpty(); }, 10000));
            EXPECT_FALSE(player->noSoundReason().isEmpty());
        } else {
            // Written far faster than real time: to its end, without a word.
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return player->playState() == Player::Stopped; }, 10000));
            EXPECT_EQ(told, QStringList());
        }
    }
}

} // namespace
