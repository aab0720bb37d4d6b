#include "support/wav.h"
#include "waveform/waveform_decoder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace {

constexpr int kRate = 8000;

// The loudest sample of a lane between two fractions of the file's length.
float loudest(const Peaks& peaks, int lane, double from, double to) {
    float most = 0;
    const qint64 n = peaks.buckets();
    for (qint64 b = qint64(from * n); b < qint64(to * n); ++b)
        most =
            std::max({most, std::fabs(peaks.at(b, lane).high), std::fabs(peaks.at(b, lane).low)});
    return most;
}

bool clippedBetween(const Peaks& peaks, int lane, double from, double to) {
    const qint64 n = peaks.buckets();
    for (qint64 b = qint64(from * n); b < qint64(to * n); ++b)
        if (peaks.at(b, lane).clipped)
            return true;
    return false;
}

double tone(qint64 frame, double amplitude) {
    return amplitude * std::sin(2 * M_PI * 440.0 * double(frame) / kRate);
}

class WaveformDecoderTest : public ::testing::Test {
  protected:
    QString file(const QString& name) const { return QDir(dir.path()).filePath(name); }

    static Waveform read(const QString& path) {
        return readWaveform(
            path, [] { return false; }, nullptr);
    }

    // Two seconds of silence, then two of a tone: 0.5 on the left, 0.25 on the right.
    QString silenceThenTone(const QString& name, int channels, WavSamples samples) {
        const QString path = file(name);
        writeWav(path, kRate, channels, samples, 4 * kRate, [](qint64 i, int c) {
            return i < 2 * kRate ? 0.0 : tone(i, c == 0 ? 0.5 : 0.25);
        });
        return path;
    }

    QString convert(const QString& wav, const QString& name) {
        const QString out = file(name);
        QProcess sox;
        sox.start(QStringLiteral("sox"), {wav, out});
        EXPECT_TRUE(sox.waitForFinished(30000) && sox.exitCode() == 0)
            << "sox " << name.toStdString() << ": " << sox.readAllStandardError().toStdString();
        return out;
    }

    QTemporaryDir dir;
};

TEST_F(WaveformDecoderTest, SilenceThenAToneShowsInTheSecondHalfOnlyInEverySampleFormat) {
    struct Case {
        WavSamples samples;
        int channels;
        int bits;
        bool isFloat;
    };
    for (const Case& c : {Case{WavSamples::U8, 1, 8, false}, Case{WavSamples::S16, 2, 16, false},
                          Case{WavSamples::S24, 2, 24, false}, Case{WavSamples::F32, 1, 32, true},
                          Case{WavSamples::S16, 1, 16, false}}) {
        SCOPED_TRACE(testing::Message() << c.bits << "-bit, " << c.channels << " channels");
        const QString path = silenceThenTone(
            QStringLiteral("t%1-%2.wav").arg(c.bits).arg(c.channels), c.channels, c.samples);
        const Waveform w = read(path);
        ASSERT_TRUE(w.complete) << w.error.toStdString();
        EXPECT_EQ(w.facts.format, "WAV");
        EXPECT_EQ(w.facts.sampleRate, kRate);
        EXPECT_EQ(w.facts.channels, c.channels);
        EXPECT_EQ(w.facts.bitDepth, c.bits);
        EXPECT_EQ(w.facts.floatSamples, c.isFloat);
        EXPECT_NEAR(w.facts.seconds, 4.0, 0.01);
        EXPECT_EQ(w.facts.bytes, QFile(path).size());
        ASSERT_EQ(w.peaks.lanes, c.channels);
        EXPECT_LE(w.peaks.buckets(), kMaxPeakBuckets);
        EXPECT_GT(w.peaks.buckets(), 1000);
        EXPECT_LT(loudest(w.peaks, 0, 0.0, 0.49), 0.01);
        EXPECT_NEAR(loudest(w.peaks, 0, 0.51, 1.0), 0.5, 0.02);
        if (c.channels == 2) {
            EXPECT_LT(loudest(w.peaks, 1, 0.0, 0.49), 0.01);
            EXPECT_NEAR(loudest(w.peaks, 1, 0.51, 1.0), 0.25, 0.02);
        }
        EXPECT_FALSE(clippedBetween(w.peaks, 0, 0.0, 1.0));
    }
}

TEST_F(WaveformDecoderTest, AClippedToneIsMarkedWhereItClipsAndNowhereElse) {
    const QString path = file("clipped.wav");
    // A clean tone at full scale's edge, then one driven far past it.
    writeWav(path, kRate, 1, WavSamples::S16, 4 * kRate,
             [](qint64 i, int) { return tone(i, i < 2 * kRate ? 0.95 : 3.0); });
    const Waveform w = read(path);
    ASSERT_TRUE(w.complete) << w.error.toStdString();
    EXPECT_FALSE(clippedBetween(w.peaks, 0, 0.0, 0.49));
    EXPECT_TRUE(clippedBetween(w.peaks, 0, 0.51, 1.0));
    EXPECT_NEAR(loudest(w.peaks, 0, 0.51, 1.0), 1.0, 0.001);
}

TEST_F(WaveformDecoderTest, CompressedFilesKeepTheirShape) {
    const QString wav = silenceThenTone(QStringLiteral("source.wav"), 2, WavSamples::S16);
    struct Case {
        const char* name;
        const char* format;
        int bits;
        double tolerance;
    };
    for (const Case& c : {Case{"t.flac", "FLAC", 16, 0.02}, Case{"t.mp3", "MP3", 0, 0.1},
                          Case{"t.ogg", "Ogg Vorbis", 0, 0.1}}) {
        SCOPED_TRACE(c.name);
        const Waveform w = read(convert(wav, QString::fromLatin1(c.name)));
        ASSERT_TRUE(w.complete) << w.error.toStdString();
        EXPECT_EQ(w.facts.format, c.format);
        EXPECT_EQ(w.facts.bitDepth, c.bits);
        EXPECT_EQ(w.facts.channels, 2);
        // Lossy encoders pad the start and end a little.
        EXPECT_NEAR(w.facts.seconds, 4.0, 0.25);
        ASSERT_EQ(w.peaks.lanes, 2);
        EXPECT_LT(loudest(w.peaks, 0, 0.0, 0.45), 0.02);
        EXPECT_NEAR(loudest(w.peaks, 0, 0.55, 0.95), 0.5, c.tolerance);
        EXPECT_NEAR(loudest(w.peaks, 1, 0.55, 0.95), 0.25, c.tolerance);
    }
}

TEST_F(WaveformDecoderTest, AFileThatCannotBeDecodedSaysWhyInPlainWords) {
    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(file(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return file(name);
    };
    const QString notAudio = write(QStringLiteral("words.wav"), QByteArray(4000, 'x'));
    const QString empty = write(QStringLiteral("empty.flac"), {});
    QDir(dir.path()).mkdir(QStringLiteral("folder.wav"));
    // Nobody writes to it: opened, it would wait for good.
    ASSERT_EQ(::mkfifo(QFile::encodeName(file("pipe.wav")).constData(), 0600), 0);
    const struct {
        QString path;
        const char* reason;
    } cases[] = {
        {file("gone.wav"), "the file is not there any more"},
        {empty, "the file is empty"},
        {file("folder.wav"), "it is a folder, not a file"},
        {notAudio, "it is not in an audio format that can be read, or it is damaged"},
        {file("pipe.wav"), "it is not a plain file (a pipe or a device, say)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const Waveform w = read(c.path);
        EXPECT_FALSE(w.complete);
        EXPECT_EQ(w.error, c.reason);
    }
}

TEST_F(WaveformDecoderTest, ANameWithSpacesQuotesAndNonAsciiIsRead) {
    const QString path =
        silenceThenTone(QStringLiteral("it's a \"take\" \u00e9t\u00e9 #1.wav"), 1, WavSamples::S16);
    const Waveform w = read(path);
    EXPECT_TRUE(w.complete) << w.error.toStdString();
}

TEST_F(WaveformDecoderTest, ProgressComesWhileReadingAndCancellingStopsTheReadAtOnce) {
    const QString path = file("long.wav");
    // Ten minutes: far more frames than buckets, so the peaks stay bounded.
    writeWav(path, kRate, 1, WavSamples::U8, 600 * kRate,
             [](qint64 i, int) { return tone(i, 0.5); });
    const Waveform whole = read(path);
    ASSERT_TRUE(whole.complete);
    EXPECT_LE(whole.peaks.buckets(), kMaxPeakBuckets);
    EXPECT_GE(whole.peaks.buckets(), kMaxPeakBuckets / 4);
    EXPECT_EQ(whole.peaks.framesPerBucket * whole.peaks.buckets(),
              600 * kRate + whole.peaks.framesPerBucket -
                  600 * kRate % whole.peaks.framesPerBucket);

    int asked = 0;
    const Waveform cut = readWaveform(
        path, [&] { return ++asked > 3; }, nullptr);
    EXPECT_FALSE(cut.complete);
    EXPECT_FALSE(cut.failed());
    EXPECT_EQ(asked, 4) << "the read went on after it was cancelled";

    // A slow drive: each of the first 200 packets takes a millisecond or more,
    // so the read lasts long enough for several reports.
    int packets = 0;
    std::vector<qint64> seen;
    const Waveform slow = readWaveform(
        path,
        [&] {
            if (++packets <= 200)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return false;
        },
        [&](const Waveform& sofar) { seen.push_back(sofar.peaks.buckets()); });
    ASSERT_TRUE(slow.complete);
    ASSERT_GE(seen.size(), 2u) << "no progress came in a read of " << packets << " packets";
    // Each report held more than the one before, and never more than the whole.
    for (std::size_t i = 1; i < seen.size(); ++i)
        EXPECT_GT(seen[i], seen[i - 1]);
    for (qint64 n : seen)
        EXPECT_LE(n, whole.peaks.buckets());
}

} // namespace
