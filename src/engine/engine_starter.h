#pragma once

#include "engine/mpv_engine.h"

#include <QObject>
#include <optional>
#include <thread>

class Dialogs;
class QWidget;
class EngineUser;

// Starts the audio engine on a worker thread while the window comes up, and
// hands it over once it is there; the player keeps what it was asked
// to do meanwhile. When the engine cannot start, a box says why, and the
// window goes on working for everything but playback.
class EngineStarter : public QObject {
    Q_OBJECT
  public:
    // The latest a start waits for the window to show.
    static constexpr int kLatestStartMs = 500;

    EngineStarter(EngineUser& user, Dialogs& dialogs, MpvEngine::Options options = {});
    // Waits for a start still under way and lets go of what it made.
    ~EngineStarter() override;
    void start();
    // Starts once the window is on the screen, so that loading libmpv does not
    // compete with the window's first appearance; or after a moment at the
    // latest, for a window that never shows (on another workspace, say).
    void startOnceShown(QWidget& window);

  Q_SIGNALS:
    // The engine is handed over (true), or the failure was reported (false).
    void finished(bool started);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void deliver();

    EngineUser& user_;
    Dialogs& dialogs_;
    MpvEngine::Options options_;
    std::optional<MpvEngine::Started> started_; // made by the worker before it queues deliver
    std::thread worker_;
    bool delivered_ = false;
};
