#pragma once

#include <QObject>
#include <QString>
#include <memory>

// What the player needs from a decoder and audio output. The engine plays one
// file and keeps at most one follow-up queued, which it moves on to by itself
// the moment the current file ends, so no tail is cut off and no gap opens.
// Every file handed to it gets an id; its signals name files by that id.
class AudioEngine : public QObject {
    Q_OBJECT
  public:
    using EntryId = qint64;

    // Starts path at once, dropping whatever played or was queued. Returns its id.
    virtual EntryId play(const QString& path) = 0;
    // Replaces the queued follow-up; an empty path queues nothing. Returns its id, or 0.
    virtual EntryId queueNext(const QString& path) = 0;
    virtual void setPaused(bool paused) = 0;
    // Stops and lets go of the file, so it may be moved or deleted.
    virtual void stop() = 0;
    virtual void seek(double seconds) = 0;
    virtual void setVolume(int percent) = 0;
    virtual void setMuted(bool muted) = 0;
    // A gain on top of the volume, in dB (level matching); 0 leaves the sound as it is.
    virtual void setGain(double decibels) = 0;

  Q_SIGNALS:
    // The engine moved to this entry (the one given to play, or the queued one).
    void entryStarted(AudioEngine::EntryId id);
    // Sound of this entry is coming out: the load finished and playback restarted.
    void playbackStarted(AudioEngine::EntryId id);
    // The entry ended: played to its end, or it could not be opened or decoded.
    void entryEnded(AudioEngine::EntryId id, bool failed, const QString& error);
    void pausedChanged(bool paused);
    void positionChanged(double seconds);
    void durationChanged(double seconds);
    // Whether sound can be heard: false, with the reason, while the output is a
    // silent stand-in (no sound device or server, or the output failed).
    void soundOutputChanged(bool sounding, const QString& reason);
};

// What plays through an engine that comes later (the player): it takes the
// engine once it has started.
class EngineUser {
  public:
    virtual void attachEngine(std::unique_ptr<AudioEngine> engine) = 0;

  protected:
    ~EngineUser() = default;
};
