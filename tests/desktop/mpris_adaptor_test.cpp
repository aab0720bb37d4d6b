#include "desktop/mpris.h"
#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>
#include <limits>

namespace {

// The desktop's player controls as the adaptor answers them, without a bus.
class MprisAdaptorTest : public FormTest {
  protected:
    MprisAdaptorTest() : mpris(*form), player(mpris.findChild<MprisPlayer*>()) {
        drop({makeFile(QStringLiteral("m/a.wav")), makeFile(QStringLiteral("m/b.wav"))});
        form->PlayNew(1);
        engine->startPlayback();
    }
    QVariant metadata(const char* key) const {
        return player->metadata().value(QLatin1String(key));
    }
    QString trackId() const { return metadata("mpris:trackid").value<QDBusObjectPath>().path(); }

    Mpris mpris;
    MprisPlayer* player;
};

TEST_F(MprisAdaptorTest, TheLengthIsInMicrosecondsOnceTheEngineKnowsIt) {
    ASSERT_TRUE(player);
    Q_EMIT engine->durationChanged(30.0);
    EXPECT_EQ(metadata("mpris:length").toLongLong(), 30'000'000);
    EXPECT_EQ(metadata("xesam:title").toString(), currentPath().section(QLatin1Char('/'), -1));
}

TEST_F(MprisAdaptorTest, SeekMovesByTheOffsetAndSetPositionOnlyForTheCurrentTrack) {
    ASSERT_TRUE(player);
    Q_EMIT engine->durationChanged(30.0);
    engine->playOn(5.0);
    QSignalSpy seeked(player, &MprisPlayer::Seeked);

    player->Seek(1'000'000);
    EXPECT_NEAR(engine->seekedTo, 6.0, 0.1);
    ASSERT_EQ(seeked.size(), 1);
    EXPECT_NEAR(seeked.at(0).at(0).toLongLong(), 6'000'000, 100'000);

    player->Seek(-60'000'000); // before the start: the start
    EXPECT_NEAR(engine->seekedTo, 0.0, 1e-9);

    player->SetPosition(QDBusObjectPath(trackId()), 12'000'000);
    EXPECT_NEAR(engine->seekedTo, 12.0, 1e-9);
    engine->seekedTo = -1;
    player->SetPosition(QDBusObjectPath(QStringLiteral("/org/thrennic/Thrennic/Stale")), 3'000'000);
    player->SetPosition(QDBusObjectPath(trackId()), -1);
    EXPECT_EQ(engine->seekedTo, -1) << "a stale track or a negative place moves nothing";
    for (const qlonglong pastTheEnd :
         {qlonglong(31'000'000), std::numeric_limits<qlonglong>::max()})
        player->SetPosition(QDBusObjectPath(trackId()), pastTheEnd);
    EXPECT_EQ(engine->seekedTo, -1) << "a place past the end moves";
    EXPECT_EQ(seeked.size(), 3);

    // A seek past the end goes on to the next track and tells no place.
    const QString before = currentPath();
    player->Seek(60'000'000);
    EXPECT_EQ(engine->seekedTo, -1);
    EXPECT_NE(currentPath(), before);
    EXPECT_EQ(seeked.size(), 3);
}

// A burst of media keys with no entry selected (an item with no entry plays)
// opened a box for each call, each inside the one before.
TEST_F(MprisAdaptorTest, NextAndPreviousWithNothingSelectedGoOnFromThePlayingEntryWithoutABox) {
    ASSERT_EQ(currentPath(), playlistPaths().at(0));
    form->ListView1->clearSelection();
    player->Next();
    EXPECT_EQ(currentPath(), playlistPaths().at(1));
    form->ListView1->clearSelection();
    player->Previous();
    EXPECT_EQ(currentPath(), playlistPaths().at(0));
    for (int i = 0; i < 20; ++i) {
        form->ListView1->clearSelection();
        player->Next();
        player->Previous();
    }
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown.front().text.toStdString();
}

TEST_F(MprisAdaptorTest, ARateOtherThanTheNormalOneChangesNothingAndZeroPauses) {
    ASSERT_TRUE(player);
    player->setProperty("Rate", 2.0);
    EXPECT_EQ(player->property("Rate").toDouble(), 1.0);
    EXPECT_EQ(player->property("MaximumRate").toDouble(), 1.0);
    EXPECT_FALSE(engine->paused);
    player->setProperty("Rate", 0.0);
    EXPECT_TRUE(engine->paused);
}

TEST_F(MprisAdaptorTest, AVolumeChangeInTheWindowIsToldWithTheNewVolume) {
    ASSERT_TRUE(player);
    QSignalSpy announced(&mpris, &Mpris::announced);
    QSlider* volume = nullptr;
    for (QSlider* slider : form->WMPView->findChildren<QSlider*>())
        if (slider->toolTip().startsWith(QStringLiteral("Volume")))
            volume = slider;
    ASSERT_NE(volume, nullptr);
    volume->setSliderDown(true); // dragged there by hand
    volume->setSliderPosition(80);
    volume->setSliderDown(false);
    ASSERT_EQ(announced.size(), 1);
    const QVariantMap told = announced.at(0).at(0).toMap();
    EXPECT_EQ(told.keys(), QStringList({"Volume"}));
    EXPECT_DOUBLE_EQ(told.value("Volume").toDouble(), 0.8);
}

TEST_F(MprisAdaptorTest, LoopStatusAndShuffleAreTheRepeatAndShuffleBoxesBothWays) {
    ASSERT_TRUE(player);
    QSignalSpy announced(&mpris, &Mpris::announced);
    EXPECT_EQ(player->property("LoopStatus").toString(), "None");
    EXPECT_FALSE(player->property("Shuffle").toBool());

    player->setProperty("LoopStatus", QStringLiteral("Playlist"));
    EXPECT_TRUE(form->Check2->isChecked());
    EXPECT_TRUE(form->WMP->getMode("loop")) << "the player repeats as after a click on the box";
    player->setProperty("LoopStatus", QStringLiteral("Track"));
    EXPECT_EQ(player->property("LoopStatus").toString(), "Playlist") << "Track is refused";
    player->setProperty("Shuffle", true);
    EXPECT_TRUE(form->Check1->isChecked());

    form->Check2->click(); // off in the window
    EXPECT_EQ(player->property("LoopStatus").toString(), "None");
    QStringList told;
    for (const QList<QVariant>& signal : announced)
        told << signal.at(0).toMap().keys();
    EXPECT_EQ(told, QStringList({"LoopStatus", "Shuffle", "LoopStatus"}));
}

TEST_F(MprisAdaptorTest, ATrackChangeIsToldOnceWithItsLength) {
    ASSERT_TRUE(player);
    QSignalSpy announced(&mpris, &Mpris::announced);
    form->PlayNew(2);
    Q_EMIT engine->durationChanged(12.0);
    // Told at once when the length came; nothing more follows for the same change.
    std::vector<QVariantMap> metadata;
    const auto told = [&] {
        metadata.clear();
        for (const QList<QVariant>& signal : announced)
            if (signal.at(0).toMap().contains("Metadata"))
                metadata.push_back(signal.at(0).toMap().value("Metadata").toMap());
    };
    told();
    ASSERT_EQ(metadata.size(), 1u);
    EXPECT_EQ(metadata[0].value("mpris:length").toLongLong(), 12'000'000);
    EXPECT_FALSE(QTest::qWaitFor(
        [&] {
            told();
            return metadata.size() > 1;
        },
        1000));

    // A file whose length never comes is told all the same.
    announced.clear();
    form->PlayNew(1);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            told();
            return metadata.size() == 1;
        },
        5000));
}

} // namespace
