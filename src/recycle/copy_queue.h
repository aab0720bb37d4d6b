#pragma once

#include "platform/file_identity.h"
#include "recycle/move_file.h"
#include "recycle/trash_undo.h"

#include <QList>
#include <QObject>
#include <QString>
#include <deque>
#include <memory>
#include <optional>

// Moves to a folder on another drive, and undos that bring a file back from
// one, copied on a worker while the window goes on: one at a time, in the
// order asked. Each reports on the window's thread
// when it is done, failed or was cancelled; a cancelled copy leaves nothing
// in the target and the file where it was.
class CopyQueue : public QObject {
    Q_OBJECT
  public:
    struct Job {
        QString path;   // the file, where it is
        QString folder; // where it goes
        int entryNumber = 0;
        QList<int> alsoAt; // the places of other entries of the same file
        int key = 0;       // the N of the Ctrl+N that asked for it
        // An undo: the move it takes back (path is where the file went,
        // folder the one it came from).
        std::optional<SentFile> back;
    };
    struct Outcome {
        Job job;
        moving::Moved moved;  // to empty when it did not move (or come back)
        FileIdentity arrived; // the file as it lies in the folder
        bool cancelled = false;
    };

    ~CopyQueue() override;
    void add(Job job);
    bool busy() const { return running_ || !waiting_.empty(); }
    // The folder of the copy under way, and how far it is, 0–100.
    QString folder() const;
    int percent() const;
    // The newest copy asked for has ended on its worker (or is past the point
    // where it could stop), and its answer has not come yet: too late to stop it.
    bool newestHasEnded() const;
    // The newest copy asked for stops (or never starts); false when it was too
    // late, the move then stands. cancelAll: all of them.
    bool cancelNewest();
    void cancelAll();

  Q_SIGNALS:
    void finished(const CopyQueue::Outcome& outcome);

  private:
    void startNext();
    void done(Outcome outcome);
    struct Running {
        Job job;
        std::shared_ptr<moving::CopyControl> control;
    };
    std::unique_ptr<Running> running_;
    std::deque<Job> waiting_;
};
