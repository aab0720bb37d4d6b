#include "app/form1.h"
#include "playback/mpv_engine.h"
#include "playlist/list_view.h"
#include "settings/settings_store.h"
#include "support/fakes.h"
#include "support/wav.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

namespace {

// Start-up with a saved list of N existing files: the window built, the list
// restored, the window shown and the last entry's playback started in libmpv.
void BM_StartUpWithSavedList(benchmark::State& state) {
    const int files = static_cast<int>(state.range(0));
    QTemporaryDir music;
    const QString conf = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/Kestrelin/Kestrelin.conf");
    QDir().mkpath(QFileInfo(conf).absolutePath());
    QFile::remove(conf);
    {
        QSettings saved(conf, QSettings::IniFormat);
        saved.beginGroup(QStringLiteral("Thrennic"));
        saved.setValue(QStringLiteral("ListCount"), QString::number(files));
        for (int i = 0; i < files; ++i) {
            const QString path = QDir(music.path()).filePath(QStringLiteral("take %1.wav").arg(i));
            writeToneWav(path, 0.5);
            saved.setValue(QStringLiteral("Song%1").arg(i), path);
        }
    }
    RecordingDialogs dialogs;
    FakeFilePicker picker;
    for (auto _ : state) {
        IniSettingsStore store;
        QString error;
        auto engine = MpvEngine::create({{"ao", "null"}}, &error);
        Form1 form(Platform{std::move(engine), dialogs, store, picker, music.path(), {}, {}});
        form.Form_Load();
        form.show();
        if (!QTest::qWaitFor([&] { return form.WMP->playState() == Player::Playing; }, 10000))
            state.SkipWithError("playback did not start");
        state.counters["entries"] = form.ListView1->Count();
    }
    QFile::remove(conf);
}
BENCHMARK(BM_StartUpWithSavedList)
    ->Arg(1001)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace
