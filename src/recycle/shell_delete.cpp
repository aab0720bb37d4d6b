#include "recycle/shell_delete.h"

#include "platform/dialogs.h"
#include "platform/product.h"

#include "recycle/gio_library.h"

#include <QFile>
#include <functional>
#include <memory>

namespace {

QString failureText(const QString& what, const QString& path, const QString& reason) {
    return QStringLiteral("%1 \"%2\":\r\n%3").arg(what, path, reason);
}

QString takeError(GError* error, const GioLibrary& gio) {
    const QString reason = QString::fromUtf8(error->message);
    gio.error_free(error);
    return reason;
}

using GFileRef = std::unique_ptr<GFile, std::function<void(GFile*)>>;

GFileRef gioFile(const GioLibrary& gio, const QString& path) {
    const QByteArray local = QFile::encodeName(path);
    return GFileRef(gio.file_new_for_path(local.constData()),
                    [&gio](GFile* file) { gio.object_unref(file); });
}

} // namespace

QString trashFailure(const QString& path, const char* gioLibraryName) {
    const QString what = QStringLiteral("Could not move to the Trash");
    QString unloaded;
    const GioLibrary* gio = loadGioLibrary(&unloaded, gioLibraryName);
    // Nothing is deleted for good without the library that could move it to the Trash.
    if (!gio)
        return failureText(what, path, unloaded);
    const GFileRef file = gioFile(*gio, path);
    GError* error = nullptr;
    if (gio->file_trash(file.get(), nullptr, &error))
        return {};
    return failureText(what, path, takeError(error, *gio));
}

bool ShellDelete(const QString& path, int mode, Dialogs& dialogs, const char* gioLibraryName) {
    if (mode == 1) {
        const QString failure = trashFailure(path, gioLibraryName);
        if (!failure.isEmpty())
            dialogs.showMessage(failure, kProductName, MessageIcon::Warning);
        return failure.isEmpty();
    }
    const QString what = QStringLiteral("Could not delete");
    QString unloaded;
    const GioLibrary* gio = loadGioLibrary(&unloaded, gioLibraryName);
    if (!gio) {
        dialogs.showMessage(failureText(what, path, unloaded), kProductName, MessageIcon::Warning);
        return false;
    }
    if (!dialogs.askYesNo(
            QStringLiteral("Are you sure you want to permanently delete \"%1\"?").arg(path),
            kProductName))
        return false;
    const GFileRef file = gioFile(*gio, path);
    GError* error = nullptr;
    if (gio->file_delete(file.get(), nullptr, &error))
        return true;
    dialogs.showMessage(failureText(what, path, takeError(error, *gio)), kProductName,
                        MessageIcon::Warning);
    return false;
}

bool ShellDelete(const QString& path, int mode, Dialogs& dialogs) {
    return ShellDelete(path, mode, dialogs, kGioLibraryName);
}
