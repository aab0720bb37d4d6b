#include "engine/file_stream.h"

#include <mpv/client.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace file_stream {

namespace {

// Reads are asked for one at a time; a read may hand back less than asked.
constexpr size_t kLargestRead = 1 << 20;

// Shared by mpv's side (the callbacks, on mpv's threads) and the stream's
// reader thread, which alone touches the file and the buffer while a read is
// out.
struct Stream {
    std::mutex mutex;
    std::condition_variable changed;
    bool opened = false; // the open came back (fd < 0: it failed)
    int fd = -1;
    int64_t size = -1;
    int64_t position = 0; // where mpv reads next
    // The read asked of the reader thread, and its answer.
    bool asked = false;
    size_t wanted = 0;
    int64_t from = 0;
    bool answered = false;
    int64_t got = 0;
    std::vector<char> buffer;
    bool cancelled = false; // every read from now on fails at once
    bool closed = false;    // mpv is done with the stream
};

using StreamRef = std::shared_ptr<Stream>;

// The reader thread: opens the file, then reads what is asked until mpv is
// done with the stream. Whatever hangs here holds nothing but this thread.
void serve(const StreamRef& stream, const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    const int64_t size = fd >= 0 && ::fstat(fd, &info) == 0 ? int64_t(info.st_size) : -1;
    std::unique_lock lock(stream->mutex);
    stream->fd = fd;
    stream->size = size;
    stream->opened = true;
    stream->changed.notify_all();
    if (fd < 0)
        return;
    int64_t at = 0; // the file's own offset
    while (true) {
        stream->changed.wait(lock, [&] { return stream->asked || stream->closed; });
        if (stream->closed)
            break;
        stream->asked = false;
        const size_t wanted = stream->wanted;
        const int64_t from = stream->from;
        char* into = stream->buffer.data();
        lock.unlock();
        ssize_t got = 0;
        if (from != at && ::lseek(fd, from, SEEK_SET) != from)
            got = -1;
        else
            do
                got = ::read(fd, into, wanted);
            while (got < 0 && errno == EINTR);
        at = got >= 0 ? from + got : -1;
        lock.lock();
        stream->got = got;
        stream->answered = true;
        stream->changed.notify_all();
    }
    lock.unlock();
    ::close(fd);
}

// mpv may still call cancel after close, from another thread: it triggers
// the stream's cancel while it tears the stream down. So the cookie mpv holds
// is a number, never a pointer, and each callback looks its stream up here; a
// stream closed is gone from the table, and a late call finds nothing to do.
class OpenStreams {
  public:
    void* add(StreamRef stream) {
        const std::lock_guard lock(mutex_);
        const uint64_t key = ++lastKey_;
        streams_.emplace(key, std::move(stream));
        return reinterpret_cast<void*>(uintptr_t(key));
    }
    StreamRef find(void* cookie) {
        const std::lock_guard lock(mutex_);
        const auto it = streams_.find(keyOf(cookie));
        return it == streams_.end() ? nullptr : it->second;
    }
    StreamRef take(void* cookie) {
        const std::lock_guard lock(mutex_);
        const auto it = streams_.find(keyOf(cookie));
        if (it == streams_.end())
            return nullptr;
        StreamRef stream = std::move(it->second);
        streams_.erase(it);
        return stream;
    }

  private:
    static uint64_t keyOf(void* cookie) { return uint64_t(reinterpret_cast<uintptr_t>(cookie)); }
    std::mutex mutex_;
    uint64_t lastKey_ = 0; // 64 bits: never wraps, so a key is never used twice
    std::unordered_map<uint64_t, StreamRef> streams_;
};

OpenStreams& openStreams() {
    // Never destroyed: a callback may come while the program exits.
    static auto* streams = new OpenStreams;
    return *streams;
}

int64_t read(void* cookie, char* into, uint64_t nbytes) {
    const StreamRef ref = openStreams().find(cookie);
    if (!ref)
        return -1;
    Stream& stream = *ref;
    std::unique_lock lock(stream.mutex);
    if (stream.cancelled)
        return -1;
    stream.wanted = size_t(std::min<uint64_t>(nbytes, kLargestRead));
    stream.buffer.resize(stream.wanted);
    stream.from = stream.position;
    stream.answered = false;
    stream.asked = true;
    stream.changed.notify_all();
    stream.changed.wait(lock, [&] { return stream.answered || stream.cancelled; });
    // Given up on: the read still out owns the buffer until it comes back.
    if (!stream.answered)
        return -1;
    if (stream.got > 0) {
        std::memcpy(into, stream.buffer.data(), size_t(stream.got));
        stream.position += stream.got;
    }
    return stream.got;
}

int64_t seek(void* cookie, int64_t offset) {
    const StreamRef ref = openStreams().find(cookie);
    if (!ref)
        return MPV_ERROR_GENERIC;
    Stream& stream = *ref;
    const std::lock_guard lock(stream.mutex);
    if (stream.cancelled || offset < 0)
        return MPV_ERROR_GENERIC;
    stream.position = offset;
    return offset;
}

int64_t size(void* cookie) {
    const StreamRef ref = openStreams().find(cookie);
    if (!ref)
        return MPV_ERROR_UNSUPPORTED;
    Stream& stream = *ref;
    const std::lock_guard lock(stream.mutex);
    return stream.size >= 0 ? stream.size : int64_t(MPV_ERROR_UNSUPPORTED);
}

void cancel(void* cookie) {
    const StreamRef ref = openStreams().find(cookie);
    if (!ref)
        return;
    Stream& stream = *ref;
    const std::lock_guard lock(stream.mutex);
    stream.cancelled = true;
    stream.changed.notify_all();
}

void finish(const StreamRef& stream) {
    const std::lock_guard lock(stream->mutex);
    stream->closed = true;
    stream->changed.notify_all();
}

void close(void* cookie) {
    if (const StreamRef stream = openStreams().take(cookie))
        finish(stream);
}

} // namespace

int open(void* /*unused*/, char* uri, mpv_stream_cb_info* info) {
    const std::string prefix = std::string(kProtocol) + "://";
    if (std::strncmp(uri, prefix.c_str(), prefix.size()) != 0)
        return MPV_ERROR_LOADING_FAILED;
    auto stream = std::make_shared<Stream>();
    std::thread(serve, stream, std::string(uri + prefix.size())).detach();
    std::unique_lock lock(stream->mutex);
    if (!stream->changed.wait_for(lock, std::chrono::milliseconds(kOpenMs),
                                  [&] { return stream->opened; }) ||
        stream->fd < 0) {
        // An open still out closes what it opens as soon as it comes back.
        lock.unlock();
        finish(stream);
        return MPV_ERROR_LOADING_FAILED;
    }
    lock.unlock();
    info->cookie = openStreams().add(std::move(stream));
    info->read_fn = &read;
    info->seek_fn = &seek;
    info->size_fn = &size;
    info->close_fn = &close;
    info->cancel_fn = &cancel;
    return 0;
}

} // namespace file_stream
