#include "waveform/waveform_decoder.h"

#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <random>

namespace {

// A 16-bit stereo 44.1 kHz WAV of noise whose loudness swells and falls,
// written a second at a time so that an hour of it never sits in memory.
bool writeLongWav(const QString& path, int seconds) {
    constexpr int kRate = 44100;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const quint32 dataBytes = quint32(seconds) * kRate * 4;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(2) << quint32(kRate) << quint32(kRate * 4)
        << quint16(4) << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    std::mt19937 noise(7);
    std::uniform_int_distribution<int> sample(-20000, 20000);
    QByteArray second(kRate * 4, '\0');
    for (int s = 0; s < seconds; ++s) {
        const double swell = 0.5 + 0.5 * std::sin(s / 30.0);
        auto* at = reinterpret_cast<qint16*>(second.data());
        for (int i = 0; i < kRate * 2; ++i)
            at[i] = qint16(sample(noise) * swell);
        if (file.write(second) != second.size())
            return false;
    }
    return true;
}

struct Files {
    QTemporaryDir dir;
    QString flac = QDir(dir.path()).filePath(QStringLiteral("three minutes.flac"));
    QString hour = QDir(dir.path()).filePath(QStringLiteral("an hour.wav"));
    bool madeFlac = false, madeHour = false;
    Files() {
        const QString wav = QDir(dir.path()).filePath(QStringLiteral("three minutes.wav"));
        QProcess sox;
        madeFlac = writeLongWav(wav, 180) && (sox.start(QStringLiteral("sox"), {wav, flac}),
                                              sox.waitForFinished(120000) && sox.exitCode() == 0);
        QFile::remove(wav);
    }
    void makeHour() {
        if (!madeHour)
            madeHour = writeLongWav(hour, 3600);
    }
};

Files& files() {
    static Files f;
    return f;
}

void report(benchmark::State& state, const Waveform& w) {
    if (!w.complete)
        state.SkipWithError(("not read: " + w.error).toStdString().c_str());
    state.counters["buckets"] = double(w.peaks.buckets());
    state.counters["peak_kB"] = double(w.peaks.columns.size() * sizeof(PeakColumn)) / 1000;
    state.counters["file_MB"] = double(w.facts.bytes) / 1e6;
    state.counters["LUFS"] = w.facts.loudness; // measured in the same reading
}

// The whole peaks of a three-minute 44.1 kHz stereo FLAC.
void BM_PeaksOfAThreeMinuteFlac(benchmark::State& state) {
    if (!files().madeFlac)
        return state.SkipWithError("sox could not make the FLAC file");
    Waveform w;
    for (auto _ : state)
        w = readWaveform(
            files().flac, [] { return false; }, nullptr);
    report(state, w);
}
BENCHMARK(BM_PeaksOfAThreeMinuteFlac)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// An hour-long WAV (635 MB), and how soon the first part of it can be drawn:
// the first progress report, which the screen paints as it comes.
void BM_PeaksOfAnHourLongWav(benchmark::State& state) {
    files().makeHour();
    if (!files().madeHour)
        return state.SkipWithError("the hour-long WAV could not be written");
    Waveform w;
    double firstMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        double first = -1;
        w = readWaveform(
            files().hour, [] { return false; },
            [&](const Waveform&) {
                if (first < 0)
                    first = double(clock.nsecsElapsed()) / 1e6;
            });
        firstMs = std::max(firstMs, first);
    }
    state.counters["first_screen_ms"] = firstMs;
    report(state, w);
}
BENCHMARK(BM_PeaksOfAnHourLongWav)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
