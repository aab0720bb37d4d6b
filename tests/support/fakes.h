#pragma once

#include "engine/audio_engine.h"
#include "platform/dialogs.h"
#include "platform/open_dialog.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// The number of a process that has ended, as one a kill ended leaves it.
inline pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// An engine that plays nothing: it records what it is told and reports events
// only when the test says so, the way libmpv reports them later.
class FakeEngine : public AudioEngine {
  public:
    EntryId play(const QString& path) override {
        played << path;
        current = {++lastId, path};
        queued = {};
        paused = false;
        position = 0;
        return current.id;
    }
    EntryId queueNext(const QString& path) override {
        if (failQueueing)
            throw std::runtime_error("the engine refused the next file");
        queued = path.isEmpty() ? Entry{} : Entry{++lastId, path};
        return queued.id;
    }
    void setPaused(bool on) override { paused = on; }
    void stop() override {
        if (onStop)
            onStop();
        ++stops;
        current = queued = {};
    }
    void seek(double seconds) override { seekedTo = seconds; }
    void setVolume(int percent) override { volume = percent; }
    void setMuted(bool on) override { muted = on; }
    void setGain(double decibels) override { gains.push_back(decibels); }

    // The current file starts sounding.
    void startPlayback() { Q_EMIT playbackStarted(current.id); }
    // The current file plays on for this long, its position reported in small steps.
    void playOn(double seconds) {
        for (double played = 0; played < seconds - 1e-9; played += 0.05)
            Q_EMIT positionChanged(position += 0.05);
    }
    // The current file plays to its end (or fails); the engine moves to the queued one.
    void finishCurrent(bool failed = false) {
        const Entry ended = current;
        current = queued;
        queued = {};
        position = 0;
        Q_EMIT entryEnded(ended.id, failed, failed ? QStringLiteral("loading failed") : QString());
        if (current.id != 0) {
            Q_EMIT entryStarted(current.id);
            Q_EMIT playbackStarted(current.id);
        }
    }

    struct Entry {
        EntryId id = 0;
        QString path;
    };
    Entry current, queued;
    QStringList played;
    EntryId lastId = 0;
    bool paused = false;
    bool muted = false;
    bool failQueueing = false;
    int stops = 0;
    int volume = 0;
    std::vector<double> gains; // every gain set, in order
    double seekedTo = -1;
    double position = 0;
    std::function<void()> onStop; // runs inside stop(), for a slow engine
};

class RecordingDialogs : public Dialogs {
  public:
    struct Shown {
        QString text, title;
        MessageIcon icon;
    };
    void showMessage(const QString& text, const QString& title, MessageIcon icon) override {
        shown.push_back({text, title, icon});
    }
    bool askYesNo(const QString& text, const QString& title) override {
        questions.push_back({text, title, MessageIcon::None});
        return answerYes;
    }
    int askChoice(const QString& text, const QString& title, const QStringList& buttons) override {
        questions.push_back({text + " [" + buttons.join(" / ") + "]", title, MessageIcon::None});
        if (onChoice)
            onChoice();
        return choice;
    }
    QStringList texts() const {
        QStringList all;
        for (const Shown& s : shown)
            all << s.text;
        return all;
    }
    std::vector<Shown> shown, questions;
    bool answerYes = false;
    int choice = 0;                 // the button askChoice answers with
    std::function<void()> onChoice; // runs while the question is open
};

// The file chooser answering with files set by the test.
class FakeFilePicker : public FilePicker {
  public:
    QStringList pickFiles(const QString& title, const QStringList& filters,
                          int preselected) override {
        asked << title;
        shownFilters = filters;
        preselectedFilter = preselected;
        return answer;
    }
    QString pickFolder(const QString& title, const QString&) override {
        asked << title;
        return folderAnswer;
    }
    QStringList answer, asked, shownFilters;
    QString folderAnswer;
    int preselectedFilter = -1;
};
