#include "waveform/waveform_panel.h"

#include "waveform/waveform_view.h"

#include <QTimer>

namespace {
constexpr int kReadDelayMs = 150;
} // namespace

WaveformPanel::WaveformPanel(WaveformView& view, QObject* parent)
    : QObject(parent), view_(view), loader_(new WaveformLoader(this)),
      readTimer_(new QTimer(this)) {
    readTimer_->setSingleShot(true);
    connect(readTimer_, &QTimer::timeout, this, &WaveformPanel::startReading);
    connect(loader_, &WaveformLoader::updated, this, [this](const QString& path, WaveformRef w) {
        if (path == shownPath_)
            showWaveform(w);
    });
}

void WaveformPanel::show(const QString& path) {
    if (path == shownPath_ && (view_.waveform() || !view_.message().isEmpty() ||
                               readTimer_->isActive() || loader_->loading() == path))
        return; // the same file again: what is shown, or on its way, stays
    shownPath_ = path;
    readTimer_->stop();
    loader_->cancel();
    if (!path.isEmpty())
        if (WaveformRef kept = loader_->cached(path)) {
            showWaveform(kept);
            return;
        }
    view_.setWaveform(nullptr);
    Q_EMIT factsChanged(QString());
    lastTags_.clear();
    Q_EMIT tagsChanged(QString());
    if (!path.isEmpty())
        readTimer_->start(kReadDelayMs);
}

void WaveformPanel::soundStarted() {
    if (readTimer_->isActive())
        startReading();
}

double WaveformPanel::seconds() const {
    const WaveformRef& shown = view_.waveform();
    return shown ? shown->facts.seconds : 0;
}

void WaveformPanel::startReading() {
    readTimer_->stop();
    if (!shownPath_.isEmpty())
        loader_->load(shownPath_);
}

void WaveformPanel::showWaveform(const WaveformRef& waveform) {
    if (waveform->failed()) {
        view_.setMessage(tr("This file cannot be decoded: %1.").arg(waveform->error));
        Q_EMIT factsChanged(factsLine(waveform->facts));
        return;
    }
    view_.setWaveform(waveform);
    Q_EMIT factsChanged(factsLine(waveform->facts));
    if (const QString tags = tagsLine(waveform->facts); tags != lastTags_) {
        lastTags_ = tags;
        Q_EMIT tagsChanged(tags);
    }
    Q_EMIT waveformShown();
}
