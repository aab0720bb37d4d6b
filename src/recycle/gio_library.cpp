#include "recycle/gio_library.h"

#include "platform/runtime_library.h"

namespace {

void lookUp(RuntimeLibrary& library, GioLibrary& f) {
    library.need("g_file_new_for_path", f.file_new_for_path);
    library.need("g_file_trash", f.file_trash);
    library.need("g_file_delete", f.file_delete);
    library.need("g_object_unref", f.object_unref);
    library.need("g_error_free", f.error_free);
}

} // namespace

const GioLibrary* loadGioLibrary(QString* error, const char* fileName) {
    return loadOnce(fileName, error, &lookUp);
}
