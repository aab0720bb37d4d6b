#pragma once

#include "waveform/loudness_meter.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

struct AVFrame;

// Measures the loudness of the samples the waveform's reading decodes, on a
// thread of its own beside the reading: the measure costs about as much as
// decoding a WAV, and the two one after the other would take twice as long.
// The samples are copied as they are into batches of half a megabyte; a few
// batches at most wait, so a slow measure holds the reading back rather than
// filling memory, and the batches go round rather than being made anew. The
// decoder's frames themselves are not handed over instead: their buffers
// would then go round too, and the decoder would write every frame into one
// the other core had read last, which costs the reading more than the copy.
class LoudnessFeed {
  public:
    LoudnessFeed(int sampleRate, std::vector<double> weights);
    ~LoudnessFeed(); // stops the measure where it is
    LoudnessFeed(const LoudnessFeed&) = delete;
    LoudnessFeed& operator=(const LoudnessFeed&) = delete;

    // A decoded frame in a format visitSamples takes.
    void push(const AVFrame& frame);
    // Float planes.
    void push(const std::vector<float*>& planes, int frames);
    // Waits for what was handed over to be measured; the integrated loudness.
    double finish();

  private:
    enum class Type { Int16, Int32, Float };
    struct Batch {
        Type type = Type::Float;
        bool planar = false;
        float scale = 1;
        int frames = 0;
        std::vector<std::vector<uint8_t>> planes; // one, or one per channel
    };
    void append(Type type, bool planar, float scale, const uint8_t* const* data, int frames,
                int bytesPerSample);
    void hand();
    void run();
    void measure(const Batch& batch);

    LoudnessMeter meter_;
    const int channels_;
    Batch filling_; // on the reading's side
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> waiting_;
    std::vector<Batch> spare_; // measured, to be filled again
    bool measuring_ = true;    // the thread is at work, not waiting for samples
    bool handing_ = false;     // the reading waits for room
    bool ending_ = false;      // nothing more will come
    bool stopping_ = false;    // drop what waits
    std::thread thread_;
};
