#pragma once

#include "settings/ini_writer.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// Saves the settings file on a thread of its own, so that a long list, a slow
// disk or a lock held by another copy never holds up the window. Saves that
// pile up while one is written go to disk as one, with the newest values. The
// file is written as QSettings writes it (merged key by key with what another
// copy saved meanwhile), to a temporary file that is synced and then renamed
// over the old one: a crash at any moment leaves one whole file. Anything but a
// plain file where the file belongs is never opened, and a damaged file is
// put aside first when asked.
class SettingsWriter {
  public:
    // Failures reach their callbacks on the thread that made the writer.
    SettingsWriter();
    // Waits for a save under way only a moment: a thread stuck on a drive
    // that stopped answering is left behind, never waited for.
    ~SettingsWriter();

    struct Save {
        QString path;
        SettingsWrites writes;
        NumberedWrites numbered; // after the writes
        SettingsWrites options;  // keys of the group [Options]
        bool putDamagedAside = false;
        // Why the save failed; the last of the saves that went to disk as one gets it.
        std::function<void(const QString& why)> onFailure;
    };
    void save(Save job);
    // Waits until every save so far is on disk (or failed) and its failure
    // told, at most ms (-1: however long); true when none is left.
    bool waitForSaves(int ms);

    struct State; // shared with the writer's thread

  private:
    std::shared_ptr<State> state_;
    std::unique_ptr<QObject> here_; // failures are told in its thread
};

// One save, as the writer's thread does it: the reason it failed, or empty.
QString saveSettingsFile(const SettingsWriter::Save& job);
