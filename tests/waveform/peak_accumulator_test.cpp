#include "waveform/peak_accumulator.h"

#include <gtest/gtest.h>

namespace {

// Mono 16-bit samples, handed over in pieces of the given sizes.
Peaks peaksOf(const std::vector<int16_t>& samples, qint64 statedFrames,
              const std::vector<int>& pieces) {
    PeakAccumulator accumulator(1, 1, statedFrames);
    int at = 0;
    for (const int piece : pieces) {
        const uint8_t* data[] = {reinterpret_cast<const uint8_t*>(samples.data() + at)};
        accumulator.add<int16_t>(data, false, 1, piece, 1.0f / 32768);
        at += piece;
    }
    accumulator.finish();
    return accumulator.peaks();
}

bool anyClipped(const Peaks& peaks) {
    for (const PeakColumn& column : peaks.columns)
        if (column.clipped)
            return true;
    return false;
}

// Clipping is two full-scale samples in a row, wherever the buckets and the
// decoder's frames happen to cut them apart.
TEST(PeakAccumulatorTest, TwoFullScaleSamplesInARowAreAClipAndOneIsNot) {
    constexpr int16_t kTop = 32767, kBottom = -32768;
    struct Case {
        const char* what;
        std::vector<int16_t> samples;
        std::vector<int> pieces;
        bool clipped;
    };
    const Case cases[] = {
        {"one full-scale sample", {0, kTop, 0, 0}, {4}, false},
        {"two apart", {kTop, 0, kBottom, 0}, {4}, false},
        {"two in a row", {0, kTop, kTop, 0}, {4}, true},
        {"two in a row, negative", {0, kBottom, kBottom, 0}, {4}, true},
        {"two in a row across two frames", {0, kTop, kTop, 0}, {2, 2}, true},
        {"one at the end of a frame, quiet after", {0, kTop, 0, 0}, {2, 2}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A stated length of 4 frames puts every frame in a bucket of its own.
        EXPECT_EQ(anyClipped(peaksOf(c.samples, 4, c.pieces)), c.clipped);
    }
}

// A stated length far too short (or none) makes the buckets fill up; pairs of
// them merge, the count stays within the limit, and a burst at the very end
// still shows in the last bucket at its full height.
TEST(PeakAccumulatorTest, AWrongOrMissingLengthStillKeepsTheLateBurst) {
    constexpr int kFrames = 200000, kBurst = 8;
    std::vector<int16_t> samples(kFrames, 3277); // 0.1 of full scale
    for (int i = kFrames - kBurst; i < kFrames; ++i)
        samples[size_t(i)] = 29491; // 0.9
    for (const qint64 stated : {qint64(1000), qint64(0)}) {
        SCOPED_TRACE(stated);
        const Peaks peaks = peaksOf(samples, stated, {kFrames / 2, kFrames / 2});
        ASSERT_GT(peaks.buckets(), 0);
        EXPECT_LT(peaks.buckets(), kMaxPeakBuckets);
        EXPECT_EQ(peaks.buckets(), (kFrames + peaks.framesPerBucket - 1) / peaks.framesPerBucket);
        EXPECT_NEAR(peaks.at(peaks.buckets() - 1, 0).high, 0.9, 0.001);
        EXPECT_NEAR(peaks.at(0, 0).high, 0.1, 0.001);
        EXPECT_EQ(peaks.expectedBuckets, 0) << "the stated length no longer tells the width";
    }
}

// A stereo file's samples take turns, left then right, and are read both at
// once: each channel keeps its own extremes and its own clips, wherever they
// fall (in the last few samples too), in every sample type.
template <class T> void checkInterleavedStereo(T full) {
    constexpr int kFrames = 1003; // leaves some samples after the last whole vector
    std::vector<T> samples(2 * kFrames, T(0));
    const auto at = [&](int frame, int channel) -> T& {
        return samples[size_t(2 * frame + channel)];
    };
    at(10, 0) = T(-full / 4);
    at(kFrames - 2, 0) = T(-full / 2);
    at(700, 0) = full;              // once only: no clip
    at(499, 1) = at(500, 1) = full; // twice in a row across two pieces: a clip
    at(kFrames - 1, 1) = T(-full + full / 10);
    // One bucket holds the whole file.
    PeakAccumulator accumulator(2, 2, qint64(kFrames) * kMaxPeakBuckets);
    const float scale = 1.f / float(full);
    int done = 0;
    for (const int piece : {500, kFrames - 500}) {
        const uint8_t* data[] = {reinterpret_cast<const uint8_t*>(samples.data() + 2 * done)};
        accumulator.add<T>(data, false, 2, piece, scale);
        done += piece;
    }
    accumulator.finish();
    const Peaks& peaks = accumulator.peaks();
    ASSERT_EQ(peaks.buckets(), 1);
    const PeakColumn &left = peaks.at(0, 0), &right = peaks.at(0, 1);
    EXPECT_NEAR(left.low, -0.5, 0.001);
    EXPECT_NEAR(left.high, 1.0, 0.001);
    EXPECT_FALSE(left.clipped);
    EXPECT_NEAR(right.low, -0.9, 0.001);
    EXPECT_NEAR(right.high, 1.0, 0.001);
    EXPECT_TRUE(right.clipped);
}

TEST(PeakAccumulatorTest, InterleavedStereoKeepsEachChannelsExtremesAndClips) {
    {
        SCOPED_TRACE("16-bit");
        checkInterleavedStereo<int16_t>(32767);
    }
    {
        SCOPED_TRACE("32-bit");
        checkInterleavedStereo<int32_t>(2147483647);
    }
    {
        SCOPED_TRACE("float");
        checkInterleavedStereo<float>(1.f);
    }
}

} // namespace
