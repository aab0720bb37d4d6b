#pragma once

#include <QString>
#include <mpv/client.h>
#include <mpv/stream_cb.h>

// The libmpv functions the engine uses, looked up at run time rather than
// linked: loading libmpv pulls in a couple of hundred libraries, which would
// hold up the window's first appearance if the dynamic linker did it at start.
struct MpvLibrary {
    decltype(&mpv_client_api_version) client_api_version;
    decltype(&mpv_create) create;
    decltype(&mpv_set_option_string) set_option_string;
    decltype(&mpv_initialize) initialize;
    decltype(&mpv_terminate_destroy) terminate_destroy;
    decltype(&mpv_error_string) error_string;
    decltype(&mpv_observe_property) observe_property;
    decltype(&mpv_set_wakeup_callback) set_wakeup_callback;
    decltype(&mpv_command) command;
    decltype(&mpv_command_ret) command_ret;
    decltype(&mpv_free_node_contents) free_node_contents;
    decltype(&mpv_set_property) set_property;
    decltype(&mpv_wait_event) wait_event;
    decltype(&mpv_stream_cb_add_ro) stream_cb_add_ro;
};

inline constexpr const char* kMpvLibraryName = "libmpv.so.2";

// Loads libmpv once and for the program's life; safe from any thread. Gives
// nullptr and the reason in *error when the library is missing, lacks a
// function or speaks another major version of the client API.
const MpvLibrary* loadMpvLibrary(QString* error, const char* fileName = kMpvLibraryName);
