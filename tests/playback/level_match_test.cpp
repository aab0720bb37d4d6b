#include "playback/level_match.h"
#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "support/form_fixture.h"
#include "support/wav.h"

#include <QTest>
#include <cmath>

namespace {

constexpr int kWait = 20000;

TEST(MatchingGainTest, TheGainMeetsTheTargetWithinTheLimitAndUnderThePeakCeiling) {
    const double inf = INFINITY, nan = NAN;
    struct Case {
        double loudness, peakDb, gain;
    };
    for (const Case& c :
         {Case{-24, -10, 6}, Case{-10, -2, -8}, Case{-40, -30, 12}, // at most +12 dB
          Case{-20, -2.5, 1.5}, // the peak stays 1 dB under full scale
          Case{-65, -50, 12},   // faint but there: raised as far as it may be
          Case{-80, -75, 0},    // silent, told by its peak: not raised
          Case{-inf, -6, 0},    // too short to measure, or under the gate
          Case{-inf, -inf, 0},  // nothing to measure
          Case{nan, nan, 0}}) { // not measured yet
        SCOPED_TRACE(testing::Message() << c.loudness << " LUFS, peak " << c.peakDb);
        AudioFacts facts;
        facts.loudness = c.loudness;
        facts.peakDb = c.peakDb;
        EXPECT_DOUBLE_EQ(matchingGain(facts), c.gain);
    }
}

class LevelMatchTest : public FormTest {
  protected:
    // A 997 Hz sine, mono: it measures 3.01 dB under its peak level.
    QString sine(const QString& name, double amplitude) {
        const QString path = QDir(dir.path()).filePath(name);
        writeWav(path, 48000, 1, WavSamples::F32, 48000, [&](qint64 i, int) {
            return amplitude * std::sin(2 * M_PI * 997.0 * double(i) / 48000);
        });
        return path;
    }
    std::vector<double>& gains() { return engine->gains; }
    bool gainIs(double gain) { return !gains().empty() && std::fabs(gains().back() - gain) < 0.01; }
    QString levelText() { return form->WMPView->levelText(); }
};

TEST_F(LevelMatchTest, CtrlLMatchesEachFileFadedInOnceMeasuredAndAtOnceWhenKnown) {
    const QString quiet = sine(QStringLiteral("quiet.wav"), 0.01); // -43 LUFS: +12 dB at most
    const QString loud = sine(QStringLiteral("loud.wav"), 0.5);    // -9.03 LUFS: -8.97 dB
    drop({quiet, loud});
    ASSERT_EQ(currentPath(), loud);
    showActive();
    pressKey(form->ListView1, Qt::Key_L, Qt::ControlModifier);
    ASSERT_TRUE(form->WMPView->levelMatch().on());
    EXPECT_EQ(levelText(), "") << "nothing acts before the file is measured";

    gains().clear();
    engine->startPlayback(); // the reading starts once the file sounds
    ASSERT_TRUE(QTest::qWaitFor([&] { return gainIs(-8.97); }, kWait));
    EXPECT_GE(gains().size(), 5u) << "faded in, not set in one step";
    double before = 0;
    for (double gain : gains()) {
        EXPECT_LT(std::fabs(gain - before), 1.5) << "a step that could be heard";
        before = gain;
    }
    EXPECT_EQ(levelText(), "Level matched (\u22129.0 dB)");

    // A file not measured yet starts with no gain at all, then gets its own.
    form->PlayNew(1);
    ASSERT_EQ(currentPath(), quiet);
    EXPECT_TRUE(gainIs(0));
    EXPECT_EQ(levelText(), "");
    engine->startPlayback();
    ASSERT_TRUE(QTest::qWaitFor([&] { return gainIs(12); }, kWait));
    EXPECT_EQ(levelText(), "Level matched (+12.0 dB)");

    // One heard before: its gain is set in one go, before it sounds.
    const std::size_t set = gains().size();
    form->PlayNew(2);
    EXPECT_EQ(gains().size(), set + 1);
    EXPECT_TRUE(gainIs(-8.97));
    EXPECT_EQ(levelText(), "Level matched (\u22129.0 dB)");

    pressKey(form->WMPView, Qt::Key_L, Qt::ControlModifier); // once, though both see keys
    EXPECT_FALSE(form->WMPView->levelMatch().on());
    EXPECT_TRUE(QTest::qWaitFor([&] { return gainIs(0); }, kWait));
    EXPECT_EQ(levelText(), "");

    // At full screen the window does not see the keys; the player passes Ctrl+L on.
    form->WMP->setFullScreen(true);
    ASSERT_NE(form->WMPView->window(), form.get());
    pressKey(form->WMPView, Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(form->WMPView->levelMatch().on());
    form->WMP->setFullScreen(false);
}

TEST_F(LevelMatchTest, ASilentFileIsCalledOutAndNotRaised) {
    const QString silent = sine(QStringLiteral("never started.wav"), 0);
    form->WMPView->levelMatch().setOn(true);
    drop({silent});
    engine->startPlayback();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return form->WMPView->factsText().endsWith(QStringLiteral(" \u00b7 Silent")); },
        kWait))
        << form->WMPView->factsText().toStdString();
    for (double gain : gains())
        EXPECT_EQ(gain, 0);
    EXPECT_EQ(levelText(), "");
}

} // namespace
