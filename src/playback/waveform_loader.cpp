#include "playback/waveform_loader.h"

#include <QFileInfo>

namespace {
constexpr std::size_t kKeptResults = 16;
} // namespace

WaveformLoader::WaveformLoader(QObject* parent) : QObject(parent) {
    thread_.setObjectName(QStringLiteral("waveform"));
    worker_ = new QObject;
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    // The thread starts with the first read, not with the window: starting it
    // costs the window's first appearance more than a millisecond.
}

WaveformLoader::~WaveformLoader() {
    // The read in progress sees the change of job and stops; only then may this go.
    ++wanted_;
    if (!thread_.isRunning()) {
        delete worker_; // never started, so never finished either
        return;
    }
    thread_.quit();
    thread_.wait();
}

WaveformRef WaveformLoader::cached(const QString& path) {
    const QFileInfo info(path);
    for (auto it = kept_.begin(); it != kept_.end(); ++it) {
        if (it->path != path)
            continue;
        if (it->bytes != info.size() || it->modified != info.lastModified()) {
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
    if (!thread_.isRunning())
        thread_.start();
    QMetaObject::invokeMethod(worker_, [this, job, path] {
        if (wanted_ != job)
            return; // superseded before it began
        const auto cancelled = [this, job] { return wanted_ != job; };
        const auto progress = [this, job, path](const Waveform& sofar) {
            QMetaObject::invokeMethod(
                this, [this, job, path, copy = std::make_shared<const Waveform>(sofar)] {
                    deliver(job, path, copy);
                });
        };
        auto result = std::make_shared<const Waveform>(readWaveform(path, cancelled, progress));
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
    const QFileInfo info(path);
    kept_.remove_if([&](const Kept& k) { return k.path == path; });
    kept_.push_front({path, info.size(), info.lastModified(), std::move(waveform)});
    if (kept_.size() > kKeptResults)
        kept_.pop_back();
}
