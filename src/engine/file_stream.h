#pragma once

#include <mpv/stream_cb.h>

// Files reach mpv through this stream rather than through its own file
// reader. mpv reads a file with plain read calls, and one on a drive that
// stopped answering mid-file never returns; mpv then waits for that read
// before it starts anything else, so the player stays on that file for good.
// Here every open and read runs on a thread of the stream's own, and mpv's
// request to give up (a stop, another file) ends the wait at once: the read
// left behind finishes on its own whenever the drive answers, into the
// stream's own buffer, and then closes the file.
namespace file_stream {

// mpv is handed kProtocol "://" followed by the path's bytes as they are.
inline constexpr const char* kProtocol = "thrennicfile";

// How long an open is waited for before the file counts as failed to load.
// A read is waited for as long as it takes: nothing but mpv's own request
// to give up ends it early, so a slow drive still plays.
inline constexpr int kOpenMs = 2000;

// mpv's open callback for kProtocol (registered with mpv_stream_cb_add_ro).
int open(void* unused, char* uri, mpv_stream_cb_info* info);

} // namespace file_stream
