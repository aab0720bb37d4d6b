#include "platform/audio_types.h"

#include <QSet>

namespace audio_types {

namespace {

struct Format {
    const char* extensions; // space-separated
    const char* mimeTypes;  // space-separated
};

// The first five are the Open dialog's own filter, in its order.
constexpr Format kFormats[] = {
    {"mp3", "audio/mpeg"},
    {"wav", "audio/x-wav audio/wav audio/vnd.wave"},
    {"wma", "audio/x-ms-wma"},
    {"ogg", "audio/ogg audio/x-vorbis+ogg"},
    {"ra", "audio/vnd.rn-realaudio audio/x-pn-realaudio"},
    {"flac", "audio/flac audio/x-flac"},
    {"m4a m4b mp4 aac", "audio/mp4 audio/x-m4a audio/aac"},
    {"opus", "audio/opus audio/x-opus+ogg"},
    {"mp2", "audio/mpeg"},
    {"oga", "audio/ogg"},
    {"ram", "audio/x-pn-realaudio"},
    {"aiff aif aifc", "audio/x-aiff audio/aiff"},
    {"wv", "audio/x-wavpack"},
    {"ac3", "audio/ac3"},
    {"ape", "audio/x-ape"},
    {"mpc", "audio/x-musepack"},
    {"mka", "audio/x-matroska"},
    {"webm weba", "audio/webm"},
    {"au snd", "audio/basic"},
    {"tta", "audio/x-tta"},
    {"caf", "audio/x-caf"},
    {"w64", "audio/x-w64"},
    {"amr", "audio/amr"},
    {"spx", "audio/x-speex"},
    {"dts", "audio/vnd.dts"},
    // Tracker modules, through the libopenmpt that FFmpeg here is built with.
    {"mod", "audio/x-mod"},
    {"s3m", "audio/x-s3m"},
    {"xm", "audio/x-xm"},
    {"it", "audio/x-it"},
};

QStringList column(const char* Format::*field) {
    QStringList all;
    QSet<QString> seen;
    for (const Format& format : kFormats)
        for (const QString& item : QString::fromLatin1(format.*field).split(QLatin1Char(' ')))
            if (!seen.contains(item)) {
                seen.insert(item);
                all << item;
            }
    return all;
}

} // namespace

QStringList extensions() {
    static const QStringList all = column(&Format::extensions);
    return all;
}

QStringList namePatterns() {
    QStringList patterns;
    for (const QString& extension : extensions())
        patterns << QStringLiteral("*.") + extension;
    return patterns;
}

QStringList mimeTypes() {
    static const QStringList all = column(&Format::mimeTypes);
    return all;
}

bool isAudioFileName(QStringView name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    const QStringView extension = name.sliced(dot + 1);
    for (const QString& known : extensions())
        if (extension.compare(known, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace audio_types
