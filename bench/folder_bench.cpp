// Finding and adding a folder tree of 100,000 files (100 folders of 1,000): the
// time from the drop to the last entry in the list, the longest the GUI thread
// was held meanwhile (the walk runs on a worker; the final add is one insert),
// and the memory it took.
#include "app/form1.h"
#include "playlist/list_view.h"
#include "settings/settings_store.h"
#include "support/fakes.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kFolders = 100, kFilesEach = 1000;

// The process's resident memory now, in megabytes.
double residentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

void BM_AddTreeOfAHundredThousandFiles(benchmark::State& state) {
    QTemporaryDir dir;
    const QString tree = dir.filePath(QStringLiteral("tree"));
    for (int f = 0; f < kFolders; ++f) {
        const QString folder = tree + QStringLiteral("/session %1").arg(f);
        QDir().mkpath(folder);
        for (int i = 0; i < kFilesEach; ++i)
            ::close(::open(
                QFile::encodeName(folder + QStringLiteral("/take %1.wav").arg(i)).constData(),
                O_CREAT | O_WRONLY, 0644));
    }
    RecordingDialogs dialogs;
    FakeFilePicker picker;
    MemorySettingsStore settings;
    double longestStallMs = 0, addedMb = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Form1 form(Platform{
            std::make_unique<FakeEngine>(), dialogs, settings, picker, dir.path(), {}, {}});
        form.Form_Load();
        const double before = residentMb();
        // A tick every millisecond: the longest gap between two is the longest stall.
        QElapsedTimer sinceTick;
        QTimer ticks;
        ticks.setInterval(1);
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            longestStallMs = std::max(longestStallMs, double(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
        });
        state.ResumeTiming();
        sinceTick.start();
        ticks.start();
        form.OpenFiles({tree});
        while (form.ListView1->Count() < kFolders * kFilesEach)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        state.PauseTiming();
        ticks.stop();
        addedMb = residentMb() - before;
        state.ResumeTiming();
    }
    state.counters["longest_stall_ms"] = longestStallMs;
    state.counters["added_MB"] = addedMb;
}
BENCHMARK(BM_AddTreeOfAHundredThousandFiles)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace
