#include "app/form1.h"
#include "engine/mpv_engine.h"
#include "playlist/list_view.h"
#include "recycle/shell_delete.h"
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
#include <unistd.h>

namespace {

constexpr int kDeletes = 100;

// From the delete button's handler starting (or Ctrl+1's, moving the file to a
// folder on the same drive: second argument 1) to libmpv reporting the next
// file's playback restarted, with the real Trash (in a temporary folder) and
// settings file, in a list of about a hundred entries and of a hundred thousand.
void BM_DeleteButtonToNextPlaybackRestart(benchmark::State& state) {
    const bool move = state.range(1) == 1;
    QTemporaryDir music;
    QList<QUrl> urls;
    const int entries = std::max(int(state.range(0)), kDeletes + 5);
    // Links to two real files: a file takes at most 65,000 of them.
    const QString tones[] = {QDir(music.path()).filePath(QStringLiteral("tone 0.wav")),
                             QDir(music.path()).filePath(QStringLiteral("tone 1.wav"))};
    for (const QString& tone : tones)
        writeToneWav(tone, 5.0);
    for (int i = 0; i < entries; ++i) {
        const QString path = QDir(music.path()).filePath(QStringLiteral("take %1.wav").arg(i));
        ::link(QFile::encodeName(tones[i % 2]).constData(), QFile::encodeName(path).constData());
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
    if (move) {
        picker.folderAnswer = QDir(music.path()).filePath(QStringLiteral("Keep"));
        QDir().mkpath(picker.folderAnswer);
        form.ChooseFolderFor(1);
    }
    QEventLoop loop;
    QObject::connect(raw, &AudioEngine::playbackStarted, &loop, &QEventLoop::quit);
    for (auto _ : state) {
        state.PauseTiming();
        form.PlayNew(1);
        if (!QTest::qWaitFor([&] { return form.WMP->playState() == Player::Playing; }, 5000))
            state.SkipWithError("the entry did not start");
        form.DeleteReady = true;
        store.waitForSaves(-1);
        state.ResumeTiming();
        if (move)
            form.MoveToFolderKey(1);
        else
            form.PushButton6_Click();
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!dialogs.shown.empty())
        state.SkipWithError("a step reported a failure");
    state.counters["left"] = form.ListView1->Count();
}
BENCHMARK(BM_DeleteButtonToNextPlaybackRestart)
    ->ArgNames({"entries", "move"})
    ->Args({100, 0})
    ->Args({100, 1})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kDeletes);

// Ctrl+Z after a delete, in a list of 10,000 with 1,000 other files already in
// the Trash (a tenth of them namesakes of the undone file): the file moved back,
// the entry in its place and playing, the list saved: to the real settings file
// (argument 1), or to a store in memory (0), which leaves out the save's own cost.
void BM_UndoInTenThousandWithAFullTrash(benchmark::State& state) {
    const bool realFile = state.range(0) == 1;
    constexpr int kEntries = 10000, kInTrash = 1000, kTarget = 5000;
    QTemporaryDir music;
    const QString tone = QDir(music.path()).filePath(QStringLiteral("tone.wav"));
    writeToneWav(tone, 0.2);
    QList<QUrl> urls;
    for (int i = 0; i < kEntries; ++i) {
        const QString path = QDir(music.path()).filePath(QStringLiteral("take %1.wav").arg(i));
        QFile::copy(tone, path);
        urls << QUrl::fromLocalFile(path);
    }
    RecordingDialogs dialogs;
    for (int i = 0; i < kInTrash; ++i) {
        const QString folder = QDir(music.path()).filePath(QStringLiteral("old %1").arg(i));
        QDir().mkpath(folder);
        const QString name = i % 10 == 0 ? QStringLiteral("take %1.wav").arg(kTarget)
                                         : QStringLiteral("old take %1.wav").arg(i);
        QFile::copy(tone, folder + QLatin1Char('/') + name);
        ShellDelete(folder + QLatin1Char('/') + name, 1, dialogs);
    }
    FakeFilePicker picker;
    std::unique_ptr<SettingsStore> store;
    if (realFile)
        store = std::make_unique<IniSettingsStore>();
    else
        store = std::make_unique<MemorySettingsStore>();
    Form1 form(
        Platform{std::make_unique<FakeEngine>(), dialogs, *store, picker, music.path(), {}, {}});
    form.Form_Load();
    QMimeData data;
    data.setUrls(urls);
    form.ListView1_OLEDragDrop(data);
    for (auto _ : state) {
        state.PauseTiming();
        form.DeleteReady = true;
        form.PlayNew(kTarget);
        form.PushButton6_Click();
        state.ResumeTiming();
        form.UndoDelete();
    }
    if (!dialogs.shown.empty() || form.ListView1->Count() != kEntries)
        state.SkipWithError("an undo did not bring its file back");
}
BENCHMARK(BM_UndoInTenThousandWithAFullTrash)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace
