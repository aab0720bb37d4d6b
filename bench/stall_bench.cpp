// The time each list-sized action holds the GUI thread (which is how long the
// window stops answering), at 1,000 and at 100,000 entries, with the real
// settings file: a delete through the button, its undo, a hand-over of 10,000
// files by a later copy, and Clear Playlist. bench/stall_probe.sh measures the
// same from outside the program.
#include "app/form1.h"
#include "playlist/list_view.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "support/fakes.h"
#include "support/wav.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <unistd.h>

namespace {

// A folder of `count` real files and a settings file listing them, as a
// previous run would have left it; the window restored from it.
class SavedList {
  public:
    explicit SavedList(int count) {
        const QString tone = QDir(music.path()).filePath(QStringLiteral("tone.wav"));
        writeToneWav(tone, 0.1);
        const QString config =
            qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Kestrelin");
        QDir().mkpath(config);
        QFile conf(config + QStringLiteral("/Kestrelin.conf"));
        conf.open(QIODevice::WriteOnly);
        QByteArray text = "[Thrennic]\nListCount=" + QByteArray::number(count) + '\n';
        for (int i = 0; i < count; ++i) {
            const QString path = file(i);
            ::link(QFile::encodeName(tone).constData(), QFile::encodeName(path).constData());
            text += "Song" + QByteArray::number(i) + '=' + QFile::encodeName(path) + '\n';
        }
        conf.write(text);
        saved_ = text;
        restore();
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
        form = std::make_unique<Form1>(Platform{
            std::make_unique<FakeEngine>(), dialogs, *store, picker, music.path(), {}, {}});
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

  private:
    QByteArray saved_;
};

enum Action { Delete, Undo, HandOver, Clear };

void BM_GuiTimeOf(benchmark::State& state) {
    const auto action = Action(state.range(0));
    const int entries = int(state.range(1));
    SavedList list(entries);
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

} // namespace
