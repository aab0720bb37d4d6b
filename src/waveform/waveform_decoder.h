#pragma once

#include <QString>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

// What a file is, as the player's screen states it.
struct AudioFacts {
    QString format;     // "FLAC", "WAV", "MP3", "Ogg Vorbis", ...
    int sampleRate = 0; // Hz
    int channels = 0;
    int bitDepth = 0; // 0 where the format has none (the lossy ones)
    bool floatSamples = false;
    double seconds = 0; // the stated length while reading, the decoded one once read
    qint64 bytes = 0;
    // What its tags say, where it has them.
    QString title, artist, album;
    int track = 0;
    // Measured once the whole file is read: the integrated loudness in LUFS
    // (minus infinity when nothing was loud enough to measure) and the highest
    // sample in dB under full scale (minus infinity for digital silence).
    // NaN until then.
    double loudness = std::numeric_limits<double>::quiet_NaN();
    double peakDb = std::numeric_limits<double>::quiet_NaN();
    bool tooShortToMeasure = false; // under one 400 ms block: loudness is minus infinity
    bool measured() const { return !std::isnan(loudness); }
    // Recordings that never started: no sample reaches -70 dB under full
    // scale. Decided by the peak, since quiet but audible noise can measure
    // under -60 LUFS.
    bool silent() const { return measured() && peakDb < kSilentPeakDb; }
    bool loudnessKnown() const { return measured() && !std::isinf(loudness); }
    static constexpr double kSilentPeakDb = -70;
};

// The lowest and highest sample of one stretch of one lane, from -1 to 1;
// clipped when two samples in a row there sat at full scale.
struct PeakColumn {
    float low = 0;
    float high = 0;
    bool clipped = false;
};

// A whole file's peaks: a few thousand buckets of consecutive frames, however
// long the file, in one or two lanes (mono, or left and right; further
// channels fold onto these two).
struct Peaks {
    int lanes = 0;
    qint64 framesPerBucket = 1;
    // The buckets the stated length fills, which the drawing scales to while the
    // file is read; 0 when the file states no length.
    qint64 expectedBuckets = 0;
    std::vector<PeakColumn> columns; // bucket b, lane l at b * lanes + l
    qint64 buckets() const { return lanes ? qint64(columns.size()) / lanes : 0; }
    const PeakColumn& at(qint64 bucket, int lane) const { return columns[bucket * lanes + lane]; }
};

struct Waveform {
    AudioFacts facts;
    Peaks peaks;
    QString error; // why the file could not be decoded, in plain words
    bool complete = false;
    bool failed() const { return !error.isEmpty(); }
};

// At most this many buckets are kept: the peaks of an hour take no more room
// than those of a second.
inline constexpr qint64 kMaxPeakBuckets = 8192;

// Decodes path to its peaks. progress gets the peaks so far every few tens of
// milliseconds; cancelled is asked between packets and ends the reading at
// once. Runs on any thread: it touches nothing but the file.
Waveform readWaveform(const QString& path, const std::function<bool()>& cancelled,
                      const std::function<void(const Waveform&)>& progress);
