#pragma once

#include <QtGlobal>
#include <algorithm>
#include <cstdint>
#include <vector>

// Integrated loudness as EBU R128 measures it (ITU-R BS.1770-4): every channel
// through the K-weighting filter, the weighted mean square in 400 ms blocks
// that overlap by 300 ms, blocks under -70 LUFS left out and then those more
// than 10 LU under the mean of the rest.
class LoudnessMeter {
  public:
    // weights: each channel's share of the sum (1 for the front ones, 1.41 for
    // the surrounds, 0 for the low-frequency effects channel).
    LoudnessMeter(int sampleRate, std::vector<double> weights);

    // Frames of samples of type T, as PeakAccumulator takes them.
    template <class T>
    void add(const uint8_t* const* data, bool planar, int channels, int frames, float scale) {
        scale_ = double(scale);
        int done = 0;
        while (done < frames) {
            const int take = std::min(frames - done, blockFrames_ - inBlock_);
            for (std::size_t pair = 0; pair < pairs_.size(); ++pair)
                filter<T>(data, planar, channels, done, take, pair);
            inBlock_ += take;
            done += take;
            if (inBlock_ == blockFrames_)
                closeBlock();
        }
    }

    // In LUFS; minus infinity when nothing was loud enough to be measured,
    // NaN when the sound is shorter than one 400 ms gating block.
    double integrated() const;

  private:
    // Two channels go through the filter side by side, one in each lane: the
    // filter's feedback makes every sample wait for the one before, and two
    // lanes halve that wait.
    using Lanes = double __attribute__((vector_size(16)));
    struct Pair {
        int first, second; // channels; second is -1 for the odd one out
        Lanes x1{}, x2{}, y1{}, y2{}, z1{}, z2{};
        Lanes energy{};
    };
    struct Stage {
        double b0, b1, b2, a1, a2;
    };

    // Where one channel's samples of type T lie and how far apart; the odd
    // lane out reads a single zero, again and again.
    template <class T> struct Source {
        const T* first;
        int stride;
    };
    template <class T>
    static Source<T> source(const uint8_t* const* data, bool planar, int channels, int channel,
                            int from) {
        static const T zero{};
        if (channel < 0)
            return {&zero, 0};
        if (planar)
            return {reinterpret_cast<const T*>(data[channel]) + from, 1};
        return {reinterpret_cast<const T*>(data[0]) + qint64(from) * channels + channel, channels};
    }

    // Direct form I: the feedforward terms are summed away from the chain that
    // carries each output into the next.
    template <class T>
    void filter(const uint8_t* const* data, bool planar, int channels, int from, int n,
                std::size_t which) {
        Pair& p = pairs_[which];
        const Stage& s = shelf_;
        const double c1 = highPass_.a1, c2 = highPass_.a2;
        const Source<T> a = source<T>(data, planar, channels, p.first, from);
        const Source<T> b = source<T>(data, planar, channels, p.second, from);
        Lanes x1 = p.x1, x2 = p.x2, y1 = p.y1, y2 = p.y2, z1 = p.z1, z2 = p.z2, energy = p.energy;
        for (int i = 0; i < n; ++i) {
            const Lanes x = {double(a.first[i * a.stride]), double(b.first[i * b.stride])};
            const Lanes y = (s.b0 * x + s.b1 * x1 + s.b2 * x2 - s.a2 * y2) - s.a1 * y1;
            const Lanes z = (y - 2 * y1 + y2 - c2 * z2) - c1 * z1;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            z2 = z1;
            z1 = z;
            energy += z * z;
        }
        p.x1 = x1, p.x2 = x2, p.y1 = y1, p.y2 = y2, p.z1 = z1, p.z2 = z2, p.energy = energy;
    }

    void closeBlock();
    double openEnergy() const; // of the frames since the last whole block, weighted

    Stage shelf_{}, highPass_{};
    std::vector<Pair> pairs_;
    std::vector<double> weights_;
    int blockFrames_;                 // a tenth of a second
    int inBlock_ = 0;                 // frames of the block being filled
    double scale_ = 1;                // brings the samples to -1..1
    std::vector<double> blockEnergy_; // mean square of every whole tenth of a second
};
