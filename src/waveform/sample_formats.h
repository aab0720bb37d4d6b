#pragma once

#include "waveform/av_library.h"

#include <cstdint>

// Calls visit(T{}, data, planar, channels, frames, scale) for a frame in one
// of the sample formats decoders mostly give, scale bringing its samples to
// -1..1; false for any other format (to be converted first).
template <class Visit> bool visitSamples(const AVFrame& frame, Visit&& visit) {
    const int channels = frame.ch_layout.nb_channels;
    const auto* data = const_cast<const uint8_t* const*>(frame.extended_data);
    const int n = frame.nb_samples;
    const auto format = AVSampleFormat(frame.format);
    switch (format) {
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
        visit(int16_t{}, data, format == AV_SAMPLE_FMT_S16P, channels, n, 1.f / 32768);
        return true;
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S32P:
        visit(int32_t{}, data, format == AV_SAMPLE_FMT_S32P, channels, n, 1.f / 2147483648.f);
        return true;
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP:
        visit(float{}, data, format == AV_SAMPLE_FMT_FLTP, channels, n, 1.f);
        return true;
    default:
        return false;
    }
}
