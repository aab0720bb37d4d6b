#include "waveform/loudness_meter.h"

#include <cmath>
#include <limits>
#include <numeric>

namespace {

constexpr double kAbsoluteGate = -70; // LUFS
constexpr double kRelativeGate = -10; // LU under the mean of the blocks over the absolute gate
constexpr int kBlocksPerGate = 4;     // a gating block: 400 ms, moved on by 100 ms

double lufs(double meanSquare) {
    return -0.691 + 10 * std::log10(meanSquare);
}

} // namespace

// The two stages of the K-weighting filter, designed for the file's own rate
// (BS.1770 gives them at 48 kHz): a high shelf of about +4 dB over 1.5 kHz,
// then a high pass at 38 Hz.
LoudnessMeter::LoudnessMeter(int sampleRate, std::vector<double> weights)
    // In 64 bits: a header may state any rate up to 2^31 - 1.
    : weights_(std::move(weights)),
      blockFrames_(int(std::max<qint64>(1, (qint64(sampleRate) + 5) / 10))) {
    const double rate = std::max(1, sampleRate);
    {
        const double f0 = 1681.974450955533, gain = 3.999843853973347, q = 0.7071752369554196;
        const double k = std::tan(M_PI * f0 / rate);
        const double vh = std::pow(10.0, gain / 20), vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1 + k / q + k * k;
        shelf_ = {(vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0,
                  (vh - vb * k / q + k * k) / a0, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
    }
    {
        const double f0 = 38.13547087602444, q = 0.5003270373238773;
        const double k = std::tan(M_PI * f0 / rate);
        const double a0 = 1 + k / q + k * k;
        highPass_ = {1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
    }
    for (int c = 0; c < int(weights_.size()); c += 2)
        pairs_.push_back({c, c + 1 < int(weights_.size()) ? c + 1 : -1});
}

double LoudnessMeter::openEnergy() const {
    double sum = 0;
    for (const Pair& p : pairs_) {
        sum += weights_[p.first] * p.energy[0];
        if (p.second >= 0)
            sum += weights_[p.second] * p.energy[1];
    }
    return sum * scale_ * scale_;
}

void LoudnessMeter::closeBlock() {
    blockEnergy_.push_back(openEnergy() / blockFrames_);
    for (Pair& p : pairs_)
        p.energy = Lanes{};
    inBlock_ = 0;
}

double LoudnessMeter::integrated() const {
    constexpr double kNothing = -std::numeric_limits<double>::infinity();
    const auto n = qint64(blockEnergy_.size());
    // Shorter than one gating block (a drum hit, a click): the measure is not
    // defined there, and the filter's start from rest would make up a figure.
    if (n < kBlocksPerGate)
        return std::numeric_limits<double>::quiet_NaN();
    std::vector<double> gated;
    gated.reserve(std::size_t(n));
    for (qint64 b = 0; b + kBlocksPerGate <= n; ++b) {
        const double e =
            (blockEnergy_[b] + blockEnergy_[b + 1] + blockEnergy_[b + 2] + blockEnergy_[b + 3]) /
            kBlocksPerGate;
        if (lufs(e) > kAbsoluteGate)
            gated.push_back(e);
    }
    if (gated.empty())
        return kNothing;
    const double relative =
        lufs(std::accumulate(gated.begin(), gated.end(), 0.0) / double(gated.size())) +
        kRelativeGate;
    double sum = 0;
    qint64 kept = 0;
    for (double e : gated)
        if (lufs(e) > relative) {
            sum += e;
            ++kept;
        }
    return kept ? lufs(sum / double(kept)) : kNothing;
}
