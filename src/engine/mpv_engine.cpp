#include "engine/mpv_engine.h"

#include "engine/file_stream.h"
#include "engine/mpv_library.h"
#include "platform/plain_file.h"

#include "platform/disk_call.h"

#include <QFile>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

enum ObservedProperty : uint64_t { Pause = 1, TimePos, Duration, CurrentAo };

struct Observed {
    ObservedProperty id;
    const char* name;
    mpv_format format;
};

constexpr Observed kObserved[] = {
    {Pause, "pause", MPV_FORMAT_FLAG},
    {TimePos, "time-pos", MPV_FORMAT_DOUBLE},
    {Duration, "duration", MPV_FORMAT_DOUBLE},
    {CurrentAo, "current-ao", MPV_FORMAT_STRING},
};

// Audio only; a machine without a sound device still plays, silently, instead
// of failing every file; no user config or key bindings leak in. Nothing
// beside the played file is looked for (subtitles, covers: a read of its whole
// folder on every start), and none of the built-in scripts run (a web-video
// hook asked on every start, a console, an overlay).
constexpr const char* kBaseOptions[][2] = {
    {"vid", "no"},
    {"autoload-files", "no"},
    {"sub-auto", "no"},
    {"cover-art-auto", "no"},
    {"ytdl", "no"},
    {"load-stats-overlay", "no"},
    {"load-osd-console", "no"},
    {"load-auto-profiles", "no"},
    {"audio-display", "no"},
    {"audio-fallback-to-null", "yes"},
    {"input-default-bindings", "no"},
    {"config", "no"},
    {"idle", "yes"},
    {"terminal", "no"},
    {"volume", "50"},
    // The gain of level matching rides on the volume, up to +12 dB at full volume.
    {"volume-max", "400"},
    // Files come through the program's own stream (see openablePath): read as
    // mpv reads a local file, a second ahead, not cached whole as a network one.
    {"cache", "no"},
};

// mpv opens a FIFO, a socket or a device with a blocking open() that its own
// cancellation cannot interrupt, and then stays on that file for good: no
// other file can be started. Anything but a regular file is handed over as an
// empty in-memory stream instead, which fails at once like any file that
// cannot be decoded, so the player moves on.
// A file whose drive does not answer is handed over the same way: mpv would
// wait on it for good. A file is read through a stream of the program's own,
// which a stop or the next file ends even while a read there hangs.
QByteArray openablePath(const QString& path) {
    const QByteArray file = QFile::encodeName(path);
    const std::optional<bool> special =
        disk::call<bool>(path, [file] { return fileKind(file) == FileKind::Other; });
    if (!special || *special)
        return QByteArrayLiteral("memory://");
    return file_stream::kProtocol + QByteArrayLiteral("://") + file;
}

} // namespace

MpvEngine::Started MpvEngine::start(const Options& extra) {
    Started started;
    const MpvLibrary* lib = loadMpvLibrary(&started.error);
    if (!lib)
        return started;
    mpv_handle* mpv = lib->create();
    if (!mpv) {
        started.error = QStringLiteral("libmpv could not be started");
        return started;
    }
    for (const auto& option : kBaseOptions)
        lib->set_option_string(mpv, option[0], option[1]);
    for (const auto& [name, value] : extra) {
        const int rc = lib->set_option_string(mpv, name.constData(), value.constData());
        if (rc < 0) {
            started.error =
                QStringLiteral("libmpv rejected option %1: %2")
                    .arg(QString::fromUtf8(name), QString::fromUtf8(lib->error_string(rc)));
            lib->terminate_destroy(mpv);
            return started;
        }
    }
    int rc = lib->initialize(mpv);
    if (rc >= 0)
        rc = lib->stream_cb_add_ro(mpv, file_stream::kProtocol, nullptr, &file_stream::open);
    if (rc < 0) {
        started.error = QStringLiteral("libmpv could not be initialised: %1")
                            .arg(QString::fromUtf8(lib->error_string(rc)));
        lib->terminate_destroy(mpv);
        return started;
    }
    started.lib_ = lib;
    started.handle_ = mpv;
    for (const auto& [name, value] : extra)
        if (name == "ao" && value == "null")
            started.silentByChoice_ = true;
    return started;
}

MpvEngine::Started::~Started() {
    if (handle_)
        lib_->terminate_destroy(handle_);
}

MpvEngine::Started::Started(Started&& other) noexcept
    : error(std::move(other.error)), lib_(other.lib_),
      handle_(std::exchange(other.handle_, nullptr)), silentByChoice_(other.silentByChoice_) {}

std::unique_ptr<MpvEngine> MpvEngine::adopt(Started&& started) {
    if (!started.handle_)
        return nullptr;
    auto* engine = new MpvEngine(started.lib_, std::exchange(started.handle_, nullptr));
    engine->silentByChoice_ = started.silentByChoice_;
    return std::unique_ptr<MpvEngine>(engine);
}

std::unique_ptr<MpvEngine> MpvEngine::create(const Options& extra, QString* error) {
    Started started = start(extra);
    if (!started.handle_)
        *error = started.error;
    return adopt(std::move(started));
}

MpvEngine::MpvEngine(const MpvLibrary* lib, mpv_handle* mpv) : lib_(lib), mpv_(mpv) {
    for (const Observed& p : kObserved)
        lib_->observe_property(mpv_, p.id, p.name, p.format);
    // Runs on mpv's threads: it may only queue a call, never touch mpv or block.
    lib_->set_wakeup_callback(
        mpv_,
        [](void* self) {
            QMetaObject::invokeMethod(static_cast<MpvEngine*>(self), &MpvEngine::drainEvents,
                                      Qt::QueuedConnection);
        },
        this);
}

MpvEngine::~MpvEngine() {
    lib_->set_wakeup_callback(mpv_, nullptr, nullptr);
    // mpv ends by joining its own threads; one stuck reading a drive that
    // stopped answering would hold the program's exit, so the end is waited
    // for only a moment.
    struct Ending {
        std::mutex mutex;
        std::condition_variable done;
        bool over = false;
    };
    auto ending = std::make_shared<Ending>();
    std::thread([lib = lib_, mpv = mpv_, ending] {
        lib->terminate_destroy(mpv);
        const std::lock_guard lock(ending->mutex);
        ending->over = true;
        ending->done.notify_all();
    }).detach();
    std::unique_lock lock(ending->mutex);
    ending->done.wait_for(lock, std::chrono::seconds(1), [&] { return ending->over; });
}

void MpvEngine::command(std::initializer_list<const char*> args) {
    std::vector<const char*> argv(args);
    argv.push_back(nullptr);
    lib_->command(mpv_, argv.data());
}

AudioEngine::EntryId MpvEngine::loadFile(const QString& path, const char* mode) {
    const QByteArray file = openablePath(path);
    const char* argv[] = {"loadfile", file.constData(), mode, nullptr};
    mpv_node result;
    if (lib_->command_ret(mpv_, argv, &result) < 0)
        return 0;
    EntryId id = 0;
    if (result.format == MPV_FORMAT_NODE_MAP) {
        const mpv_node_list* map = result.u.list;
        for (int i = 0; i < map->num; ++i)
            if (qstrcmp(map->keys[i], "playlist_entry_id") == 0 &&
                map->values[i].format == MPV_FORMAT_INT64)
                id = map->values[i].u.int64;
    }
    lib_->free_node_contents(&result);
    return id;
}

AudioEngine::EntryId MpvEngine::play(const QString& path) {
    // A new file starts playing even if the last one was paused.
    int no = 0;
    lib_->set_property(mpv_, "pause", MPV_FORMAT_FLAG, &no);
    return loadFile(path, "replace");
}

AudioEngine::EntryId MpvEngine::queueNext(const QString& path) {
    // playlist-clear keeps the file that is playing and drops the rest.
    command({"playlist-clear"});
    if (path.isEmpty())
        return 0;
    // append-play: when the current file has already ended (a file that fails
    // to open ends at once) mpv is idle, and the follow-up must start by itself.
    return loadFile(path, "append-play");
}

void MpvEngine::setPaused(bool paused) {
    int flag = paused ? 1 : 0;
    lib_->set_property(mpv_, "pause", MPV_FORMAT_FLAG, &flag);
}

void MpvEngine::stop() {
    command({"stop"});
}

void MpvEngine::seek(double seconds) {
    const QByteArray target = QByteArray::number(seconds, 'f', 3);
    command({"seek", target.constData(), "absolute"});
}

void MpvEngine::setVolume(int percent) {
    volume_ = percent;
    applyVolume();
}

void MpvEngine::setGain(double decibels) {
    gain_ = decibels;
    applyVolume();
}

// mpv's volume scales the sound by the cube of its fraction of 100, so a gain
// of g dB multiplies it by 10^(g/60).
void MpvEngine::applyVolume() {
    double volume = volume_ * std::pow(10.0, gain_ / 60);
    lib_->set_property(mpv_, "volume", MPV_FORMAT_DOUBLE, &volume);
}

void MpvEngine::setMuted(bool muted) {
    int flag = muted ? 1 : 0;
    lib_->set_property(mpv_, "mute", MPV_FORMAT_FLAG, &flag);
}

void MpvEngine::drainEvents() {
    while (true) {
        const mpv_event* event = lib_->wait_event(mpv_, 0);
        if (event->event_id == MPV_EVENT_NONE)
            return;
        handleEvent(*event);
    }
}

void MpvEngine::handleEvent(const mpv_event& event) {
    switch (event.event_id) {
    case MPV_EVENT_START_FILE:
        playingId_ = static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id;
        Q_EMIT entryStarted(playingId_);
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        Q_EMIT playbackStarted(playingId_);
        break;
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        if (end->reason == MPV_END_FILE_REASON_EOF || end->reason == MPV_END_FILE_REASON_ERROR) {
            const bool failed = end->reason == MPV_END_FILE_REASON_ERROR;
            Q_EMIT entryEnded(end->playlist_entry_id, failed,
                              failed ? QString::fromUtf8(lib_->error_string(end->error))
                                     : QString());
        }
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE:
        handlePropertyChange(event);
        break;
    case MPV_EVENT_NONE:
    case MPV_EVENT_SHUTDOWN:
    case MPV_EVENT_LOG_MESSAGE:
    case MPV_EVENT_GET_PROPERTY_REPLY:
    case MPV_EVENT_SET_PROPERTY_REPLY:
    case MPV_EVENT_COMMAND_REPLY:
    case MPV_EVENT_FILE_LOADED:
    case MPV_EVENT_IDLE:
    case MPV_EVENT_TICK:
    case MPV_EVENT_CLIENT_MESSAGE:
    case MPV_EVENT_VIDEO_RECONFIG:
    case MPV_EVENT_AUDIO_RECONFIG:
    case MPV_EVENT_SEEK:
    case MPV_EVENT_QUEUE_OVERFLOW:
    case MPV_EVENT_HOOK:
        break;
    }
}

void MpvEngine::handlePropertyChange(const mpv_event& event) {
    const auto* prop = static_cast<const mpv_event_property*>(event.data);
    if (prop->format == MPV_FORMAT_STRING && event.reply_userdata == CurrentAo) {
        // With no device or server to open, mpv falls back to its null output
        // and plays on in silence; between files there is no output at all (NONE).
        const char* output = *static_cast<char* const*>(prop->data);
        const bool silent = qstrcmp(output, "null") == 0;
        Q_EMIT soundOutputChanged(!silent, !silent ? QString()
                                           : silentByChoice_
                                               ? QStringLiteral("the sound output is switched off")
                                               : QStringLiteral("no sound device or sound server "
                                                                "could be opened"));
    } else if (prop->format == MPV_FORMAT_FLAG) {
        const bool on = *static_cast<const int*>(prop->data) != 0;
        if (event.reply_userdata == Pause)
            Q_EMIT pausedChanged(on);
    } else if (prop->format == MPV_FORMAT_DOUBLE) {
        const double value = *static_cast<const double*>(prop->data);
        if (event.reply_userdata == TimePos)
            Q_EMIT positionChanged(value);
        else if (event.reply_userdata == Duration)
            Q_EMIT durationChanged(value);
    } else if (prop->format == MPV_FORMAT_NONE) {
        // Nothing is loaded (the last file ended, or a stop): no length, and no
        // place in it either, rather than the last place reported.
        if (event.reply_userdata == Duration)
            Q_EMIT durationChanged(0);
        else if (event.reply_userdata == TimePos)
            Q_EMIT positionChanged(0);
    }
}
