#include "engine/mpv_engine.h"
#include "playback/player.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cmath>
#include <mpv/client.h>

namespace {

// Short WAV files to switch between.
struct Clips {
    QTemporaryDir dir;
    QStringList paths;
    Clips() {
        for (int i = 0; i < 4; ++i) {
            const QString path = QDir(dir.path()).filePath(QStringLiteral("clip%1.wav").arg(i));
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            const quint32 frames = 44100;
            QByteArray header("RIFF");
            auto put32 = [&](quint32 v) { header.append(reinterpret_cast<const char*>(&v), 4); };
            auto put16 = [&](quint16 v) { header.append(reinterpret_cast<const char*>(&v), 2); };
            put32(36 + frames * 4);
            header.append("WAVEfmt ");
            put32(16);
            put16(1);
            put16(2);
            put32(44100);
            put32(44100 * 4);
            put16(4);
            put16(16);
            header.append("data");
            put32(frames * 4);
            file.write(header);
            QByteArray samples(frames * 4, '\0');
            for (quint32 f = 0; f < frames; ++f) {
                const auto s = static_cast<qint16>(6000 * std::sin(f * 0.05 * (i + 1)));
                memcpy(samples.data() + f * 4, &s, 2);
                memcpy(samples.data() + f * 4 + 2, &s, 2);
            }
            file.write(samples);
            paths << path;
        }
    }
};

// playItem on the player over MpvEngine, until libmpv reports playback restarted.
void BM_PlayItemToPlaybackRestart(benchmark::State& state) {
    Clips clips;
    QString error;
    auto engine = MpvEngine::create({{"ao", "null"}}, &error);
    if (!engine) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    AudioEngine* raw = engine.get();
    Player player(std::move(engine));
    PlaylistRef list = player.newPlaylist(QStringLiteral("pfX"));
    for (const QString& p : clips.paths)
        list->appendItem(player.newMedia(p));
    player.setCurrentPlaylist(list);
    QEventLoop loop;
    QObject::connect(raw, &AudioEngine::playbackStarted, &loop, &QEventLoop::quit);
    int i = 0;
    for (auto _ : state) {
        player.playItem(list->Item(i++ % list->count()));
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
    }
}
BENCHMARK(BM_PlayItemToPlaybackRestart)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200)
    ->Repetitions(3);

// The same switch with bare libmpv calls: loadfile replace, then wait for the restart event.
void BM_BareLoadfileToPlaybackRestart(benchmark::State& state) {
    Clips clips;
    mpv_handle* mpv = mpv_create();
    for (auto [k, v] : {std::pair{"ao", "null"},
                        {"vid", "no"},
                        {"idle", "yes"},
                        {"config", "no"},
                        {"audio-display", "no"}})
        mpv_set_option_string(mpv, k, v);
    mpv_initialize(mpv);
    int i = 0;
    for (auto _ : state) {
        const QByteArray path = QFile::encodeName(clips.paths[i++ % clips.paths.size()]);
        const char* cmd[] = {"loadfile", path.constData(), "replace", nullptr};
        mpv_command(mpv, cmd);
        while (mpv_wait_event(mpv, 5)->event_id != MPV_EVENT_PLAYBACK_RESTART) {
        }
    }
    mpv_terminate_destroy(mpv);
}
BENCHMARK(BM_BareLoadfileToPlaybackRestart)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200)
    ->Repetitions(3);

} // namespace
