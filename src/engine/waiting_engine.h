#pragma once

#include "engine/audio_engine.h"

// Stands in until the real engine is there: it takes every request and plays
// nothing, and hands out ids so that the player keeps its books as usual.
class WaitingEngine : public AudioEngine {
  public:
    EntryId play(const QString&) override { return ++lastId_; }
    EntryId queueNext(const QString& path) override { return path.isEmpty() ? 0 : ++lastId_; }
    void setPaused(bool) override {}
    void stop() override {}
    void seek(double) override {}
    void setVolume(int) override {}
    void setMuted(bool) override {}
    void setGain(double) override {}

  private:
    EntryId lastId_ = 0;
};
