#pragma once

#include <QString>

// Writes a 16-bit stereo 44.1 kHz WAV of a sine tone, the given length long.
void writeToneWav(const QString& path, double seconds, double frequency = 440.0);
// Seconds of sound in a file of raw 16-bit stereo 44.1 kHz samples, from its size.
double rawPcmSeconds(const QString& path);

#include <functional>

enum class WavSamples { U8, S16, S24, F32 };
// Writes a WAV of frames frames at rate Hz; sample(frame, channel) gives each
// sample from -1 to 1, clipped to full scale on writing.
void writeWav(const QString& path, int rate, int channels, WavSamples samples, qint64 frames,
              const std::function<double(qint64 frame, int channel)>& sample);
