#include "recycle/copy_queue.h"

#include <QCoreApplication>
#include <QPointer>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

// A copy gives way to the window: on a busy machine a gigabyte's worth of
// writes would otherwise take the core the window needs to answer.
constexpr int kCopyNice = 10;

} // namespace

CopyQueue::~CopyQueue() {
    // A copy still running is told to stop; its worker removes the partial copy.
    if (running_)
        running_->control->cancel();
}

void CopyQueue::add(Job job) {
    waiting_.push_back(std::move(job));
    if (!running_)
        startNext();
}

QString CopyQueue::folder() const {
    if (running_)
        return running_->job.folder;
    return waiting_.empty() ? QString() : waiting_.front().folder;
}

int CopyQueue::percent() const {
    if (!running_)
        return 0;
    const qint64 total = running_->control->total, copied = running_->control->copied;
    return total > 0 ? int(copied * 100 / total) : 0;
}

bool CopyQueue::newestHasEnded() const {
    return waiting_.empty() && running_ &&
           (running_->control->ended || running_->control->pastCancelling());
}

bool CopyQueue::cancelNewest() {
    if (!waiting_.empty()) {
        Outcome never{waiting_.back(), {}, {}, true};
        waiting_.pop_back();
        Q_EMIT finished(never);
        return true;
    }
    return running_ && running_->control->cancel();
}

void CopyQueue::cancelAll() {
    while (!waiting_.empty())
        cancelNewest();
    cancelNewest();
}

void CopyQueue::startNext() {
    if (waiting_.empty())
        return;
    running_ = std::make_unique<Running>(Running{waiting_.front(), {}});
    running_->control = std::make_shared<moving::CopyControl>();
    waiting_.pop_front();
    // The worker owns its job and its control; the answer comes back by a
    // queued call, to a queue that is still there.
    std::thread([job = running_->job, control = running_->control,
                 queue = QPointer<CopyQueue>(this)] {
        ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), kCopyNice);
        Outcome outcome{job, {}, {}, false};
        if (job.back) {
            const QString why = bringBack(*job.back, control.get());
            outcome.moved =
                why.isEmpty() ? moving::Moved{job.back->originalPath, {}} : moving::Moved{{}, why};
        } else {
            outcome.moved = moving::moveInto(job.path, job.folder, control.get());
        }
        if (!outcome.moved.to.isEmpty())
            outcome.arrived = identityNow(outcome.moved.to);
        outcome.cancelled = outcome.moved.to.isEmpty() && control->cancelled;
        control->ended = true;
        QMetaObject::invokeMethod(qApp, [queue, outcome] {
            if (queue)
                queue->done(outcome);
        });
    }).detach();
}

void CopyQueue::done(Outcome outcome) {
    running_.reset();
    Q_EMIT finished(outcome);
    startNext();
}
