#include "playback/level_match.h"

#include "playback/player.h"
#include "waveform/waveform_view.h"

#include <QTimer>
#include <algorithm>

namespace {
// A fade of a fifth of a second in small steps: each too small to click.
constexpr int kFadeSteps = 10;
constexpr int kFadeStepMs = 20;
} // namespace

double matchingGain(const AudioFacts& facts) {
    if (!facts.loudnessKnown() || facts.silent())
        return 0;
    return std::min(
        {kMatchedLoudness - facts.loudness, kMostMatchingGain, kMatchedPeakCeiling - facts.peakDb});
}

LevelMatcher::LevelMatcher(Player& player, WaveformLoader& loader, QObject* parent)
    : QObject(parent), player_(player), loader_(loader), fade_(new QTimer(this)) {
    fade_->setInterval(kFadeStepMs);
    connect(fade_, &QTimer::timeout, this, &LevelMatcher::fadeStep);
    connect(&loader_, &WaveformLoader::updated, this, &LevelMatcher::measured);
}

void LevelMatcher::setOn(bool on) {
    if (on == on_)
        return;
    on_ = on;
    aimAt(on_ && isKnown_ ? known_ : 0, true);
    Q_EMIT stateChanged(stateText());
}

void LevelMatcher::follow(const QString& path) {
    if (path == path_)
        return;
    path_ = path;
    isKnown_ = false;
    if (!path.isEmpty())
        if (const WaveformRef kept = loader_.cached(path); kept && kept->facts.measured())
            know(kept->facts);
    // Before the file sounds: its own gain where known, none until it is measured.
    aimAt(on_ && isKnown_ ? known_ : 0, false);
    Q_EMIT stateChanged(stateText());
}

void LevelMatcher::measured(const QString& path, const WaveformRef& waveform) {
    if (path != path_ || isKnown_ || !waveform->complete || !waveform->facts.measured())
        return;
    know(waveform->facts);
    if (!on_)
        return;
    aimAt(known_, true);
    Q_EMIT stateChanged(stateText());
}

void LevelMatcher::know(const AudioFacts& facts) {
    known_ = matchingGain(facts);
    silent_ = facts.silent();
    isKnown_ = true;
}

QString LevelMatcher::stateText() const {
    if (!on_ || !isKnown_ || silent_)
        return {};
    return tr("Level matched (%1 dB)").arg(signedDecibels(known_, true));
}

void LevelMatcher::aimAt(double gain, bool fade) {
    target_ = gain;
    if (!fade || gain == player_.gain()) {
        fade_->stop();
        if (gain != player_.gain())
            player_.setGain(gain);
        return;
    }
    from_ = player_.gain();
    steps_ = 0;
    fade_->start();
}

void LevelMatcher::fadeStep() {
    const bool last = ++steps_ >= kFadeSteps;
    player_.setGain(last ? target_ : from_ + (target_ - from_) * steps_ / kFadeSteps);
    if (last)
        fade_->stop();
}
