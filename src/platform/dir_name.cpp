#include "platform/dir_name.h"

#include <QFile>
#include <QHash>
#include <QStringEncoder>
#include <dirent.h>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

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

// Every path's bytes as the disk spells them, end to end in one buffer: ten
// thousand separate byte arrays cost more than the encoding itself.
class EncodedPaths {
  public:
    explicit EncodedPaths(const QStringList& paths) {
        qsizetype room = 0;
        for (const QString& path : paths)
            room += path.size();
        // What QFile::encodeName gives, path by path: no state carries from one to the next.
        QStringEncoder encoder(QStringEncoder::System, QStringEncoder::Flag::Stateless);
        bytes_.resize(encoder.requiredSpace(room));
        ends_.reserve(size_t(paths.size()));
        char* end = bytes_.data();
        for (const QString& path : paths) {
            end = encoder.appendToBuffer(end, path);
            ends_.push_back(size_t(end - bytes_.data()));
        }
    }
    std::string_view operator[](qsizetype i) const {
        const size_t begin = i == 0 ? 0 : ends_[size_t(i - 1)];
        return {bytes_.constData() + begin, ends_[size_t(i)] - begin};
    }

  private:
    QByteArray bytes_;
    std::vector<size_t> ends_;
};

// What a folder's listing says of a path: nothing (not listed), a plain file,
// not one (a folder, a device), or look it up on its own (a link, or a file
// system that does not give the entry's type).
enum Known : char { kUnknown, kPlainFile, kNotAFile, kLookUp };

struct Folder {
    std::string_view path;
    qsizetype paths = 0;
    bool listed = false;
};

// Reads the folder and notes the type of every entry that one of the paths
// names; false when it cannot be read (execute-only, say).
bool listFolder(const Folder& folder, const QHash<QByteArrayView, qsizetype>& firstOfPath,
                std::vector<Known>& known) {
    std::string entryPath(folder.path);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(entryPath.c_str()), ::closedir);
    if (!dir)
        return false;
    entryPath += '/';
    const size_t nameAt = entryPath.size();
    while (const dirent* entry = ::readdir(dir.get())) {
        entryPath.resize(nameAt);
        entryPath += entry->d_name;
        const qsizetype path = firstOfPath.value(QByteArrayView(entryPath)); // from 1
        if (path == 0)
            continue;
        Known& answer = known[size_t(path - 1)];
        if (entry->d_type == DT_REG)
            answer = kPlainFile;
        else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN)
            answer = kLookUp;
        else
            answer = kNotAFile;
    }
    return true;
}

} // namespace

QStringList dirNames(const QStringList& paths) {
    const qsizetype count = paths.size();
    const EncodedPaths encoded(paths);
    // The first of equal paths answers for all of them; its number counts
    // from 1, so that 0 is "none". (Qt's hash keeps its
    // entries in a few large blocks, where the standard one allocates each.)
    QHash<QByteArrayView, qsizetype> firstOfPath;
    firstOfPath.reserve(count);
    std::vector<qsizetype> first(static_cast<size_t>(count));
    // Each path's folder, by number from 1; 0 for a path in the root or
    // without a folder, which is looked up on its own.
    QHash<QByteArrayView, int> folderNumbers;
    std::vector<Folder> folders;
    std::vector<int> folderOf(static_cast<size_t>(count), 0);
    for (qsizetype i = 0; i < count; ++i) {
        const std::string_view path = encoded[i];
        qsizetype& firstEqual = firstOfPath[QByteArrayView(path.data(), qsizetype(path.size()))];
        if (firstEqual == 0)
            firstEqual = i + 1;
        first[size_t(i)] = firstEqual - 1;
        const size_t slash = path.rfind('/');
        if (slash == std::string_view::npos || slash == 0)
            continue;
        int& number = folderNumbers[QByteArrayView(path.data(), qsizetype(slash))];
        if (number == 0) {
            folders.push_back({path.substr(0, slash)});
            number = int(folders.size());
        }
        ++folders[size_t(number - 1)].paths;
        folderOf[size_t(i)] = number;
    }
    std::vector<Known> known(static_cast<size_t>(count), kUnknown);
    for (Folder& folder : folders)
        if (folder.paths >= kFolderReadThreshold)
            folder.listed = listFolder(folder, firstOfPath, known);

    QStringList names(count);
    for (qsizetype i = 0; i < count; ++i) {
        Known answer = known[size_t(first[size_t(i)])];
        const int folder = folderOf[size_t(i)];
        if (answer == kUnknown && folder > 0 && folders[size_t(folder - 1)].listed)
            answer = kNotAFile; // not in its folder's listing at all: no such file
        if (answer == kPlainFile) {
            const QString name = paths[i].mid(paths[i].lastIndexOf(QLatin1Char('/')) + 1);
            if (!name.startsWith(QLatin1Char('.')))
                names[i] = name;
        } else if (answer != kNotAFile) {
            names[i] = dirName(paths[i]);
        }
    }
    return names;
}
