#include "platform/dir_name.h"

#include <QFile>
#include <dirent.h>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>

QString GetFileNameFromPath(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.mid(slash + 1);
}

QString dirName(const QString& path) {
    if (path.isEmpty())
        return {};
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.startsWith(QLatin1Char('.')))
        return {};
    return name;
}

namespace {

// Below this many paths in one folder, looking each up is as quick as reading the folder.
constexpr qsizetype kFolderReadThreshold = 16;

// The paths of one folder, by their names as the disk holds them (bytes).
struct FolderPaths {
    std::unordered_map<std::string_view, qsizetype> firstByName;
    QList<qsizetype> all;
};

} // namespace

QStringList dirNames(const QStringList& paths) {
    QList<QByteArray> encoded;
    encoded.reserve(paths.size());
    for (const QString& path : paths)
        encoded << QFile::encodeName(path);
    // Views into encoded, which no longer changes.
    std::unordered_map<std::string_view, FolderPaths> byFolder;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const std::string_view path(encoded[i].constData(), size_t(encoded[i].size()));
        const size_t slash = path.rfind('/');
        if (slash == std::string_view::npos || slash == 0)
            continue; // a path in the root or without a folder is looked up on its own
        FolderPaths& folder = byFolder[path.substr(0, slash)];
        folder.firstByName.emplace(path.substr(slash + 1), i);
        folder.all << i;
    }
    QStringList names(paths.size());
    // 0: not known yet, 1: a plain file, 2: not one (missing, a folder, a device).
    QList<char> known(paths.size(), 0);
    for (auto& [folderName, folder] : byFolder) {
        if (folder.all.size() < kFolderReadThreshold)
            continue;
        const std::string folderPath(folderName);
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folderPath.c_str()), ::closedir);
        if (!dir)
            continue; // unreadable (execute-only, say): each path is looked up instead
        while (const dirent* entry = ::readdir(dir.get())) {
            const auto it = folder.firstByName.find(std::string_view(entry->d_name));
            if (it == folder.firstByName.end())
                continue;
            // Links, and entries of a file system that does not give their type,
            // are looked up on their own.
            if (entry->d_type == DT_REG)
                known[it->second] = 1;
            else if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
                known[it->second] = 2;
            else
                known[it->second] = 3;
        }
        for (const qsizetype i : folder.all) {
            const std::string_view path(encoded[i].constData(), size_t(encoded[i].size()));
            const auto it = folder.firstByName.find(path.substr(folderName.size() + 1));
            const char first = known[it->second];
            // Not in the listing at all: no such file.
            known[i] = first == 0 ? 2 : first;
        }
    }
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (known[i] == 1) {
            const QString name = paths[i].mid(paths[i].lastIndexOf(QLatin1Char('/')) + 1);
            if (!name.startsWith(QLatin1Char('.')))
                names[i] = name;
        } else if (known[i] != 2) {
            names[i] = dirName(paths[i]);
        }
    }
    return names;
}
