#pragma once

#include <QString>
#include <gio/gio.h>

// The GIO functions the Trash needs, looked up at run time rather than linked:
// GIO and the libraries it brings (GObject, libmount, libselinux...) cost
// the window's first appearance a couple of milliseconds, and are not needed
// until the first file goes to the Trash.
struct GioLibrary {
    decltype(&g_file_new_for_path) file_new_for_path;
    decltype(&g_file_trash) file_trash;
    decltype(&g_file_delete) file_delete;
    decltype(&g_object_unref) object_unref;
    decltype(&g_error_free) error_free;
};

inline constexpr const char* kGioLibraryName = "libgio-2.0.so.0";

// Loads GIO once and for the program's life. Gives nullptr and the reason in
// *error when the library is missing or lacks a function.
const GioLibrary* loadGioLibrary(QString* error, const char* fileName = kGioLibraryName);
