#include "waveform/loudness_feed.h"

#include "waveform/sample_formats.h"

#include <type_traits>

namespace {
// Either side wakes the other only when it waits, and a wake-up costs the
// waker a few microseconds: batches of a few thousand frames cost an hour-long
// WAV's reading a tenth of a second in wake-ups alone. Half a megabyte is a few
// seconds of sound: a few hundred wake-ups for the hour.
constexpr std::size_t kBatchBytes = std::size_t(1) << 19;
constexpr std::size_t kMostWaiting = 4;
} // namespace

LoudnessFeed::LoudnessFeed(int sampleRate, std::vector<double> weights)
    : meter_(sampleRate, weights), channels_(int(weights.size())), thread_([this] { run(); }) {}

LoudnessFeed::~LoudnessFeed() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = ending_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void LoudnessFeed::push(const AVFrame& frame) {
    // A frame with other channels than the file began with is left out.
    if (frame.ch_layout.nb_channels != channels_)
        return;
    visitSamples(frame, [this](auto sample, const uint8_t* const* data, bool planar, int,
                               int frames, float scale) {
        using T = decltype(sample);
        const Type type = std::is_same_v<T, int16_t>   ? Type::Int16
                          : std::is_same_v<T, int32_t> ? Type::Int32
                                                       : Type::Float;
        append(type, planar, scale, data, frames, int(sizeof(T)));
    });
}

void LoudnessFeed::push(const std::vector<float*>& planes, int frames) {
    if (int(planes.size()) != channels_)
        return;
    std::vector<const uint8_t*> data;
    for (const float* plane : planes)
        data.push_back(reinterpret_cast<const uint8_t*>(plane));
    append(Type::Float, true, 1.f, data.data(), frames, int(sizeof(float)));
}

void LoudnessFeed::append(Type type, bool planar, float scale, const uint8_t* const* data,
                          int frames, int bytesPerSample) {
    if (filling_.frames > 0 &&
        (filling_.type != type || filling_.planar != planar || filling_.scale != scale))
        hand();
    filling_.type = type;
    filling_.planar = planar;
    filling_.scale = scale;
    const int planes = planar ? channels_ : 1;
    const std::size_t bytes = std::size_t(frames) * bytesPerSample * (planar ? 1 : channels_);
    filling_.planes.resize(planes);
    for (int p = 0; p < planes; ++p) {
        std::vector<uint8_t>& plane = filling_.planes[p];
        plane.insert(plane.end(), data[p], data[p] + bytes);
    }
    filling_.frames += frames;
    if (filling_.planes[0].size() * planes >= kBatchBytes)
        hand();
}

void LoudnessFeed::hand() {
    std::unique_lock lock(mutex_);
    handing_ = true;
    changed_.wait(lock, [this] { return waiting_.size() < kMostWaiting || stopping_; });
    handing_ = false;
    if (stopping_)
        return;
    waiting_.push_back(std::move(filling_));
    filling_ = Batch{};
    if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
    }
    const bool wake = !measuring_;
    lock.unlock();
    if (wake)
        changed_.notify_all();
}

double LoudnessFeed::finish() {
    if (filling_.frames > 0)
        hand();
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
    return meter_.integrated();
}

void LoudnessFeed::run() {
    for (;;) {
        Batch batch;
        {
            std::unique_lock lock(mutex_);
            measuring_ = false;
            changed_.wait(lock, [this] { return !waiting_.empty() || ending_; });
            measuring_ = true;
            if (stopping_ || waiting_.empty())
                return;
            batch = std::move(waiting_.front());
            waiting_.pop_front();
            if (handing_)
                changed_.notify_all();
        }
        measure(batch);
        batch.frames = 0;
        for (std::vector<uint8_t>& plane : batch.planes)
            plane.clear(); // keeps its room for the next batch
        std::lock_guard lock(mutex_);
        spare_.push_back(std::move(batch));
    }
}

void LoudnessFeed::measure(const Batch& batch) {
    std::vector<const uint8_t*> data;
    for (const std::vector<uint8_t>& plane : batch.planes)
        data.push_back(plane.data());
    switch (batch.type) {
    case Type::Int16:
        return meter_.add<int16_t>(data.data(), batch.planar, channels_, batch.frames, batch.scale);
    case Type::Int32:
        return meter_.add<int32_t>(data.data(), batch.planar, channels_, batch.frames, batch.scale);
    case Type::Float:
        return meter_.add<float>(data.data(), batch.planar, channels_, batch.frames, batch.scale);
    }
}
