#include "support/wav.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <cmath>

namespace {
constexpr int kRate = 44100;
constexpr int kFrameBytes = 4;
} // namespace

void writeToneWav(const QString& path, double seconds, double frequency) {
    const quint32 frames = static_cast<quint32>(std::lround(seconds * kRate));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 dataBytes = frames * kFrameBytes;
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(2) << quint32(kRate) << quint32(kRate * kFrameBytes)
        << quint16(kFrameBytes) << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (quint32 i = 0; i < frames; ++i) {
        const auto sample = static_cast<qint16>(8000 * std::sin(2 * M_PI * frequency * i / kRate));
        out << sample << sample;
    }
}

double rawPcmSeconds(const QString& path) {
    return double(QFileInfo(path).size()) / kFrameBytes / kRate;
}
