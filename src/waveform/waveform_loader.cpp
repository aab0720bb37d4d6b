#include "waveform/waveform_loader.h"

#include "platform/disk_call.h"

#include <QFileInfo>
#include <QTimer>
#include <optional>

namespace {
constexpr int kLastReadWaitMs = 1000;
// A read not begun this long after it was asked for waits behind one that
// hangs on a drive that stopped answering (a cancelled read ends at its next
// packet, well within this).
constexpr int kStuckReadMs = 500;
} // namespace

WaveformLoader::WaveformLoader(QObject* parent, Reader reader)
    : QObject(parent), reader_(std::move(reader)) {
    newWorker();
}

void WaveformLoader::newWorker() {
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("waveform"));
    worker_ = new QObject;
    worker_->moveToThread(thread_);
    connect(thread_, &QThread::finished, worker_, &QObject::deleteLater);
    // The thread starts with the first read, not with the window: starting it
    // costs the window's first appearance more than a millisecond.
}

void WaveformLoader::leaveStuckWorker() {
    // It ends by itself once its read comes back, and nothing of that read is delivered.
    QThread* stuck = thread_;
    stuck->quit();
    connect(stuck, &QThread::finished, stuck, &QObject::deleteLater);
    newWorker();
}

WaveformLoader::~WaveformLoader() {
    // The read in progress sees the change of job and stops; only then may this go.
    ++wanted_;
    if (!thread_->isRunning()) {
        delete worker_; // never started, so never finished either
        delete thread_;
        return;
    }
    thread_->quit();
    // A read stuck on a drive that stopped answering never sees the change:
    // its thread is left to the end of the process rather than waited for.
    if (thread_->wait(kLastReadWaitMs))
        delete thread_;
}

namespace {

struct FileFacts {
    qint64 bytes;
    QDateTime modified;
};

// Nothing when the file's drive does not answer.
std::optional<FileFacts> factsOf(const QString& path) {
    return disk::call<FileFacts>(path, [path] {
        const QFileInfo info(path);
        return FileFacts{info.size(), info.lastModified()};
    });
}

} // namespace

WaveformRef WaveformLoader::cached(const QString& path) {
    for (auto it = kept_.begin(); it != kept_.end(); ++it) {
        if (it->path != path)
            continue;
        const std::optional<FileFacts> now = factsOf(path);
        if (!now || it->bytes != now->bytes || it->modified != now->modified) {
            kept_.erase(it); // the file changed: its peaks are stale
            return nullptr;
        }
        kept_.splice(kept_.begin(), kept_, it);
        return kept_.front().waveform;
    }
    return nullptr;
}

void WaveformLoader::load(const QString& path) {
    const quint64 job = ++wanted_;
    loading_ = path;
    post(job, path);
    QTimer::singleShot(kStuckReadMs, this, [this, job, path] {
        if (wanted_ != job || begun_ >= job)
            return;
        leaveStuckWorker();
        post(job, path);
    });
}

bool WaveformLoader::begin(quint64 job) {
    for (quint64 seen = begun_; seen < job;)
        if (begun_.compare_exchange_weak(seen, job))
            return true;
    return false;
}

void WaveformLoader::post(quint64 job, const QString& path) {
    if (!thread_->isRunning())
        thread_->start();
    QMetaObject::invokeMethod(worker_, [this, job, path] {
        if (wanted_ != job || !begin(job))
            return; // superseded before it began, or begun on another worker
        const auto cancelled = [this, job] { return wanted_ != job; };
        const auto progress = [this, job, path](const Waveform& sofar) {
            QMetaObject::invokeMethod(
                this, [this, job, path, copy = std::make_shared<const Waveform>(sofar)] {
                    deliver(job, path, copy);
                });
        };
        auto result = std::make_shared<const Waveform>(reader_(path, cancelled, progress));
        QMetaObject::invokeMethod(this, [this, job, path, result] { deliver(job, path, result); });
    });
}

void WaveformLoader::cancel() {
    ++wanted_;
    loading_.clear();
}

void WaveformLoader::deliver(quint64 job, const QString& path, WaveformRef waveform) {
    if (job != wanted_)
        return;
    if (waveform->complete || waveform->failed()) {
        keep(path, waveform);
        loading_.clear();
    }
    Q_EMIT updated(path, waveform);
}

void WaveformLoader::keep(const QString& path, WaveformRef waveform) {
    kept_.remove_if([&](const Kept& k) { return k.path == path; });
    const std::optional<FileFacts> facts = factsOf(path);
    if (!facts)
        return;
    kept_.push_front({path, facts->bytes, facts->modified, std::move(waveform)});
    if (kept_.size() > kKeptResults)
        kept_.pop_back();
}
