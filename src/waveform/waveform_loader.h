#pragma once

#include "waveform/waveform_decoder.h"

#include <QDateTime>
#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <list>
#include <memory>

using WaveformRef = std::shared_ptr<const Waveform>;

// Reads files' waveforms on one worker thread, the program's only background
// work; it touches nothing but the file it reads. Asking for another file
// cancels the running read at once, and nothing of a superseded read is ever
// delivered. A read that hangs on a drive that stopped answering cannot see
// the cancel: it is left to its thread, and a fresh one reads on. The last few results are kept, so
// that going back (Play Previous, undo) shows them at once.
class WaveformLoader : public QObject {
    Q_OBJECT
  public:
    // How a file is read: readWaveform, or a stand-in in tests.
    using Reader =
        std::function<Waveform(const QString& path, const std::function<bool()>& cancelled,
                               const std::function<void(const Waveform&)>& progress)>;
    // How many results are kept, the least recently shown going first.
    static constexpr std::size_t kKeptResults = 16;

    explicit WaveformLoader(QObject* parent = nullptr, Reader reader = readWaveform);
    ~WaveformLoader() override;

    // The kept result for path, if its file has not changed since; else nullptr.
    WaveformRef cached(const QString& path);
    // Starts reading path; updated follows with progress and the result.
    void load(const QString& path);
    // Nothing more of the file being read is delivered.
    void cancel();
    // The file whose results are delivered now; empty when none.
    const QString& loading() const { return loading_; }

  Q_SIGNALS:
    // Peaks so far, then the result (complete, or failed with its reason).
    void updated(const QString& path, WaveformRef waveform);

  private:
    struct Kept {
        QString path;
        qint64 bytes;
        QDateTime modified;
        WaveformRef waveform;
    };
    void newWorker();
    void leaveStuckWorker(); // its read hangs: a fresh worker takes the reads from now on
    void post(quint64 job, const QString& path);
    bool begin(quint64 job); // false when this job, or a newer one, has begun already
    void deliver(quint64 job, const QString& path, WaveformRef waveform);
    void keep(const QString& path, WaveformRef waveform);

    Reader reader_;
    QThread* thread_ = nullptr; // left behind when a read hangs on a dead drive
    QObject* worker_ = nullptr; // lives on thread_: the context the reads run in
    std::atomic<quint64> wanted_{0};
    std::atomic<quint64> begun_{0}; // the newest job a worker has begun
    QString loading_;
    std::list<Kept> kept_; // newest first
};
