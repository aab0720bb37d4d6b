#include "recycle/gio_library.h"

#include "platform/runtime_library.h"

#include <string>
#include <unordered_map>

namespace {

struct Loaded {
    GioLibrary functions{};
    QString error; // empty once loaded
};

Loaded load(const char* fileName) {
    Loaded loaded;
    RuntimeLibrary library(fileName);
    GioLibrary& f = loaded.functions;
    library.need("g_file_new_for_path", f.file_new_for_path);
    library.need("g_file_trash", f.file_trash);
    library.need("g_file_delete", f.file_delete);
    library.need("g_object_unref", f.object_unref);
    library.need("g_error_free", f.error_free);
    loaded.error = library.error();
    return loaded;
}

} // namespace

const GioLibrary* loadGioLibrary(QString* error, const char* fileName) {
    // Only the GUI thread sends files to the Trash. The map's nodes never move.
    static std::unordered_map<std::string, Loaded> byName;
    auto it = byName.find(fileName);
    if (it == byName.end())
        it = byName.emplace(fileName, load(fileName)).first;
    if (!it->second.error.isEmpty()) {
        if (error)
            *error = it->second.error;
        return nullptr;
    }
    return &it->second.functions;
}
