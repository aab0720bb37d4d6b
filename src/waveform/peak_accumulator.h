#pragma once

#include "waveform/waveform_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

// Two samples in a row at least this loud count as clipping (-0.01 dBFS; a
// 16-bit file's highest sample is 32767/32768).
inline constexpr float kFullScale = 0.9989f;
// With no stated length, buckets start this long (a tenth of a second at 44.1 kHz)
// and double whenever they reach the limit.
inline constexpr qint64 kUnstatedLengthBucket = 4096;

// Folds the decoded samples into buckets of peaks, merging neighbours whenever
// the limit is reached, so the peaks stay a few thousand buckets whatever the length.
class PeakAccumulator {
  public:
    PeakAccumulator(int lanes, int channels, qint64 statedFrames) : fullBefore_(channels, false) {
        peaks_.lanes = lanes;
        if (statedFrames > 0) {
            const qint64 target = kMaxPeakBuckets / 2;
            peaks_.framesPerBucket = std::max<qint64>(1, (statedFrames + target - 1) / target);
            peaks_.expectedBuckets =
                (statedFrames + peaks_.framesPerBucket - 1) / peaks_.framesPerBucket;
        } else {
            peaks_.framesPerBucket = kUnstatedLengthBucket;
        }
        open_.assign(lanes, emptyColumn());
        peaks_.columns.reserve(std::min(peaks_.expectedBuckets + 1, kMaxPeakBuckets) * lanes);
    }

    // One frame's worth of samples of type T: a plane per channel, or all
    // channels interleaved in data[0]; scale brings them to -1..1.
    template <class T>
    void add(const uint8_t* const* data, bool planar, int channels, int frames, float scale) {
        int done = 0;
        while (done < frames) {
            const int take =
                int(std::min<qint64>(frames - done, peaks_.framesPerBucket - inBucket_));
            if (!planar && channels == 2 && fullBefore_.size() >= 2)
                scanPair(reinterpret_cast<const T*>(data[0]) + done * 2, take, scale);
            else
                for (int c = 0; c < channels && c < int(fullBefore_.size()); ++c) {
                    const T* first =
                        planar ? reinterpret_cast<const T*>(data[c]) + done
                               : reinterpret_cast<const T*>(data[0]) + done * channels + c;
                    if (planar || channels == 1)
                        scan(first, 1, take, c, scale);
                    else
                        scan(first, channels, take, c, scale);
                }
            inBucket_ += take;
            done += take;
            if (inBucket_ == peaks_.framesPerBucket)
                closeBucket();
        }
        frames_ += frames;
    }

    void finish() {
        if (inBucket_ > 0)
            closeBucket();
    }

    qint64 frames() const { return frames_; }
    const Peaks& peaks() const { return peaks_; }

  private:
    static PeakColumn emptyColumn() {
        return {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                false};
    }

    // The samples are compared as they come (whole numbers, mostly), which the
    // compiler turns into vector code; only the two extremes are scaled.
    template <class T> void scan(const T* samples, int stride, int n, int channel, float scale) {
        T low = std::numeric_limits<T>::max(), high = std::numeric_limits<T>::lowest();
        for (int i = 0; i < n; ++i) {
            const T v = samples[i * stride];
            low = v < low ? v : low;
            high = v > high ? v : high;
        }
        fold(samples, stride, n, channel, scale, low, high);
    }

    // Two channels taking turns (a stereo file's samples, mostly): read in one
    // pass, in lanes of a vector that take turns as the channels do. Picked
    // out one channel at a time, they would be compared one by one.
    template <class T> void scanPair(const T* samples, int n, float scale) {
        constexpr int kLanes = 64 / sizeof(T); // even lanes left, odd lanes right
        T low[kLanes], high[kLanes];
        std::fill(low, low + kLanes, std::numeric_limits<T>::max());
        std::fill(high, high + kLanes, std::numeric_limits<T>::lowest());
        const int total = 2 * n;
        int i = 0;
        for (; i + kLanes <= total; i += kLanes)
            for (int j = 0; j < kLanes; ++j) {
                const T v = samples[i + j];
                low[j] = v < low[j] ? v : low[j];
                high[j] = v > high[j] ? v : high[j];
            }
        for (; i < total; ++i) {
            const T v = samples[i];
            low[i % 2] = std::min(low[i % 2], v);
            high[i % 2] = std::max(high[i % 2], v);
        }
        for (int j = 2; j < kLanes; ++j) {
            low[j % 2] = std::min(low[j % 2], low[j]);
            high[j % 2] = std::max(high[j % 2], high[j]);
        }
        fold(samples, 2, n, 0, scale, low[0], high[0]);
        fold(samples + 1, 2, n, 1, scale, low[1], high[1]);
    }

    // A channel's extremes into its lane's column; only a stretch that reaches
    // full scale is looked at sample by sample for clipping.
    template <class T>
    void fold(const T* samples, int stride, int n, int channel, float scale, T low, T high) {
        const float lowest = float(low) * scale, highest = float(high) * scale;
        PeakColumn& column = open_[channel % peaks_.lanes];
        column.low = std::min(column.low, lowest);
        column.high = std::max(column.high, highest);
        bool fullBefore = fullBefore_[channel];
        if (highest < kFullScale && lowest > -kFullScale) {
            fullBefore_[channel] = false;
            return;
        }
        for (int i = 0; i < n; ++i) {
            const bool full = std::fabs(float(samples[i * stride]) * scale) >= kFullScale;
            column.clipped = column.clipped || (full && fullBefore);
            fullBefore = full;
        }
        fullBefore_[channel] = fullBefore;
    }

    void closeBucket() {
        for (PeakColumn& column : open_) {
            peaks_.columns.push_back(column);
            column = emptyColumn();
        }
        inBucket_ = 0;
        if (peaks_.buckets() >= kMaxPeakBuckets)
            halve();
    }

    // The stated length was wrong or missing: pairs of buckets become one.
    void halve() {
        const int lanes = peaks_.lanes;
        const qint64 pairs = peaks_.buckets() / 2;
        std::vector<PeakColumn>& c = peaks_.columns;
        for (qint64 b = 0; b < pairs; ++b)
            for (int l = 0; l < lanes; ++l) {
                const PeakColumn& a = c[(2 * b) * lanes + l];
                const PeakColumn& d = c[(2 * b + 1) * lanes + l];
                c[b * lanes + l] = {std::min(a.low, d.low), std::max(a.high, d.high),
                                    a.clipped || d.clipped};
            }
        c.resize(pairs * lanes);
        peaks_.framesPerBucket *= 2;
        peaks_.expectedBuckets = 0;
    }

    Peaks peaks_;
    std::vector<PeakColumn> open_;
    std::vector<bool> fullBefore_; // by channel: its last sample sat at full scale
    qint64 inBucket_ = 0;
    qint64 frames_ = 0;
};
