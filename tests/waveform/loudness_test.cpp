#include "support/wav.h"
#include "waveform/waveform_decoder.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

Waveform read(const QString& path) {
    return readWaveform(
        path, [] { return false; }, nullptr);
}

bool run(const QString& program, const QStringList& arguments, QString* output = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ran = process.waitForFinished(60000) && process.exitCode() == 0;
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return ran;
}

// FFmpeg's own ebur128 filter, the measure the program's is held to.
double ffmpegLoudness(const QString& path) {
    QString out;
    EXPECT_TRUE(run(
        QStringLiteral("ffmpeg"),
        {"-nostats", "-hide_banner", "-i", path, "-filter_complex", "ebur128", "-f", "null", "-"},
        &out))
        << out.toStdString();
    const auto all = QRegularExpression(QStringLiteral(R"(^\s+I:\s+(-?[\d.]+) LUFS)"),
                                        QRegularExpression::MultilineOption)
                         .globalMatch(out);
    double last = NAN;
    for (auto it = all; it.hasNext();)
        last = it.next().captured(1).toDouble();
    return last;
}

class LoudnessTest : public ::testing::Test {
  protected:
    QString file(const QString& name) const { return QDir(dir.path()).filePath(name); }
    QString sox(const QString& name, const QStringList& effects) {
        const QString path = file(name);
        EXPECT_TRUE(run(QStringLiteral("sox"),
                        QStringList{"-n"} + effects.mid(0, 6) + QStringList{path} + effects.mid(6)))
            << name.toStdString();
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(LoudnessTest, FilesMeasureAsFfmpegsEbur128MeasuresThem) {
    struct Case {
        const char* name;
        QStringList effects; // format (six words), then the sound
    };
    const Case cases[] = {
        {"about -30 LUFS.wav",
         {"-r", "44100", "-c", "2", "-b", "16", "synth", "6", "pinknoise", "gain", "-19.3"}},
        {"about -20 LUFS.flac",
         {"-r", "44100", "-c", "2", "-b", "16", "synth", "6", "pinknoise", "gain", "-9.3"}},
        {"about -10 LUFS.wav",
         {"-r", "48000", "-c", "2", "-b", "24", "synth", "6", "whitenoise", "gain", "-10.8"}},
        // A tone fading out over five seconds: the gates leave out its quiet end.
        {"loud then quiet.wav",
         {"-r", "44100", "-c", "1", "-b", "16", "synth", "6", "sine", "440", "fade", "0", "6", "5",
          "gain", "-3"}},
        // The surrounds weigh more, the low-frequency channel nothing.
        {"five one.flac",
         {"-r", "48000", "-c", "6", "-b", "24", "synth", "4", "pinknoise", "gain", "-15"}},
        {"ogg.ogg",
         {"-r", "44100", "-c", "2", "-b", "16", "synth", "5", "brownnoise", "gain", "-12"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = sox(QString::fromUtf8(c.name), c.effects);
        const Waveform w = read(path);
        ASSERT_TRUE(w.complete) << w.error.toStdString();
        ASSERT_TRUE(w.facts.measured());
        const double reference = ffmpegLoudness(path);
        ASSERT_FALSE(std::isnan(reference));
        EXPECT_NEAR(w.facts.loudness, reference, 0.5);
        EXPECT_FALSE(w.facts.silent());
    }
}

TEST_F(LoudnessTest, PeakSilenceAndFilesShorterThanOneGatingBlock) {
    struct Case {
        const char* name;
        int rate;
        double seconds, amplitude;
        double loudness; // NaN: too short to measure
        double peakDb;
        bool silent;
    };
    // A 997 Hz sine reads 3.01 dB under its peak level.
    const double inf = INFINITY, unmeasurable = NAN;
    const int absurdRate = 2147483647; // as a damaged header may state it
    for (const Case& c :
         {Case{"tone.wav", 48000, 3, 0.1, -23.0, -20.0, false},
          Case{"a hit of a tenth of a second.wav", 48000, 0.1, 0.5, unmeasurable, -6.02, false},
          Case{"digital silence.wav", 48000, 3, 0, -inf, -inf, true},
          // Faint but there: silence is told by the peak, not by the loudness.
          Case{"hiss under -60 LUFS.wav", 48000, 3, 0.0005, -69.0, -66.0, false},
          Case{"hum under -70 dB.wav", 48000, 3, 0.0002, -inf, -74.0, true},
          Case{"a rate no drive plays.wav", absurdRate, 0.01, 0.5, unmeasurable, -6.02, false}}) {
        SCOPED_TRACE(c.name);
        const QString path = file(QString::fromUtf8(c.name));
        // The same samples whatever rate the header states.
        writeWav(path, c.rate, 1, WavSamples::F32, qint64(c.seconds * 48000), [&](qint64 i, int) {
            return c.amplitude * std::sin(2 * M_PI * 997.0 * double(i) / 48000);
        });
        const Waveform w = read(path);
        ASSERT_TRUE(w.complete) << w.error.toStdString();
        EXPECT_EQ(w.facts.silent(), c.silent);
        EXPECT_EQ(w.facts.tooShortToMeasure, std::isnan(c.loudness)) << w.facts.loudness;
        if (std::isinf(c.loudness) || std::isnan(c.loudness))
            EXPECT_TRUE(std::isinf(w.facts.loudness) && w.facts.loudness < 0) << w.facts.loudness;
        else
            EXPECT_NEAR(w.facts.loudness, c.loudness, 0.2);
        if (std::isinf(c.peakDb))
            EXPECT_TRUE(std::isinf(w.facts.peakDb) && w.facts.peakDb < 0) << w.facts.peakDb;
        else
            EXPECT_NEAR(w.facts.peakDb, c.peakDb, 0.05);
    }
}

TEST_F(LoudnessTest, NothingIsMeasuredOfAReadThatWasCancelled) {
    const QString path =
        sox(QStringLiteral("long.flac"),
            {"-r", "44100", "-c", "2", "-b", "16", "synth", "60", "pinknoise", "gain", "-10"});
    int asked = 0;
    const Waveform w = readWaveform(
        path, [&] { return ++asked > 20; }, nullptr);
    EXPECT_FALSE(w.complete);
    EXPECT_FALSE(w.facts.measured());
}

} // namespace
