#pragma once

#include <QString>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

// FFmpeg is opened at run time, as libmpv is: linked in, its couple of hundred
// libraries would load before the window could show. By the time a waveform is
// wanted libmpv has brought them into the process, and opening them again
// costs next to nothing.
#define THRENNIC_AV_FUNCTIONS(X)                                                                   \
    X(format, avformat_open_input)                                                                 \
    X(format, avformat_find_stream_info)                                                           \
    X(format, av_find_best_stream)                                                                 \
    X(format, av_read_frame)                                                                       \
    X(format, avformat_close_input)                                                                \
    X(codec, avcodec_find_decoder)                                                                 \
    X(codec, avcodec_get_name)                                                                     \
    X(codec, avcodec_alloc_context3)                                                               \
    X(codec, avcodec_parameters_to_context)                                                        \
    X(codec, avcodec_open2)                                                                        \
    X(codec, avcodec_send_packet)                                                                  \
    X(codec, avcodec_receive_frame)                                                                \
    X(codec, avcodec_free_context)                                                                 \
    X(codec, av_packet_alloc)                                                                      \
    X(codec, av_packet_unref)                                                                      \
    X(codec, av_packet_free)                                                                       \
    X(util, av_frame_alloc)                                                                        \
    X(util, av_frame_unref)                                                                        \
    X(util, av_frame_free)                                                                         \
    X(util, av_strerror)                                                                           \
    X(util, av_dict_get)                                                                           \
    X(swr, swr_alloc_set_opts2)                                                                    \
    X(swr, swr_init)                                                                               \
    X(swr, swr_get_out_samples)                                                                    \
    X(swr, swr_convert)                                                                            \
    X(swr, swr_free)

struct Av {
#define THRENNIC_DECLARE(lib, name) decltype(&::name) name = nullptr;
    THRENNIC_AV_FUNCTIONS(THRENNIC_DECLARE)
#undef THRENNIC_DECLARE
    QString error; // empty once every function is there
};

// The functions, looked up once for the program's life; safe from any thread.
const Av& av();
