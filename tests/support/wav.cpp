#include "support/wav.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace {
constexpr int kRate = 44100;
constexpr int kFrameBytes = 4;
} // namespace

void writeToneWav(const QString& path, double seconds, double frequency) {
    writeWav(path, kRate, 2, WavSamples::S16, std::llround(seconds * kRate),
             [frequency](qint64 i, int) {
                 return 8000.0 / 32767 * std::sin(2 * M_PI * frequency * i / kRate);
             });
}

double rawPcmSeconds(const QString& path) {
    return double(QFileInfo(path).size()) / kFrameBytes / kRate;
}

void writeWav(const QString& path, int rate, int channels, WavSamples samples, qint64 frames,
              const std::function<double(qint64, int)>& sample) {
    const int bytes = samples == WavSamples::U8    ? 1
                      : samples == WavSamples::S16 ? 2
                      : samples == WavSamples::S24 ? 3
                                                   : 4;
    const quint32 dataBytes = quint32(frames * channels * bytes);
    QByteArray data;
    data.reserve(int(dataBytes));
    for (qint64 i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            const double v = std::clamp(sample(i, c), -1.0, 1.0);
            if (samples == WavSamples::F32) {
                const float f = float(v);
                data.append(reinterpret_cast<const char*>(&f), 4);
                continue;
            }
            const int bits = bytes * 8;
            const qint64 top = (qint64(1) << (bits - 1)) - 1;
            qint64 q = std::llround(v * top);
            if (samples == WavSamples::U8)
                q += 128; // 8-bit WAV samples are unsigned
            for (int b = 0; b < bytes; ++b)
                data.append(char((q >> (8 * b)) & 0xff));
        }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    const quint16 tag = samples == WavSamples::F32 ? 3 : 1; // IEEE float, or PCM
    out << quint32(16) << tag << quint16(channels) << quint32(rate)
        << quint32(rate * channels * bytes) << quint16(channels * bytes) << quint16(bytes * 8);
    out.writeRawData("data", 4);
    out << dataBytes;
    out.writeRawData(data.constData(), data.size());
}
