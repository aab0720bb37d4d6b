#include "waveform/waveform_decoder.h"

#include "platform/plain_file.h"
#include "waveform/av_library.h"
#include "waveform/loudness_feed.h"
#include "waveform/peak_accumulator.h"
#include "waveform/sample_formats.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>

namespace {

QString plainWords(int code) {
    if (code == AVERROR(ENOENT))
        return QStringLiteral("the file is not there any more");
    if (code == AVERROR(EACCES) || code == AVERROR(EPERM))
        return QStringLiteral("there is no permission to read it");
    if (code == AVERROR(EISDIR))
        return QStringLiteral("it is a folder, not a file");
    if (code == AVERROR(EIO))
        return QStringLiteral("the disk could not read it");
    // Data a demuxer or decoder cannot make sense of comes back as any of these.
    if (code == AVERROR_INVALIDDATA || code == AVERROR(EINVAL) || code == AVERROR_EOF ||
        code == AVERROR_PATCHWELCOME)
        return QStringLiteral("it is not in an audio format that can be read, or it is damaged");
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av().av_strerror(code, text, sizeof text);
    return QStringLiteral("it could not be read as audio (%1)").arg(QString::fromLocal8Bit(text));
}

bool isPcm(AVCodecID id) {
    return id >= AV_CODEC_ID_FIRST_AUDIO && id < AV_CODEC_ID_ADPCM_IMA_QT;
}

QString formatName(const AVFormatContext* format, AVCodecID id) {
    if (isPcm(id)) {
        // Plain samples: the container is what a user knows the file as.
        const QString container = QString::fromLatin1(format->iformat->name);
        if (container == QLatin1String("w64"))
            return QStringLiteral("Wave64");
        return container.section(QLatin1Char(','), 0, 0).toUpper();
    }
    static const std::pair<AVCodecID, const char*> known[] = {
        {AV_CODEC_ID_FLAC, "FLAC"},         {AV_CODEC_ID_MP3, "MP3"},
        {AV_CODEC_ID_VORBIS, "Ogg Vorbis"}, {AV_CODEC_ID_OPUS, "Opus"},
        {AV_CODEC_ID_AAC, "AAC"},           {AV_CODEC_ID_ALAC, "ALAC"},
        {AV_CODEC_ID_WAVPACK, "WavPack"},   {AV_CODEC_ID_APE, "Monkey's Audio"},
        {AV_CODEC_ID_MP2, "MP2"},           {AV_CODEC_ID_AC3, "AC-3"},
        {AV_CODEC_ID_WMAV2, "WMA"},         {AV_CODEC_ID_GSM, "GSM"},
    };
    for (const auto& [codec, name] : known)
        if (codec == id)
            return QString::fromLatin1(name);
    return QString::fromLatin1(av().avcodec_get_name(id)).toUpper();
}

double statedSeconds(const AVFormatContext* format, const AVStream* stream) {
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        return stream->duration * av_q2d(stream->time_base);
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        return double(format->duration) / AV_TIME_BASE;
    return 0;
}

// Each channel's share of the loudness: the surrounds count more, the
// low-frequency effects not at all.
std::vector<double> loudnessWeights(const AVChannelLayout& layout) {
    std::vector<double> weights(std::max(1, layout.nb_channels), 1.0);
    if (layout.order != AV_CHANNEL_ORDER_NATIVE)
        return weights;
    int channel = 0;
    for (int bit = 0; bit < 64 && channel < int(weights.size()); ++bit) {
        if (!(layout.u.mask & (uint64_t(1) << bit)))
            continue;
        switch (AVChannel(bit)) {
        case AV_CHAN_LOW_FREQUENCY:
        case AV_CHAN_LOW_FREQUENCY_2:
            weights[channel] = 0;
            break;
        case AV_CHAN_BACK_LEFT:
        case AV_CHAN_BACK_RIGHT:
        case AV_CHAN_SIDE_LEFT:
        case AV_CHAN_SIDE_RIGHT:
            weights[channel] = 1.41;
            break;
        default:
            break;
        }
        ++channel;
    }
    return weights;
}

double decibels(float level) {
    return level > 0 ? 20 * std::log10(double(level)) : -std::numeric_limits<double>::infinity();
}

double highestSample(const Peaks& peaks) {
    float highest = 0;
    for (const PeakColumn& column : peaks.columns)
        highest = std::max({highest, std::fabs(column.low), std::fabs(column.high)});
    return highest;
}

// One file's reading; owns every FFmpeg object it makes.
class PeakReader {
  public:
    PeakReader(Waveform& out, const std::function<bool()>& cancelled,
               const std::function<void(const Waveform&)>& progress)
        : out_(out), cancelled_(cancelled), progress_(progress) {}
    ~PeakReader() {
        const Av& f = av();
        f.swr_free(&swr_);
        f.av_frame_free(&frame_);
        f.av_packet_free(&packet_);
        f.avcodec_free_context(&codec_);
        f.avformat_close_input(&format_);
    }
    PeakReader(const PeakReader&) = delete;
    PeakReader& operator=(const PeakReader&) = delete;

    // The reason the file cannot be read, or empty (read, or cancelled).
    QString read(const QByteArray& fileName) {
        if (QString why = open(fileName); !why.isEmpty())
            return why;
        return decodeAll();
    }

  private:
    QString open(const QByteArray& fileName) {
        const Av& f = av();
        if (int rc = f.avformat_open_input(&format_, fileName.constData(), nullptr, nullptr);
            rc < 0)
            return plainWords(rc);
        if (int rc = f.avformat_find_stream_info(format_, nullptr); rc < 0)
            return plainWords(rc);
        stream_ = f.av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (stream_ < 0)
            return QStringLiteral("it holds no audio");
        const AVCodecParameters* params = format_->streams[stream_]->codecpar;
        const AVCodec* decoder = f.avcodec_find_decoder(params->codec_id);
        if (!decoder)
            return QStringLiteral("there is no decoder here for its kind of audio (%1)")
                .arg(QString::fromLatin1(f.avcodec_get_name(params->codec_id)));
        // Cover art and other streams are skipped unread.
        for (unsigned i = 0; i < format_->nb_streams; ++i)
            if (int(i) != stream_)
                format_->streams[i]->discard = AVDISCARD_ALL;
        codec_ = f.avcodec_alloc_context3(decoder);
        if (!codec_ || f.avcodec_parameters_to_context(codec_, params) < 0)
            return QStringLiteral("its decoder could not be set up");
        codec_->thread_count = 1; // the one worker thread, and no more
        if (int rc = f.avcodec_open2(codec_, decoder, nullptr); rc < 0)
            return plainWords(rc);
        packet_ = f.av_packet_alloc();
        frame_ = f.av_frame_alloc();
        if (!packet_ || !frame_)
            return QStringLiteral("there was not enough memory to read it");
        describe(params);
        return {};
    }

    void describe(const AVCodecParameters* params) {
        AudioFacts& facts = out_.facts;
        facts.format = formatName(format_, params->codec_id);
        facts.sampleRate = params->sample_rate;
        facts.channels = params->ch_layout.nb_channels;
        const AVCodecID id = params->codec_id;
        facts.floatSamples = id == AV_CODEC_ID_PCM_F32LE || id == AV_CODEC_ID_PCM_F32BE ||
                             id == AV_CODEC_ID_PCM_F64LE || id == AV_CODEC_ID_PCM_F64BE;
        facts.bitDepth = params->bits_per_raw_sample > 0 ? params->bits_per_raw_sample
                         : isPcm(id)                     ? params->bits_per_coded_sample
                                                         : 0;
        facts.seconds = statedSeconds(format_, format_->streams[stream_]);
        readTags(facts);
        const int channels = std::max(1, facts.channels);
        peaks_.emplace(std::min(channels, 2), channels,
                       qint64(std::llround(facts.seconds * facts.sampleRate)));
        if (facts.sampleRate > 0)
            loudness_ = std::make_unique<LoudnessFeed>(facts.sampleRate,
                                                       loudnessWeights(params->ch_layout));
    }

    // The container's tags, or the stream's (Ogg keeps them there).
    void readTags(AudioFacts& facts) const {
        const Av& f = av();
        const auto tag = [&](const char* key) {
            for (const AVDictionary* tags :
                 {format_->metadata, format_->streams[stream_]->metadata})
                if (const AVDictionaryEntry* entry = f.av_dict_get(tags, key, nullptr, 0))
                    if (entry->value && *entry->value)
                        return QString::fromUtf8(entry->value).trimmed();
            return QString();
        };
        facts.title = tag("title");
        facts.artist = tag("artist");
        facts.album = tag("album");
        facts.track = tag("track").section(QLatin1Char('/'), 0, 0).toInt(); // "3/12"
    }

    QString decodeAll() {
        const Av& f = av();
        int rc = 0;
        while ((rc = f.av_read_frame(format_, packet_)) >= 0) {
            if (packet_->stream_index == stream_ && f.avcodec_send_packet(codec_, packet_) >= 0)
                drainFrames();
            f.av_packet_unref(packet_);
            if (cancelled_())
                return {};
            reportProgress();
        }
        f.avcodec_send_packet(codec_, nullptr);
        drainFrames();
        peaks_->finish();
        out_.peaks = peaks_->peaks();
        if (peaks_->frames() == 0)
            return rc == AVERROR_EOF ? QStringLiteral("no sound could be decoded from it")
                                     : plainWords(rc);
        if (out_.facts.sampleRate > 0)
            out_.facts.seconds = double(peaks_->frames()) / out_.facts.sampleRate;
        if (loudness_) {
            const double loudness = loudness_->finish();
            out_.facts.tooShortToMeasure = std::isnan(loudness);
            out_.facts.loudness =
                std::isnan(loudness) ? -std::numeric_limits<double>::infinity() : loudness;
        }
        out_.facts.peakDb = decibels(float(highestSample(out_.peaks)));
        out_.complete = true;
        return {};
    }

    // A damaged stretch is passed over; the rest of the file may still decode.
    void drainFrames() {
        const Av& f = av();
        while (f.avcodec_receive_frame(codec_, frame_) >= 0) {
            addFrame(*frame_);
            f.av_frame_unref(frame_);
        }
    }

    // The formats decoders mostly give are read as they are; the rest are
    // brought to float planes by libswresample first.
    void addFrame(const AVFrame& frame) {
        const bool read =
            visitSamples(frame, [this](auto sample, const uint8_t* const* data, bool planar,
                                       int channels, int n, float scale) {
                peaks_->add<decltype(sample)>(data, planar, channels, n, scale);
            });
        if (!read)
            return convert(frame);
        if (loudness_)
            loudness_->push(frame);
    }

    void convert(const AVFrame& frame) {
        const Av& f = av();
        const int channels = frame.ch_layout.nb_channels;
        if (!swr_ || frame.format != inFormat_ || channels != inChannels_ ||
            frame.sample_rate != inRate_) {
            f.swr_free(&swr_);
            auto* layout = const_cast<AVChannelLayout*>(&frame.ch_layout);
            if (f.swr_alloc_set_opts2(&swr_, layout, AV_SAMPLE_FMT_FLTP, frame.sample_rate, layout,
                                      AVSampleFormat(frame.format), frame.sample_rate, 0,
                                      nullptr) < 0 ||
                f.swr_init(swr_) < 0) {
                f.swr_free(&swr_);
                return;
            }
            inFormat_ = frame.format;
            inChannels_ = channels;
            inRate_ = frame.sample_rate;
        }
        const int room = f.swr_get_out_samples(swr_, frame.nb_samples);
        if (room <= 0)
            return;
        planes_.resize(channels);
        std::vector<uint8_t*> into(channels);
        for (int c = 0; c < channels; ++c) {
            if (int(planes_[c].size()) < room)
                planes_[c].resize(room);
            into[c] = reinterpret_cast<uint8_t*>(planes_[c].data());
        }
        const int made =
            f.swr_convert(swr_, into.data(), room, const_cast<const uint8_t**>(frame.extended_data),
                          frame.nb_samples);
        if (made <= 0)
            return;
        peaks_->add<float>(into.data(), true, channels, made, 1.f);
        if (loudness_)
            loudness_->push(floatPlanes(channels), made);
    }

    std::vector<float*> floatPlanes(int channels) {
        std::vector<float*> planes;
        for (int c = 0; c < channels; ++c)
            planes.push_back(planes_[c].data());
        return planes;
    }

    void reportProgress() {
        constexpr auto kEvery = std::chrono::milliseconds(40);
        const auto now = std::chrono::steady_clock::now();
        if (now - lastProgress_ < kEvery || !progress_)
            return;
        lastProgress_ = now;
        out_.peaks = peaks_->peaks();
        progress_(out_);
    }

    Waveform& out_;
    const std::function<bool()>& cancelled_;
    const std::function<void(const Waveform&)>& progress_;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    SwrContext* swr_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int stream_ = -1;
    int inFormat_ = -1, inChannels_ = 0, inRate_ = 0;
    std::vector<std::vector<float>> planes_;
    std::optional<PeakAccumulator> peaks_;
    std::unique_ptr<LoudnessFeed> loudness_; // stops measuring when the reading stops
    std::chrono::steady_clock::time_point lastProgress_ = std::chrono::steady_clock::now();
};

} // namespace

Waveform readWaveform(const QString& path, const std::function<bool()>& cancelled,
                      const std::function<void(const Waveform&)>& progress) {
    Waveform waveform;
    const QFileInfo info(path);
    if (info.isDir()) {
        waveform.error = QStringLiteral("it is a folder, not a file");
        return waveform;
    }
    if (!info.exists()) {
        waveform.error = QStringLiteral("the file is not there any more");
        return waveform;
    }
    // A pipe or a device would hold the one worker thread until something
    // wrote to it, and the program's end with it.
    if (!isPlainFile(path)) {
        waveform.error = QStringLiteral("it is not a plain file (a pipe or a device, say)");
        return waveform;
    }
    waveform.facts.bytes = info.size();
    if (waveform.facts.bytes == 0) {
        waveform.error = QStringLiteral("the file is empty");
        return waveform;
    }
    if (!av().error.isEmpty()) {
        waveform.error = QStringLiteral("the decoder could not be loaded (%1)").arg(av().error);
        return waveform;
    }
    PeakReader reader(waveform, cancelled, progress);
    waveform.error = reader.read(QFile::encodeName(path));
    return waveform;
}
