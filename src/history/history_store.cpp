#include "history/history_store.h"

#include "platform/behind_playback.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

// How long the store's end waits for the records asked so far.
constexpr auto kLastWritesWait = std::chrono::milliseconds(1500);

} // namespace

struct HistoryStore::State {
    // Runs on the store's thread with the database, or with none when it cannot
    // be used: then a question is answered with nothing found.
    using Job = std::function<history::Trouble(history::Database*)>;

    QString path;
    std::function<void(const QString&)> onTrouble;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> queued;
    bool stopping = false;
    bool ended = false;
    quint64 asked = 0, done = 0;
    QObject* here = nullptr; // cleared before it goes, under the mutex

    // Runs on the thread that made the store, unless the store is gone by then.
    void tell(std::function<void()> run) {
        const std::lock_guard lock(mutex);
        if (here)
            QMetaObject::invokeMethod(here, std::move(run), Qt::QueuedConnection);
    }
};

namespace {

using State = HistoryStore::State;

// The thread's life: open the file, then run what is asked in batches, each
// batch one transaction. A file that cannot be opened for now (locked, a
// drive that is full or read-only) is tried again with the next batch; one
// that must not be written (damaged, newer) never is.
void keepHistory(const std::shared_ptr<State> state) {
    yieldToPlayback();
    std::unique_ptr<history::Database> db;
    bool lastingTrouble = false, told = false;
    const auto report = [&](const history::Trouble& trouble) {
        if (trouble.why.isEmpty() || told)
            return;
        told = true;
        state->tell([state, why = trouble.why] {
            if (state->onTrouble)
                state->onTrouble(why);
        });
    };
    for (;;) {
        std::deque<State::Job> batch;
        {
            std::unique_lock lock(state->mutex);
            state->changed.wait(lock, [&] { return !state->queued.empty() || state->stopping; });
            batch.swap(state->queued);
        }
        if (batch.empty()) {
            // Closed before the end is told: closing a WAL file writes to it.
            db.reset();
            const std::lock_guard lock(state->mutex);
            state->ended = true;
            state->changed.notify_all();
            return;
        }
        if (!db && !lastingTrouble) {
            history::Trouble trouble;
            db = history::Database::open(state->path, trouble);
            lastingTrouble = trouble.lasting;
            report(trouble);
        }
        if (db) {
            history::Trouble trouble = db->begin();
            for (const State::Job& job : batch)
                if (trouble.why.isEmpty())
                    trouble = job(db.get());
            if (trouble.why.isEmpty())
                trouble = db->commit();
            else
                db->rollback();
            report(trouble);
        } else {
            for (const State::Job& job : batch)
                job(nullptr);
        }
        const std::lock_guard lock(state->mutex);
        state->done += batch.size();
        state->changed.notify_all();
    }
}

} // namespace

HistoryStore::HistoryStore(const QString& path, std::function<void(const QString& why)> onTrouble)
    : state_(std::make_shared<State>()), here_(new QObject) {
    state_->path = path;
    state_->onTrouble = std::move(onTrouble);
    state_->here = here_.get();
    std::thread(keepHistory, state_).detach();
}

HistoryStore::~HistoryStore() {
    std::unique_lock lock(state_->mutex);
    state_->here = nullptr;
    state_->stopping = true;
    state_->changed.notify_all();
    // The last records land, unless the drive they go to does not answer.
    state_->changed.wait_for(lock, kLastWritesWait, [&] { return state_->ended; });
}

namespace {

void ask(State& state, State::Job job) {
    const std::lock_guard lock(state.mutex);
    state.queued.push_back(std::move(job));
    ++state.asked;
    state.changed.notify_all();
}

} // namespace

void HistoryStore::record(history::Decision decision) {
    ask(*state_, [decision = std::move(decision)](history::Database* db) {
        return db ? db->record(decision) : history::Trouble{};
    });
}

void HistoryStore::close(const QString& key, const QString& how) {
    ask(*state_, [key, how](history::Database* db) {
        return db ? db->close(key, how) : history::Trouble{};
    });
}

void HistoryStore::heard(history::Heard heard) {
    ask(*state_, [heard = std::move(heard)](history::Database* db) {
        return db ? db->heard(heard) : history::Trouble{};
    });
}

namespace {

// A question: asked on the store's thread, answered on the window's.
template <class Result>
void askFor(const std::shared_ptr<State>& state,
            std::function<Result(history::Database&, history::Trouble&)> question,
            std::function<void(Result)> then) {
    ask(*state, [weak = std::weak_ptr(state), question = std::move(question),
                 then = std::move(then)](history::Database* db) {
        history::Trouble trouble;
        Result found{};
        if (db)
            found = question(*db, trouble);
        if (const auto alive = weak.lock())
            alive->tell([then, found = std::move(found)] { then(found); });
        return trouble;
    });
}

} // namespace

void HistoryStore::openDecisions(int limit,
                                 std::function<void(std::vector<history::Decision>)> then) {
    askFor<std::vector<history::Decision>>(
        state_,
        [limit](history::Database& db, history::Trouble& trouble) {
            return db.openDecisions(limit, trouble);
        },
        std::move(then));
}

void HistoryStore::heardOf(QStringList paths,
                           std::function<void(QHash<QString, history::Heard>)> then) {
    askFor<QHash<QString, history::Heard>>(
        state_,
        [paths = std::move(paths)](history::Database& db, history::Trouble& trouble) {
            return db.heardOf(paths, trouble);
        },
        std::move(then));
}

void HistoryStore::sentFrom(QSet<QString> folders,
                            std::function<void(history::Database::SentCounts)> then) {
    askFor<history::Database::SentCounts>(
        state_,
        [folders = std::move(folders)](history::Database& db, history::Trouble& trouble) {
            return db.sentFrom(folders, trouble);
        },
        std::move(then));
}

bool HistoryStore::waitForWrites(int ms) {
    std::unique_lock lock(state_->mutex);
    const quint64 asked = state_->asked;
    return state_->changed.wait_for(lock, std::chrono::milliseconds(ms),
                                    [&] { return state_->done >= asked; });
}
