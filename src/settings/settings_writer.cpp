#include "settings/settings_writer.h"

#include "platform/behind_playback.h"
#include "platform/failure.h"
#include "platform/leftovers.h"
#include "platform/plain_file.h"
#include "settings/settings_keys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSettings>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// How long a save waits for another copy of the program to finish its own.
constexpr int kLockWaitMs = 300;
// How long the writer's end waits for a save under way.
constexpr auto kLastSaveWait = std::chrono::milliseconds(1500);
// What a writer that still gets work done uses of a core in a wait at the
// least; one stuck in the kernel on a drive that stopped answering uses none.
constexpr qint64 kSignOfLifeNs = 1'000'000;
// However busy the writer stays, the window waits no longer than this.
constexpr int kLongestWaitMs = 60'000;

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// QSettings' save takes "<file>.lock" and waits for it without end: a lock left
// by a copy killed mid-save, an empty one, or a folder of that name would stop
// saving for good. So the lock is looked at first: free or soon free, it is
// released again at once for the save to take; left by a process that is gone,
// or left empty, it is taken over; anything else fails the save with the
// reason, and the old file stays whole.
void makeLockFree(const QString& file) {
    const QString lockPath = file + QStringLiteral(".lock");
    if (!QFileInfo(QFileInfo(file).absolutePath()).isDir())
        return; // no folder yet: no lock to wait for
    if (standsInTheWay(lockPath))
        throw Failure(QStringLiteral("The settings could not be saved: a %1 stands where "
                                     "its lock file %2 belongs")
                          .arg(QFileInfo(lockPath).isDir() ? QStringLiteral("folder")
                                                           : QStringLiteral("special file"),
                               lockPath));
    QLockFile lock(lockPath);
    // Age alone never makes a lock stale here: only a gone owner or no owner does.
    lock.setStaleLockTime(0);
    if (lock.tryLock(kLockWaitMs)) {
        lock.unlock();
        return;
    }
    qint64 pid = 0;
    QString host, app;
    if (lock.getLockInfo(&pid, &host, &app))
        throw Failure(QStringLiteral("The settings could not be saved: %1 is held by process %2 "
                                     "(%3) on %4")
                          .arg(lockPath)
                          .arg(pid)
                          .arg(app, host));
    // An owner that never wrote its name: it died between making the file and writing it.
    if (QFile::remove(lockPath) && lock.tryLock(0)) {
        lock.unlock();
        return;
    }
    throw Failure(QStringLiteral("The settings could not be saved: the lock file %1 cannot be "
                                 "removed")
                      .arg(lockPath));
}

// Writes the file whole under a temporary name beside it, syncs it and renames
// it over the old one, as QSaveFile does: the old file stays until the new one
// is complete on disk. Keeps the old file's permissions.
QString replaceWhole(const QString& path, const QByteArray& bytes) {
    const QByteArray file = QFile::encodeName(path);
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        // Named with this process, so that one a kill left is known for a leftover.
        temporary = QFile::encodeName(
            QFileInfo(path).absolutePath() + QLatin1Char('/') +
            leftovers::temporaryName(QFileInfo(path).fileName() + QLatin1Char('.') +
                                     QString::number(QRandomGenerator::global()->generate(), 36)));
        // Made as QSaveFile makes it: the umask decides who may read a new file.
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return QStringLiteral("The settings could not be saved to %1: %2")
            .arg(path, systemError(errno));
    struct stat old {};
    if (::stat(file.constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);
    bool ok = true;
    for (qsizetype written = 0; ok && written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        written += n > 0 ? n : 0;
    }
    int error = ok ? 0 : errno;
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        error = errno;
    }
    ::close(fd);
    if (ok && ::rename(temporary.constData(), file.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        return QStringLiteral("The settings could not be saved to %1: %2")
            .arg(path, systemError(error));
    }
    // The rename itself is on disk once the folder is.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

// The file holds what only QSettings reads faithfully: it saves, as before.
QString saveThroughQSettings(const QString& path, const SettingsWrites& writes,
                             const SettingsWrites& options) {
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(QLatin1String(settings_keys::kSection));
    for (const auto& [key, value] : writes)
        settings.setValue(key, value);
    settings.endGroup();
    settings.beginGroup(QLatin1String(settings_keys::kOptionsSection));
    for (const auto& [key, value] : options)
        settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
    // QSettings can report success without having written anything (a folder
    // where the file belongs), so the file itself is checked too. Only a
    // failure to write counts: a format complaint about what was read (a
    // byte-order mark, say) stays in status() although the save went through.
    if (settings.status() == QSettings::AccessError || !QFileInfo(path).isFile())
        return QStringLiteral("The settings could not be saved to %1").arg(path);
    return {};
}

// The thread is runnable, not asleep in a lock or the kernel: /proc's state "R".
bool waitsForACore(pid_t thread) {
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(thread));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype afterName = line.lastIndexOf(')'); // the name may hold spaces
    return afterName > 0 && line.mid(afterName + 2, 1) == "R";
}

} // namespace

QString saveSettingsFile(const SettingsWriter::Save& job) {
    try {
        const QString& path = job.path;
        if (job.putDamagedAside && QFileInfo(path).isFile()) {
            const QString aside = path + QStringLiteral(".damaged");
            QFile::remove(aside);
            QFile::rename(path, aside);
        }
        if (standsInTheWay(path))
            return QStringLiteral("The settings could not be saved: %1 is not a plain file")
                .arg(path);
        makeLockFree(path);
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
            return QStringLiteral("The settings could not be saved to %1").arg(path);
        QLockFile lock(path + QStringLiteral(".lock"));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(kLockWaitMs))
            return QStringLiteral("The settings could not be saved: %1.lock is held by another "
                                  "copy of the program")
                .arg(path);
        QByteArray bytes;
        if (QFileInfo::exists(path)) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                return QStringLiteral("The settings could not be saved: %1 cannot be read")
                    .arg(path);
            bytes = file.readAll();
        }
        const SettingsWrites writes = withNumbered(job.writes, job.numbered);
        std::optional<QByteArray> merged =
            mergedIniFile(bytes, QLatin1String(settings_keys::kSection),
                          QLatin1String(settings_keys::kSongPrefix), writes);
        if (merged && !job.options.isEmpty())
            merged = mergedIniFile(*merged, QLatin1String(settings_keys::kOptionsSection),
                                   QLatin1String(settings_keys::kSongPrefix), job.options);
        if (!merged) {
            lock.unlock(); // QSettings takes it itself
            return saveThroughQSettings(path, writes, job.options);
        }
        return replaceWhole(path, *merged);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
}

struct SettingsWriter::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Save> queued;
    bool writing = false;
    bool stopping = false;
    bool started = false;
    bool ended = false;
    std::optional<clockid_t> writerClock; // the processor time the writer's thread has used
    pid_t writerThread = 0;               // its thread id, for its state
    quint64 asked = 0, done = 0;
    QObject* here = nullptr; // cleared before it goes, under the mutex
    std::vector<std::pair<std::function<void(const QString&)>, QString>> failures;

    // Tells the failures so far, on the writer's own thread.
    void tell() {
        std::vector<std::pair<std::function<void(const QString&)>, QString>> told;
        {
            const std::lock_guard lock(mutex);
            told.swap(failures);
        }
        for (const auto& [onFailure, why] : told)
            onFailure(why);
    }
};

namespace {

// Saves that piled up go to disk as one: every write in order (the later of
// equal keys wins), told to the newest save that wants to hear of a failure.
SettingsWriter::Save asOne(std::vector<SettingsWriter::Save>& saves) {
    SettingsWriter::Save one = std::move(saves.back());
    if (saves.size() > 1) {
        SettingsWrites writes, options;
        NumberedWrites numbered;
        for (SettingsWriter::Save& save : saves) {
            one.putDamagedAside = one.putDamagedAside || save.putDamagedAside;
            if (!one.onFailure && save.onFailure)
                one.onFailure = save.onFailure;
            writes += save.writes;
            numbered.insert(numbered.end(), save.numbered.begin(), save.numbered.end());
            options += save.options;
        }
        writes += one.writes;
        numbered.insert(numbered.end(), one.numbered.begin(), one.numbered.end());
        options += one.options;
        one.writes = std::move(writes);
        one.numbered = std::move(numbered);
        one.options = std::move(options);
    }
    return one;
}

void writeAsAsked(const std::shared_ptr<SettingsWriter::State>& state) {
    // A long list's save takes a core and the disk for a while.
    yieldToPlayback();
    if (clockid_t clock; ::pthread_getcpuclockid(::pthread_self(), &clock) == 0) {
        const std::lock_guard lock(state->mutex);
        state->writerClock = clock;
        state->writerThread = pid_t(::syscall(SYS_gettid));
    }
    for (;;) {
        std::vector<SettingsWriter::Save> batch;
        {
            std::unique_lock lock(state->mutex);
            state->changed.wait(lock, [&] { return !state->queued.empty() || state->stopping; });
            if (state->queued.empty()) {
                state->ended = true;
                state->changed.notify_all();
                return;
            }
            batch.swap(state->queued);
            state->writing = true;
        }
        const size_t count = batch.size();
        SettingsWriter::Save one = asOne(batch);
        const QString why = saveSettingsFile(one);
        const std::lock_guard lock(state->mutex);
        state->writing = false;
        state->done += count;
        if (!why.isEmpty() && one.onFailure) {
            state->failures.emplace_back(std::move(one.onFailure), why);
            if (state->here)
                QMetaObject::invokeMethod(
                    state->here,
                    [weak = std::weak_ptr(state)] {
                        if (const auto alive = weak.lock())
                            alive->tell();
                    },
                    Qt::QueuedConnection);
        }
        state->changed.notify_all();
    }
}

} // namespace

SettingsWriter::SettingsWriter() : state_(std::make_shared<State>()), here_(new QObject) {
    state_->here = here_.get();
}

SettingsWriter::~SettingsWriter() {
    std::unique_lock lock(state_->mutex);
    state_->here = nullptr;
    state_->stopping = true;
    state_->changed.notify_all();
    if (!state_->started)
        return;
    // The last saves land, unless the drive they go to does not answer.
    state_->changed.wait_for(lock, kLastSaveWait, [&] { return state_->ended; });
}

void SettingsWriter::save(Save job) {
    const std::lock_guard lock(state_->mutex);
    state_->queued.push_back(std::move(job));
    ++state_->asked;
    if (!state_->started) {
        state_->started = true;
        // Detached: a thread stuck in the kernel on a dead drive must not hold the exit.
        std::thread(writeAsAsked, state_).detach();
    }
    state_->changed.notify_all();
}

bool SettingsWriter::waitForSaves(int ms) {
    bool landed;
    {
        std::unique_lock lock(state_->mutex);
        const auto done = [&] { return state_->done == state_->asked; };
        // Nanoseconds of a core the writer has used; a thread that has gone uses no more.
        const auto worked = [&]() -> qint64 {
            timespec used{};
            if (!state_->writerClock || ::clock_gettime(*state_->writerClock, &used) != 0)
                return 0;
            return qint64(used.tv_sec) * 1'000'000'000 + used.tv_nsec;
        };
        if (ms < 0) {
            state_->changed.wait(lock, done);
        } else {
            // A long list's save on a busy machine is slow, not stuck: it is
            // waited for while it gets work done in each wait.
            qint64 before = worked();
            for (int waited = 0;
                 !state_->changed.wait_for(lock, std::chrono::milliseconds(ms), done) &&
                 (waited += ms) < kLongestWaitMs;) {
                const qint64 now = worked();
                // A writer not yet running, or waiting for a core (a busy
                // machine gives one behind playback little), has not got stuck.
                if (state_->writerClock && now - before < kSignOfLifeNs &&
                    !waitsForACore(state_->writerThread))
                    break;
                before = now;
            }
        }
        landed = done();
    }
    state_->tell();
    return landed;
}
