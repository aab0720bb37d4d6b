#include "app/form1.h"
#include "playlist/list_view.h"
#include "settings/settings_store.h"
#include "support/fakes.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>
#include <benchmark/benchmark.h>

namespace {

constexpr int kEntries = 10000;

// A folder of real (empty) files and a window with the fake engine.
struct Bench {
    QTemporaryDir dir;
    RecordingDialogs dialogs;
    FakeFilePicker picker;
    MemorySettingsStore settings;
    std::unique_ptr<Form1> form;
    QList<QUrl> urls;

    explicit Bench(int files) {
        for (int i = 0; i < files; ++i) {
            const QString path = QDir(dir.path()).filePath(QStringLiteral("take %1.wav").arg(i));
            QFile(path).open(QIODevice::WriteOnly);
            urls << QUrl::fromLocalFile(path);
        }
        form = std::make_unique<Form1>(Platform{
            std::make_unique<FakeEngine>(), dialogs, settings, picker, dir.path(), {}, {}});
        form->Form_Load();
    }
    void dropAll() {
        QMimeData data;
        data.setUrls(urls);
        form->ListView1_OLEDragDrop(data);
    }
};

void BM_DropTenThousandFiles(benchmark::State& state) {
    Bench bench(kEntries);
    for (auto _ : state) {
        state.PauseTiming();
        bench.form = std::make_unique<Form1>(Platform{std::make_unique<FakeEngine>(),
                                                      bench.dialogs,
                                                      bench.settings,
                                                      bench.picker,
                                                      bench.dir.path(),
                                                      {},
                                                      {}});
        bench.form->Form_Load();
        state.ResumeTiming();
        bench.dropAll();
    }
    state.counters["entries"] = bench.form->ListView1->Count();
}
BENCHMARK(BM_DropTenThousandFiles)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PlayNewInTenThousand(benchmark::State& state) {
    Bench bench(kEntries);
    bench.dropAll();
    auto* random = QRandomGenerator::global();
    for (auto _ : state)
        bench.form->PlayNew(1 + static_cast<int>(random->bounded(kEntries)));
}
BENCHMARK(BM_PlayNewInTenThousand)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// One entry removed with its file sent to the (temporary) Trash, from a list of 10,000.
void BM_DeleteOneOfTenThousand(benchmark::State& state) {
    Bench bench(kEntries);
    bench.dropAll();
    auto* random = QRandomGenerator::global();
    for (auto _ : state) {
        state.PauseTiming();
        bench.form->PlayNew(1 + static_cast<int>(random->bounded(bench.form->ListView1->Count())));
        state.ResumeTiming();
        bench.form->del_list2(1);
    }
    state.counters["left"] = bench.form->ListView1->Count();
    if (!bench.dialogs.shown.empty())
        state.SkipWithError("a delete reported a failure");
}
BENCHMARK(BM_DeleteOneOfTenThousand)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200)
    ->Repetitions(3);

// Ctrl+1 from a list of 10,000: the playing file renamed into a folder on the
// same drive, its entry out of the list, the next entry playing, the list saved.
// Beside it (argument 0) the delete button's whole route, for comparison.
void BM_MoveOneOfTenThousand(benchmark::State& state) {
    const bool move = state.range(0) == 1;
    Bench bench(kEntries);
    bench.dropAll();
    const QString keep = QDir(bench.dir.path()).filePath(QStringLiteral("Keep"));
    QDir().mkpath(keep);
    bench.picker.folderAnswer = keep;
    bench.form->ChooseFolderFor(1);
    auto* random = QRandomGenerator::global();
    for (auto _ : state) {
        state.PauseTiming();
        bench.form->PlayNew(1 + static_cast<int>(random->bounded(bench.form->ListView1->Count())));
        bench.form->DeleteReady = true;
        state.ResumeTiming();
        if (move)
            bench.form->MoveToFolderKey(1);
        else
            bench.form->PushButton6_Click();
    }
    state.counters["left"] = bench.form->ListView1->Count();
    if (!bench.dialogs.shown.empty() || bench.form->ListView1->Count() != kEntries - 200)
        state.SkipWithError("a move did not go through");
}
BENCHMARK(BM_MoveOneOfTenThousand)
    ->ArgName("move")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200)
    ->Repetitions(3);

} // namespace
