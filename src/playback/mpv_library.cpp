#include "playback/mpv_library.h"

#include <QHash>
#include <dlfcn.h>
#include <mutex>

namespace {

struct Loaded {
    MpvLibrary functions{};
    QString error; // empty once loaded
};

template <class Function> bool resolve(void* handle, const char* name, Function& into) {
    into = reinterpret_cast<Function>(::dlsym(handle, name));
    return into != nullptr;
}

Loaded load(const char* fileName) {
    Loaded loaded;
    void* handle = ::dlopen(fileName, RTLD_LAZY | RTLD_LOCAL);
    if (!handle) {
        loaded.error = QStringLiteral("%1 could not be loaded: %2")
                           .arg(QString::fromUtf8(fileName), QString::fromLocal8Bit(::dlerror()));
        return loaded;
    }
    MpvLibrary& f = loaded.functions;
    const char* missing = nullptr;
    auto need = [&](const char* name, auto& into) {
        if (!missing && !resolve(handle, name, into))
            missing = name;
    };
    need("mpv_client_api_version", f.client_api_version);
    need("mpv_create", f.create);
    need("mpv_set_option_string", f.set_option_string);
    need("mpv_initialize", f.initialize);
    need("mpv_terminate_destroy", f.terminate_destroy);
    need("mpv_error_string", f.error_string);
    need("mpv_observe_property", f.observe_property);
    need("mpv_set_wakeup_callback", f.set_wakeup_callback);
    need("mpv_command", f.command);
    need("mpv_command_ret", f.command_ret);
    need("mpv_free_node_contents", f.free_node_contents);
    need("mpv_set_property", f.set_property);
    need("mpv_wait_event", f.wait_event);
    if (missing) {
        loaded.error = QStringLiteral("%1 has no function %2")
                           .arg(QString::fromUtf8(fileName), QString::fromLatin1(missing));
    } else if (const unsigned long version = f.client_api_version();
               version >> 16 != MPV_CLIENT_API_VERSION >> 16) {
        loaded.error = QStringLiteral("%1 speaks client API %2.%3; this program needs %4.x")
                           .arg(QString::fromUtf8(fileName))
                           .arg(version >> 16)
                           .arg(version & 0xffff)
                           .arg(MPV_CLIENT_API_VERSION >> 16);
    }
    // Once opened the library stays: a handle made from it may outlive any caller.
    return loaded;
}

} // namespace

const MpvLibrary* loadMpvLibrary(QString* error, const char* fileName) {
    static std::mutex guard;
    static QHash<QByteArray, Loaded*> byName; // never freed: see above
    const std::lock_guard<std::mutex> lock(guard);
    Loaded*& loaded = byName[QByteArray(fileName)];
    if (!loaded)
        loaded = new Loaded(load(fileName));
    if (!loaded->error.isEmpty()) {
        if (error)
            *error = loaded->error;
        return nullptr;
    }
    return &loaded->functions;
}
