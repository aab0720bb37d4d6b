#include "app/form1.h"
#include "playback/mpv_engine.h"
#include "playlist/list_view.h"
#include "settings/settings_store.h"
#include "support/fakes.h"
#include "support/wav.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <benchmark/benchmark.h>
#include <mpv/client.h>

namespace {

constexpr int kDeletes = 100;

// From the delete button's handler starting to libmpv reporting the next file's
// playback restarted, with the real Trash (in a temporary folder) and settings file.
void BM_DeleteButtonToNextPlaybackRestart(benchmark::State& state) {
    QTemporaryDir music;
    QList<QUrl> urls;
    for (int i = 0; i < kDeletes + 5; ++i) {
        const QString path = QDir(music.path()).filePath(QStringLiteral("take %1.wav").arg(i));
        writeToneWav(path, 5.0);
        urls << QUrl::fromLocalFile(path);
    }
    RecordingDialogs dialogs;
    FakeFilePicker picker;
    IniSettingsStore store;
    QString error;
    auto engine = MpvEngine::create({{"ao", "null"}}, &error);
    AudioEngine* raw = engine.get();
    Form1 form(Platform{std::move(engine), dialogs, store, picker, music.path(), {}, {}});
    form.Form_Load();
    QMimeData data;
    data.setUrls(urls);
    form.ListView1_OLEDragDrop(data);
    QEventLoop loop;
    QObject::connect(raw, &AudioEngine::playbackStarted, &loop, &QEventLoop::quit);
    for (auto _ : state) {
        state.PauseTiming();
        form.PlayNew(1);
        if (!QTest::qWaitFor([&] { return form.WMP->playState() == Player::Playing; }, 5000))
            state.SkipWithError("the entry did not start");
        form.DeleteReady = true;
        state.ResumeTiming();
        form.PushButton6_Click();
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!dialogs.shown.empty())
        state.SkipWithError("a step reported a failure");
    state.counters["left"] = form.ListView1->Count();
}
BENCHMARK(BM_DeleteButtonToNextPlaybackRestart)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kDeletes);

} // namespace
