#pragma once

#include <QString>
#include <atomic>

// Moving a file to another folder without ever replacing anything. Within one
// file system the file is renamed (renameat2 with RENAME_NOREPLACE); across
// two it is copied to a temporary name in the target, synced, checked for its
// size, renamed into place without replacing, and only then is the source
// removed. A symbolic link moves as the link itself. Any failure leaves the
// source where it was and removes the copy.
namespace moving {

// A copy to another drive as a worker runs it: how far it is, and whether
// the window asked it to stop (the partial copy is then removed, ECANCELED).
struct CopyControl {
    std::atomic<qint64> copied{0}, total{0};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> ended{false}; // the worker is done; its answer is on its way
    // A cancel and the copy's point of no return (the whole copy is on disk and
    // goes in place) exclude each other: whichever comes first holds.
    // cancel() is false when the copy was past it; the move then stands.
    bool cancel() {
        int open = kOpen;
        if (fate_.compare_exchange_strong(open, kCancelled) || open == kCancelled) {
            cancelled = true;
            return true;
        }
        return false;
    }
    bool pastCancelling() const { return fate_ == kCommitted; }
    bool commit() { // false once cancelled
        int open = kOpen;
        return fate_.compare_exchange_strong(open, kCommitted);
    }

  private:
    static constexpr int kOpen = 0, kCancelled = 1, kCommitted = 2;
    std::atomic<int> fate_{kOpen};
};

// Moves from to the path to: 0, or the errno of what failed (EEXIST when to
// is taken).
int moveNoReplace(const QString& from, const QString& to, CopyControl* control = nullptr);

// Whether the file at path (a link itself, not what it points at) and the
// folder are both there, on two drives: a move between them is a copy. A file
// or folder that is gone is no copy's business; the move says why at once.
bool acrossDrives(const QString& path, const QString& folder);

// "take 3.wav" as the n-th free name: "take 3.wav", "take 3 (2).wav", …
QString numberedName(const QString& name, int n);

struct Moved {
    QString to;              // where the file is now; empty when it did not move
    QString failure;         // what failed, in plain words; empty when it moved
    bool folderGone = false; // the target folder is not there (any more)
};

// Moves the file at path into folder, under its own name or the first free
// numbered one.
Moved moveInto(const QString& path, const QString& folder, CopyControl* control = nullptr);

// The words for a failed move's errno: "the folder is read-only", …
QString failureWords(int error);

} // namespace moving
