// The time each list-sized action holds the GUI thread (which is how long the
// window stops answering), at 1,000 and at 100,000 entries, with the real
// settings file: a delete through the button, its undo, a hand-over of 10,000
// files by a later copy, and Clear Playlist. bench/stall_probe.sh measures the
// same from outside the program.
#include "app/form1.h"
#include "history/history_db.h"
#include "playlist/list_view.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "support/fakes.h"
#include "support/wav.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>
#include <unistd.h>

namespace {

// A folder of `count` real files and a settings file listing them, as a
// previous run would have left it; the window restored from it.
class SavedList {
  public:
    explicit SavedList(int count, QString historyFile = {}) : historyFile_(std::move(historyFile)) {
        const QString config =
            qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Kestrelin");
        QDir().mkpath(config);
        QFile conf(config + QStringLiteral("/Kestrelin.conf"));
        conf.open(QIODevice::WriteOnly);
        QByteArray text = "[Thrennic]\nListCount=" + QByteArray::number(count) + '\n';
        // Hard links of one short file, a new one every 50,000 (a file takes
        // at most 65,000 links).
        QString tone;
        for (int i = 0; i < count; ++i) {
            if (i % 50000 == 0) {
                tone = QDir(music.path()).filePath(QStringLiteral(".tone %1.wav").arg(i));
                writeToneWav(tone, 0.1);
            }
            const QString path = file(i);
            ::link(QFile::encodeName(tone).constData(), QFile::encodeName(path).constData());
            text += "Song" + QByteArray::number(i) + '=' + QFile::encodeName(path) + '\n';
        }
        conf.write(text);
        saved_ = text;
    }
    // A new window over the settings file as it was written at first.
    void restore() {
        form.reset();
        if (store)
            store->waitForSaves(-1);
        store.reset();
        QFile conf(qEnvironmentVariable("XDG_CONFIG_HOME") +
                   QStringLiteral("/Kestrelin/Kestrelin.conf"));
        conf.open(QIODevice::WriteOnly | QIODevice::Truncate);
        conf.write(saved_);
        conf.close();
        store = std::make_unique<IniSettingsStore>();
        auto fake = std::make_unique<FakeEngine>();
        engine = fake.get();
        form = std::make_unique<Form1>(
            Platform{std::move(fake), dialogs, *store, picker, music.path(), {}, {}, historyFile_});
        form->Form_Load();
    }
    ~SavedList() {
        form.reset();
        store->waitForSaves(-1);
    }
    QString file(int i) const {
        return QDir(music.path()).filePath(QStringLiteral("take %1.wav").arg(i));
    }

    QTemporaryDir music;
    RecordingDialogs dialogs;
    FakeFilePicker picker;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<Form1> form;
    FakeEngine* engine = nullptr;

  private:
    QString historyFile_;
    QByteArray saved_;
};

enum Action { Delete, Undo, HandOver, Clear };

void BM_GuiTimeOf(benchmark::State& state) {
    const auto action = Action(state.range(0));
    const int entries = int(state.range(1));
    SavedList list(entries);
    list.restore();
    QStringList handed;
    if (action == HandOver) {
        const QString tone = list.file(0);
        for (int i = 0; i < 10000; ++i) {
            const QString path =
                QDir(list.music.path()).filePath(QStringLiteral("new %1.wav").arg(i));
            ::link(QFile::encodeName(tone).constData(), QFile::encodeName(path).constData());
            handed << path;
        }
    }
    for (auto _ : state) {
        state.PauseTiming();
        list.store->waitForSaves(-1); // the save of the last round is not this one's
        Form1& form = *list.form;
        form.DeleteReady = true;
        form.PlayNew(form.ListView1->Count() / 2);
        if (action == Undo)
            form.PushButton6_Click();
        state.ResumeTiming();
        switch (action) {
        case Delete:
            form.PushButton6_Click();
            break;
        case Undo:
            form.UndoDelete();
            break;
        case HandOver:
            form.OpenFiles(handed);
            break;
        case Clear:
            form.PushButton8_Click();
            break;
        }
        state.PauseTiming();
        if (action == HandOver || action == Clear)
            list.restore(); // back to the list as it was
        state.ResumeTiming();
    }
    if (!list.dialogs.shown.empty())
        state.SkipWithError("a step reported a failure");
}
BENCHMARK(BM_GuiTimeOf)
    ->ArgNames({"action", "entries"})
    ->ArgsProduct({{Delete, Undo, HandOver, Clear}, {1000, 100000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// A history of 100,000 files heard, every one of the list's among them, and
// of 100,000 decisions, as years of sorting leave it.
void fillHistory(const QString& file, const SavedList& list, int entries) {
    history::Trouble trouble;
    const auto db = history::Database::open(file, trouble);
    db->begin();
    for (int i = 0; i < 100000; ++i) {
        const QString path =
            i < entries ? list.file(i) : QStringLiteral("/elsewhere/%1.wav").arg(i);
        db->heard({path, identityNow(path), 2500});
        history::Decision d;
        d.key = QString::number(i);
        d.from = QStringLiteral("/elsewhere/gone %1.wav").arg(i);
        d.to = QStringLiteral("/trash/files/gone %1.wav").arg(i);
        db->record(d);
    }
    db->commit();
}

// From the window's start to every entry marked as heard, and (marking_ms)
// from the list holding its entries to every one marked.
void BM_HeardMarksAtStart(benchmark::State& state) {
    const int entries = int(state.range(0));
    QTemporaryDir historyDir;
    const QString file = historyDir.filePath(QStringLiteral("history.sqlite"));
    SavedList list(entries, file);
    fillHistory(file, list, entries);
    double marking = 0;
    for (auto _ : state) {
        list.restore();
        QElapsedTimer waited, listed;
        waited.start();
        while (list.form->ListView1->HeardCount() < entries && waited.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            if (!listed.isValid() && list.form->ListView1->Count() == entries)
                listed.start();
        }
        marking += double(listed.elapsed());
    }
    state.counters["marking_ms"] = benchmark::Counter(marking / double(state.iterations()));
    if (list.form->ListView1->HeardCount() < entries)
        state.SkipWithError(QStringLiteral("%1 of %2 entries marked")
                                .arg(list.form->ListView1->HeardCount())
                                .arg(list.form->ListView1->Count())
                                .toStdString()
                                .c_str());
}
BENCHMARK(BM_HeardMarksAtStart)
    ->ArgNames({"entries"})
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// What the window's thread spends on a file becoming heard (its mark, its
// record handed to the history, the progress line) and on a decision's record.
void BM_GuiTimeOfRecording(benchmark::State& state) {
    const bool decision = state.range(0) == 1;
    const int entries = int(state.range(1));
    QTemporaryDir historyDir;
    const QString file = historyDir.filePath(QStringLiteral("history.sqlite"));
    SavedList list(entries, file);
    fillHistory(file, list, 0);
    list.restore();
    FakeEngine* engine = list.engine;
    int next = 1;
    for (auto _ : state) {
        state.PauseTiming();
        Form1& form = *list.form;
        form.PlayNew(next++);
        engine->startPlayback();
        engine->playOn(1.9);
        SentFile sent{list.file(next), QStringLiteral("/t/x.wav"), {}, next, {}, {}, {}};
        state.ResumeTiming();
        if (decision)
            form.rememberSent(sent);
        else
            engine->playOn(0.2); // the step that makes it heard
        // The progress line counts the entries heard after a moment, on this thread too.
        benchmark::DoNotOptimize(form.ListView1->HeardCount());
        state.PauseTiming();
        QTest::qWait(250);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GuiTimeOfRecording)
    ->ArgNames({"decision", "entries"})
    ->ArgsProduct({{0, 1}, {1000, 100000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace
