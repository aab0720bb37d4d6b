#include "app/form1.h"
#include "engine/engine_starter.h"
#include "playlist/list_view.h"
#include "settings/settings_store.h"
#include "support/fakes.h"
#include "support/wav.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <benchmark/benchmark.h>
#include <unistd.h>

namespace {

// A settings file that lists N existing files, as an earlier run left it.
class SavedList {
  public:
    explicit SavedList(int files) {
        conf_ = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QStringLiteral("/Kestrelin/Kestrelin.conf");
        QDir().mkpath(QFileInfo(conf_).absolutePath());
        QFile::remove(conf_);
        QSettings saved(conf_, QSettings::IniFormat);
        saved.beginGroup(QStringLiteral("Thrennic"));
        saved.setValue(QStringLiteral("ListCount"), QString::number(files));
        const QString tone = QDir(music_.path()).filePath(QStringLiteral("tone.wav"));
        writeToneWav(tone, 0.5);
        for (int i = 0; i < files; ++i) {
            const QString path = QDir(music_.path()).filePath(QStringLiteral("take %1.wav").arg(i));
            // Hard links: the same short tone under every name, quick to make.
            ::link(QFile::encodeName(tone).constData(), QFile::encodeName(path).constData());
            saved.setValue(QStringLiteral("Song%1").arg(i), path);
        }
    }
    ~SavedList() { QFile::remove(conf_); }
    QString folder() const { return music_.path(); }

  private:
    QTemporaryDir music_;
    QString conf_;
};

// Runs events until done() holds, without the coarse sleeps of QTest::qWaitFor,
// which would round every figure up to its 10 ms step; false after ms.
template <class Done> bool runEventsUntil(Done done, int ms) {
    QElapsedTimer clock;
    clock.start();
    QTimer tick; // wakes the wait below now and then, so the deadline is seen
    tick.start(20);
    while (!done()) {
        if (clock.hasExpired(ms))
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Start-up with a saved list of N existing files: the settings opened, the
// window built, the list restored, the window shown and painted (a long list
// comes in after that: timed until it is in, with the time the window took
// as window_ms); with
// untilSound, on to the last entry's first sound (libmpv started on a worker
// once the window is up, as in the program, and the file playing).
void startUp(benchmark::State& state, bool untilSound) {
    const SavedList saved(static_cast<int>(state.range(0)));
    RecordingDialogs dialogs;
    FakeFilePicker picker;
    double windowMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        auto store = std::make_unique<IniSettingsStore>();
        auto form = std::make_unique<Form1>(
            Platform{nullptr, dialogs, *store, picker, saved.folder(), {}, {}});
        form->Form_Load();
        form->show();
        std::unique_ptr<EngineStarter> engine;
        if (untilSound) {
            engine = std::make_unique<EngineStarter>(*form->WMP, dialogs,
                                                     MpvEngine::Options{{"ao", "null"}});
            engine->startOnceShown(*form);
        }
        double shownAt = 0;
        const bool done = runEventsUntil(
            [&] {
                if (!shownAt && form->windowHandle()->isExposed())
                    shownAt = double(clock.nsecsElapsed()) / 1e6;
                return untilSound ? form->WMP->playState() == Player::Playing
                                  : shownAt && !form->RestorePending();
            },
            10000);
        windowMs += shownAt;
        if (!done)
            state.SkipWithError(untilSound ? "playback did not start" : "the window was not shown");
        QCoreApplication::processEvents();
        state.counters["entries"] = form->ListView1->Count();
        state.PauseTiming(); // the window's teardown is not start-up
        engine.reset();
        form.reset();
        state.ResumeTiming();
    }
    state.counters["window_ms"] = windowMs / double(state.iterations());
}

// The library is already loaded after the first run of the second: what is
// timed from then on is the engine's start and the file's opening.
void BM_StartUpWithSavedList(benchmark::State& state) {
    startUp(state, false);
}
void BM_StartUpToFirstSound(benchmark::State& state) {
    startUp(state, true);
}
BENCHMARK(BM_StartUpWithSavedList)
    ->Arg(1001)
    ->Arg(10000)
    ->Arg(60000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_StartUpToFirstSound)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
