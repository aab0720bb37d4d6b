#pragma once

#include "history/history_db.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

// The history, written and read on a thread of its own: the window hands it
// records and questions and goes on at once; answers come back on the thread
// that made the store. Records that pile up while one batch is written go to
// the file as one transaction. A history that cannot be kept (locked by
// another program, damaged, on a full or read-only drive, from a newer
// version) is told once, and the program goes on without it.
class HistoryStore {
  public:
    HistoryStore(const QString& path, std::function<void(const QString& why)> onTrouble);
    // Waits for the records asked so far only a moment: a thread stuck on a
    // drive that stopped answering is left behind, never waited for.
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    void record(history::Decision decision);
    // The decision may be taken back no more: "undone", or the reason it was refused.
    void close(const QString& key, const QString& how);
    void heard(history::Heard heard);

    // The decisions still to be taken back (at most limit of the newest, oldest first).
    void openDecisions(int limit, std::function<void(std::vector<history::Decision>)> then);
    // What is known of these paths as heard.
    void heardOf(QStringList paths, std::function<void(QHash<QString, history::Heard>)> then);

    // What was sent away from these folders in every sitting, not taken back.
    void sentFrom(QSet<QString> folders, std::function<void(history::Database::SentCounts)> then);

    // Waits until everything asked so far is done, at most ms; true when it is.
    bool waitForWrites(int ms);

    struct State; // shared with the store's thread

  private:
    std::shared_ptr<State> state_;
    std::unique_ptr<QObject> here_; // answers and trouble are told in its thread
};
