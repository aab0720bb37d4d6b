#include "engine/mpv_library.h"

#include "platform/runtime_library.h"

namespace {

void lookUp(RuntimeLibrary& library, MpvLibrary& f) {
    library.need("mpv_client_api_version", f.client_api_version);
    library.need("mpv_create", f.create);
    library.need("mpv_set_option_string", f.set_option_string);
    library.need("mpv_initialize", f.initialize);
    library.need("mpv_terminate_destroy", f.terminate_destroy);
    library.need("mpv_error_string", f.error_string);
    library.need("mpv_observe_property", f.observe_property);
    library.need("mpv_set_wakeup_callback", f.set_wakeup_callback);
    library.need("mpv_command", f.command);
    library.need("mpv_command_ret", f.command_ret);
    library.need("mpv_free_node_contents", f.free_node_contents);
    library.need("mpv_set_property", f.set_property);
    library.need("mpv_wait_event", f.wait_event);
    library.need("mpv_stream_cb_add_ro", f.stream_cb_add_ro);
    if (library.error().isEmpty()) {
        if (const unsigned long version = f.client_api_version();
            version >> 16 != MPV_CLIENT_API_VERSION >> 16)
            library.fail(QStringLiteral("%1 speaks client API %2.%3; this program needs %4.x")
                             .arg(library.fileName())
                             .arg(version >> 16)
                             .arg(version & 0xffff)
                             .arg(MPV_CLIENT_API_VERSION >> 16));
    }
}

} // namespace

const MpvLibrary* loadMpvLibrary(QString* error, const char* fileName) {
    return loadOnce(fileName, error, &lookUp);
}
