#include "platform/disk_call.h"

#include <QHash>
#include <thread>

namespace disk {

namespace {

std::mutex hungMutex;
QHash<QString, int>& hungFolders() { // folder, calls on it that hang
    static QHash<QString, int> folders;
    return folders;
}

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

bool answering(const QString& path) {
    const std::lock_guard lock(hungMutex);
    if (hungFolders().isEmpty())
        return true;
    // A folder below a hung one is on the same dead drive, as far as anyone can tell.
    for (QString folder = folderOf(path);; folder = folderOf(folder)) {
        if (hungFolders().contains(folder))
            return false;
        if (folder == QLatin1String("/"))
            return true;
    }
}

void answered(const QString& path) {
    const std::lock_guard lock(hungMutex);
    for (QString folder = path;; folder = folderOf(folder)) {
        hungFolders().remove(folder);
        if (folder == QLatin1String("/"))
            return;
    }
}

namespace detail {

std::function<void()> markHung(const QString& path) {
    const QString folder = folderOf(path);
    {
        const std::lock_guard lock(hungMutex);
        ++hungFolders()[folder];
    }
    return [folder] {
        const std::lock_guard lock(hungMutex);
        auto found = hungFolders().find(folder);
        if (found != hungFolders().end() && --*found == 0)
            hungFolders().erase(found);
    };
}

void runDetached(std::function<void()> work) {
    std::thread(std::move(work)).detach();
}

} // namespace detail

} // namespace disk
