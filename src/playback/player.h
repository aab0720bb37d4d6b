#pragma once

#include "engine/audio_engine.h"
#include "platform/file_identity.h"
#include "playback/playlist.h"
#include "playback/shuffle_round.h"

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

// The player as the window uses it: a playlist, the transport
// controls, the play state, the shuffle and loop modes and full screen. At the
// end of an item it goes on by itself: the next item in order, or a random one
// not yet played in this round with shuffle on; past the end it starts again
// only with loop on. The item after the current one is always queued in the
// engine, so the player moves on without cutting the tail or leaving a gap.
class Player : public QObject, public EngineUser {
    Q_OBJECT
  public:
    enum State {
        Undefined = 0,
        Stopped = 1,
        Paused = 2,
        Playing = 3,
        MediaEnded = 8,
        Transitioning = 9,
        Ready = 10
    };
    // Why the current item changed: the program's own playItem, the player's
    // own keys and buttons, or the player moving on by itself (the end of an
    // item, a file it could not open, shuffle).
    enum class ChangeCause { PlayItem, PlayerMove, EndOfItem };

    // Without an engine the player keeps every request (the playlist, the item
    // to play, pause, the modes, the volume) until attachEngine brings one.
    explicit Player(std::unique_ptr<AudioEngine> engine);
    ~Player() override;
    // The engine, once it has started; what was asked for meanwhile starts on it.
    void attachEngine(std::unique_ptr<AudioEngine> engine) override;
    bool engineReady() const { return ready_; }

    Media newMedia(const QString& path) const { return std::make_shared<MediaItem>(path); }
    PlaylistRef newPlaylist(const QString& name) const { return std::make_shared<Playlist>(name); }
    const PlaylistRef& currentPlaylist() const { return playlist_; }
    void setCurrentPlaylist(const PlaylistRef& playlist);

    // controls
    void play();
    void pause();
    // Pause while playing, play otherwise: the play/pause button and key.
    void togglePlay();
    void stop();
    void playItem(const Media& item);
    void next();
    void previous();
    void seek(double seconds);

    // settings
    void setMode(const QString& mode, bool on);
    bool getMode(const QString& mode) const;
    int volume() const { return volume_; }
    void setVolume(int percent);
    bool mute() const { return muted_; }
    void setMute(bool muted);
    // Level matching's gain in dB, on top of the volume; kept for a later engine.
    double gain() const { return gain_; }
    void setGain(double decibels);

    int playState() const { return state_; }
    const Media& currentMedia() const { return current_; }
    // The current item's place in the playlist, from 0; -1 with none.
    int currentIndex() const;
    double position() const { return position_; }
    // The current item's file as it was when the player opened it; unknown when
    // it changed while the player was opening it.
    const FileIdentity& openedIdentity() const { return openedAs_; }
    double duration() const { return duration_; }
    bool fullScreen() const { return fullScreen_; }
    // Why nothing can be heard, or empty while the sound output works.
    const QString& noSoundReason() const { return noSound_; }
    void setFullScreen(bool on);

  Q_SIGNALS:
    void CurrentItemChange(const Media& item, Player::ChangeCause cause);
    // The playlist was emptied: nothing is current any more, and nothing plays.
    void currentItemGone();
    void playStateChanged(int state);
    void positionChanged(double seconds);
    void durationChanged(double seconds);
    void fullScreenChanged(bool on);
    void volumeChanged(int percent, bool muted);
    // The item could not be opened or decoded (the engine's reason); the player moves on.
    void itemFailed(const Media& item, const QString& reason);
    // Items were added, removed or cleared.
    void itemsChanged();
    // Sound can be heard again (empty reason), or no longer, and why.
    void noSoundChanged(const QString& reason);

  private:
    friend class Playlist;
    void playlistChanged();
    void useEngine(std::unique_ptr<AudioEngine> engine);
    void start(const Media& item, ChangeCause cause);
    void setState(int state);
    void refreshQueue(bool rechoose = false);
    Media chooseNext();
    void onEntryStarted(AudioEngine::EntryId id);
    void onEntryEnded(AudioEngine::EntryId id, bool failed);
    void onPlaybackStarted(AudioEngine::EntryId id);

    std::unique_ptr<AudioEngine> engine_;
    bool ready_ = false;
    PlaylistRef playlist_;
    Media current_;
    mutable int currentHint_ = -1;
    Media queued_;
    AudioEngine::EntryId currentId_ = 0;
    AudioEngine::EntryId queuedId_ = 0;
    ShuffleRound round_; // with shuffle on: the items played in this round
    int failuresInARow_ = 0;
    FileIdentity openedAs_;
    QString noSound_;
    int state_ = Undefined;
    bool shuffle_ = false;
    bool loop_ = false;
    bool fullScreen_ = false;
    bool muted_ = false;
    int volume_ = 50;
    double gain_ = 0;
    double position_ = 0;
    double duration_ = 0;
};
