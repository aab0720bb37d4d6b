#pragma once

#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// File-system calls that may hang on a drive that stopped answering (a network
// share, a pulled USB disk, a FUSE mount) run on a thread of their own, and
// the window waits for them a bounded time. A call that has not come back by
// then is left behind, never waited for again: until it returns, every other
// call on a path in the same folder gives up at once, so a dead drive costs one
// wait and one stuck thread per folder, not one per look. Such a thread never
// holds the program's exit.
namespace disk {

// How long a look at one file (a stat, a folder's name) is waited for.
inline constexpr int kLookMs = 250;
// How long a move (to the Trash, back from it) is waited for.
inline constexpr int kMoveMs = 1500;
// How long a folder that gives no answer at all is waited for before its drive
// is taken for one that stopped answering: a drive that is only slow, or busy
// with other looks, says something sooner.
inline constexpr int kSilentMs = 2000;

// False while a call on a path of this folder hangs.
bool answering(const QString& path);
// The drive of path answered after all (a walk of a folder there came back):
// the folders above it are no longer taken for hung, though a call left behind
// on one of them has not come back yet.
void answered(const QString& path);

namespace detail {
// Marks the path's folder as not answering until done() of the returned
// ticket runs; both are thread-safe.
std::function<void()> markHung(const QString& path);
void runDetached(std::function<void()> work);
} // namespace detail

// The result of work, run on another thread, or nothing when it did not come
// back within ms (or the path's folder is known not to answer). A call given
// up on that comes back after all hands its result to late, on its own
// thread: a move the window stopped waiting for may still have happened.
template <class Result>
std::optional<Result> call(const QString& path, std::function<Result()> work, int ms = kLookMs,
                           std::function<void(Result)> late = {}) {
    if (!answering(path))
        return std::nullopt;
    struct Slot {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<Result> result;
        std::function<void()> unmark; // set when the caller gave up
    };
    auto slot = std::make_shared<Slot>();
    detail::runDetached([slot, work = std::move(work), late = std::move(late)] {
        Result result = work();
        std::function<void()> unmark;
        {
            const std::lock_guard lock(slot->mutex);
            unmark = std::move(slot->unmark);
            if (!unmark)
                slot->result = std::move(result);
        }
        slot->done.notify_all();
        if (!unmark)
            return;
        unmark();
        if (late)
            late(std::move(result));
    });
    std::unique_lock lock(slot->mutex);
    if (slot->done.wait_for(lock, std::chrono::milliseconds(ms),
                            [&] { return slot->result.has_value(); }))
        return std::move(slot->result);
    slot->unmark = detail::markHung(path);
    return std::nullopt;
}

} // namespace disk
