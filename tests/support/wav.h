#pragma once

#include <QString>

// Writes a 16-bit stereo 44.1 kHz WAV of a sine tone, the given length long.
void writeToneWav(const QString& path, double seconds, double frequency = 440.0);
// Seconds of sound in a file of raw 16-bit stereo 44.1 kHz samples, from its size.
double rawPcmSeconds(const QString& path);
