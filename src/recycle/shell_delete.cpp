#include "recycle/shell_delete.h"

#include "app/product.h"
#include "platform/dialogs.h"

#include <QFile>
#include <gio/gio.h>
#include <memory>

namespace {

struct GObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};

void showFailure(Dialogs& dialogs, const QString& what, const QString& path, GError* error) {
    dialogs.showMessage(
        QStringLiteral("%1 \"%2\":\r\n%3").arg(what, path, QString::fromUtf8(error->message)),
        kProductName, MessageIcon::Warning);
    g_error_free(error);
}

} // namespace

bool ShellDelete(const QString& path, int mode, Dialogs& dialogs) {
    const QByteArray local = QFile::encodeName(path);
    std::unique_ptr<GFile, GObjectDeleter> file(g_file_new_for_path(local.constData()));
    GError* error = nullptr;
    if (mode == 1) {
        if (g_file_trash(file.get(), nullptr, &error))
            return true;
        showFailure(dialogs, QStringLiteral("Could not move to the Trash"), path, error);
        return false;
    }
    if (!dialogs.askYesNo(
            QStringLiteral("Are you sure you want to permanently delete \"%1\"?").arg(path),
            kProductName))
        return false;
    if (g_file_delete(file.get(), nullptr, &error))
        return true;
    showFailure(dialogs, QStringLiteral("Could not delete"), path, error);
    return false;
}
