#pragma once

#include "engine/audio_engine.h"

#include <QList>
#include <QPair>
#include <memory>

struct MpvLibrary;
struct mpv_handle;
struct mpv_event;

// The libmpv engine; the only place with mpv types. One mpv_handle, owned for
// the engine's life. Events reach the GUI thread through a queued call from
// mpv's wakeup callback and are drained there.
class MpvEngine : public AudioEngine {
    Q_OBJECT
  public:
    // Extra options set before start (for tests: {"ao", "null"} or an ao=pcm file).
    using Options = QList<QPair<QByteArray, QByteArray>>;

    // A failed start gives nullptr and the reason in *error; it never throws.
    static std::unique_ptr<MpvEngine> create(const Options& extra, QString* error);

    // create in two halves. start loads libmpv and starts a handle, the slow
    // part, on any thread; adopt makes the engine of it on the thread whose
    // event loop is to hear from it (nullptr when the start failed).
    class Started {
      public:
        Started() = default;
        Started(Started&& other) noexcept;
        Started& operator=(Started&&) = delete;
        ~Started();
        QString error; // why the start failed

      private:
        friend class MpvEngine;
        const MpvLibrary* lib_ = nullptr;
        mpv_handle* handle_ = nullptr;
        bool silentByChoice_ = false; // started with ao=null
    };
    static Started start(const Options& extra);
    static std::unique_ptr<MpvEngine> adopt(Started&& started);
    ~MpvEngine() override;

    EntryId play(const QString& path) override;
    EntryId queueNext(const QString& path) override;
    void setPaused(bool paused) override;
    void stop() override;
    void seek(double seconds) override;
    void setVolume(int percent) override;
    void setMuted(bool muted) override;
    void setGain(double decibels) override;

  private:
    MpvEngine(const MpvLibrary* lib, mpv_handle* mpv);
    void drainEvents();
    void handleEvent(const mpv_event& event);
    void handlePropertyChange(const mpv_event& event);
    EntryId loadFile(const QString& path, const char* mode);
    void command(std::initializer_list<const char*> args);
    void applyVolume();

    const MpvLibrary* lib_;
    mpv_handle* mpv_;
    EntryId playingId_ = 0;
    bool silentByChoice_ = false;
    int volume_ = 50;
    double gain_ = 0; // dB
};
