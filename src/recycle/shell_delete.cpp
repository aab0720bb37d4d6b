#include "recycle/shell_delete.h"

#include "app/product.h"
#include "platform/dialogs.h"

#include "recycle/gio_library.h"

#include <QFile>
#include <memory>

namespace {

void showFailure(Dialogs& dialogs, const QString& what, const QString& path,
                 const QString& reason) {
    dialogs.showMessage(QStringLiteral("%1 \"%2\":\r\n%3").arg(what, path, reason), kProductName,
                        MessageIcon::Warning);
}

void showFailure(Dialogs& dialogs, const QString& what, const QString& path, GError* error,
                 const GioLibrary& gio) {
    showFailure(dialogs, what, path, QString::fromUtf8(error->message));
    gio.error_free(error);
}

} // namespace

bool ShellDelete(const QString& path, int mode, Dialogs& dialogs, const char* gioLibraryName) {
    const QString what = mode == 1 ? QStringLiteral("Could not move to the Trash")
                                   : QStringLiteral("Could not delete");
    QString unloaded;
    const GioLibrary* gio = loadGioLibrary(&unloaded, gioLibraryName);
    if (!gio) {
        // Nothing is deleted for good without the library that could move it to the Trash.
        showFailure(dialogs, what, path, unloaded);
        return false;
    }
    const QByteArray local = QFile::encodeName(path);
    const auto unref = [gio](GFile* file) { gio->object_unref(file); };
    const std::unique_ptr<GFile, decltype(unref)> file(gio->file_new_for_path(local.constData()),
                                                       unref);
    GError* error = nullptr;
    if (mode == 1) {
        if (gio->file_trash(file.get(), nullptr, &error))
            return true;
        showFailure(dialogs, what, path, error, *gio);
        return false;
    }
    if (!dialogs.askYesNo(
            QStringLiteral("Are you sure you want to permanently delete \"%1\"?").arg(path),
            kProductName))
        return false;
    if (gio->file_delete(file.get(), nullptr, &error))
        return true;
    showFailure(dialogs, what, path, error, *gio);
    return false;
}

bool ShellDelete(const QString& path, int mode, Dialogs& dialogs) {
    return ShellDelete(path, mode, dialogs, kGioLibraryName);
}
