#include "playback/player.h"

#include "engine/waiting_engine.h"
#include "platform/failure.h"

#include <algorithm>

Player::Player(std::unique_ptr<AudioEngine> engine) {
    // The player always has a current playlist, empty at first.
    setCurrentPlaylist(newPlaylist(QString()));
    useEngine(engine ? std::move(engine) : std::make_unique<WaitingEngine>());
    ready_ = !dynamic_cast<WaitingEngine*>(engine_.get());
}

void Player::useEngine(std::unique_ptr<AudioEngine> engine) {
    engine_ = std::move(engine);
    connect(engine_.get(), &AudioEngine::entryStarted, this, &Player::onEntryStarted);
    connect(engine_.get(), &AudioEngine::entryEnded, this,
            [this](AudioEngine::EntryId id, bool failed, const QString& error) {
                if (failed && id == currentId_ && id != 0 && current_)
                    Q_EMIT itemFailed(current_, error);
                onEntryEnded(id, failed);
            });
    connect(engine_.get(), &AudioEngine::playbackStarted, this, &Player::onPlaybackStarted);
    connect(engine_.get(), &AudioEngine::positionChanged, this, [this](double seconds) {
        position_ = seconds;
        Q_EMIT positionChanged(seconds);
    });
    connect(engine_.get(), &AudioEngine::durationChanged, this, [this](double seconds) {
        duration_ = seconds;
        Q_EMIT durationChanged(seconds);
    });
    connect(engine_.get(), &AudioEngine::soundOutputChanged, this,
            [this](bool sounding, const QString& reason) {
                const QString now = sounding ? QString() : reason;
                if (now == noSound_)
                    return;
                noSound_ = now;
                Q_EMIT noSoundChanged(noSound_);
            });
    engine_->setVolume(volume_);
    engine_->setMuted(muted_);
    engine_->setGain(gain_);
}

void Player::attachEngine(std::unique_ptr<AudioEngine> engine) {
    if (ready_ || !engine)
        return;
    useEngine(std::move(engine));
    ready_ = true;
    // What was asked for meanwhile now happens: the current item starts (held
    // paused if a pause came), with its follow-up queued.
    if (!current_ || currentId_ == 0)
        return;
    queued_.reset();
    queuedId_ = 0;
    currentId_ = engine_->play(current_->sourceURL());
    if (state_ == Paused)
        engine_->setPaused(true);
    refreshQueue();
}

Player::~Player() {
    if (playlist_)
        playlist_->observer_ = nullptr;
}

void Player::setCurrentPlaylist(const PlaylistRef& playlist) {
    if (playlist == playlist_)
        return;
    if (playlist_)
        playlist_->observer_ = nullptr;
    playlist_ = playlist;
    if (playlist_)
        playlist_->observer_ = this;
    currentHint_ = -1;
    refreshQueue(true);
    Q_EMIT itemsChanged();
}

void Player::playlistChanged() {
    // The last item gone (removed, deleted, cleared): what played goes with it,
    // rather than playing on from a list that no longer holds it.
    if (current_ && playlist_->count() == 0) {
        stop();
        current_.reset();
        currentHint_ = -1;
        Q_EMIT currentItemGone();
        Q_EMIT itemsChanged();
        return;
    }
    refreshQueue();
    Q_EMIT itemsChanged();
}

void Player::setState(int state) {
    if (state == state_)
        return;
    state_ = state;
    Q_EMIT playStateChanged(state);
}

void Player::play() {
    if (state_ == Paused && currentId_ != 0) {
        engine_->setPaused(false);
        setState(Playing);
    } else if (state_ != Playing && state_ != Transitioning) {
        if (current_ && currentIndex() >= 0)
            start(current_, ChangeCause::PlayItem);
        else if (playlist_ && playlist_->count() > 0)
            start(playlist_->Item(0), ChangeCause::PlayItem);
    }
}

void Player::togglePlay() {
    state_ == Playing ? pause() : play();
}

void Player::pause() {
    if (state_ == Playing || state_ == Transitioning) {
        engine_->setPaused(true);
        setState(Paused);
    }
}

void Player::stop() {
    engine_->stop();
    currentId_ = 0;
    queuedId_ = 0;
    queued_.reset();
    position_ = 0;
    Q_EMIT positionChanged(0);
    setState(Stopped);
}

void Player::playItem(const Media& item) {
    if (!item || !playlist_ || !playlist_->contains(item.get()))
        throw Failure(QStringLiteral("The item is not in the current playlist"));
    start(item, ChangeCause::PlayItem);
}

void Player::next() {
    if (!playlist_ || playlist_->count() == 0)
        return;
    Media target = chooseNext();
    start(target ? target : playlist_->Item(0), ChangeCause::PlayerMove);
}

void Player::previous() {
    if (!playlist_ || playlist_->count() == 0)
        return;
    const int at = currentIndex();
    start(playlist_->Item(at > 0 ? at - 1 : playlist_->count() - 1), ChangeCause::PlayerMove);
}

void Player::seek(double seconds) {
    if (currentId_ != 0)
        engine_->seek(seconds);
}

void Player::start(const Media& item, ChangeCause cause) {
    const bool changed = item != current_;
    current_ = item;
    currentHint_ = -1;
    round_.played(item.get());
    queued_.reset();
    queuedId_ = 0;
    position_ = 0;
    openedAs_ = identityOf(item->sourceURL());
    currentId_ = engine_->play(item->sourceURL());
    setState(Transitioning);
    refreshQueue();
    if (changed || cause == ChangeCause::PlayerMove)
        Q_EMIT CurrentItemChange(item, cause);
}

int Player::currentIndex() const {
    if (!playlist_ || !current_)
        return -1;
    currentHint_ = playlist_->indexOf(current_.get(), currentHint_);
    return currentHint_;
}

Media Player::chooseNext() {
    if (!playlist_ || playlist_->count() == 0)
        return nullptr;
    if (shuffle_)
        return round_.choose(*playlist_, current_, loop_);
    const int at = currentIndex();
    if (at < 0)
        return nullptr;
    if (at + 1 < playlist_->count())
        return playlist_->Item(at + 1);
    return loop_ ? playlist_->Item(0) : nullptr;
}

void Player::refreshQueue(bool rechoose) {
    if (currentId_ == 0)
        return;
    const bool keep =
        shuffle_ && !rechoose && queued_ && playlist_ && playlist_->contains(queued_.get());
    if (keep)
        return;
    Media wanted = chooseNext();
    if (wanted == queued_ && queuedId_ != 0)
        return;
    if (!wanted && !queued_)
        return;
    queued_ = wanted;
    queuedId_ = engine_->queueNext(wanted ? wanted->sourceURL() : QString());
}

void Player::onEntryStarted(AudioEngine::EntryId id) {
    if (id == 0 || id != queuedId_)
        return;
    // Files that all fail, one after the other, would go round for ever with loop on.
    if (failuresInARow_ > 0 && failuresInARow_ >= (playlist_ ? playlist_->count() : 0)) {
        failuresInARow_ = 0;
        stop();
        return;
    }
    current_ = queued_;
    currentId_ = id;
    currentHint_ = -1;
    openedAs_ = identityOf(current_->sourceURL());
    queued_.reset();
    queuedId_ = 0;
    round_.played(current_.get());
    setState(Transitioning);
    refreshQueue();
    Q_EMIT CurrentItemChange(current_, ChangeCause::EndOfItem);
}

void Player::onEntryEnded(AudioEngine::EntryId id, bool failed) {
    if (id == 0 || id != currentId_)
        return;
    failuresInARow_ = failed ? failuresInARow_ + 1 : 0;
    if (queuedId_ == 0) {
        currentId_ = 0;
        failuresInARow_ = 0;
        setState(MediaEnded);
        setState(Stopped);
    }
}

void Player::onPlaybackStarted(AudioEngine::EntryId id) {
    if (id != currentId_ || id == 0)
        return;
    // The engine opened the file somewhere between the look at it and now: if
    // it changed meanwhile, which of the two it opened cannot be told.
    if (current_ && identityOf(current_->sourceURL()) != openedAs_)
        openedAs_ = {};
    if (state_ == Transitioning)
        setState(Playing);
}

void Player::setMode(const QString& mode, bool on) {
    if (mode == QLatin1String("shuffle")) {
        shuffle_ = on;
        round_.clear();
        if (current_)
            round_.played(current_.get());
    } else if (mode == QLatin1String("loop")) {
        loop_ = on;
    } else {
        throw Failure(QStringLiteral("Unknown player mode '%1'").arg(mode));
    }
    refreshQueue(true);
}

bool Player::getMode(const QString& mode) const {
    return mode == QLatin1String("shuffle") ? shuffle_ : mode == QLatin1String("loop") && loop_;
}

void Player::setVolume(int percent) {
    volume_ = qBound(0, percent, 100);
    engine_->setVolume(volume_);
    Q_EMIT volumeChanged(volume_, muted_);
}

void Player::setMute(bool muted) {
    muted_ = muted;
    engine_->setMuted(muted);
    Q_EMIT volumeChanged(volume_, muted_);
}

void Player::setGain(double decibels) {
    gain_ = decibels;
    engine_->setGain(decibels);
}

void Player::setFullScreen(bool on) {
    if (on == fullScreen_)
        return;
    fullScreen_ = on;
    Q_EMIT fullScreenChanged(on);
}
