#include "platform/dir_name.h"

#include <QFile>
#include <QHash>
#include <QStringEncoder>
#include <algorithm>
#include <dirent.h>
#include <memory>
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

// A file's name within one of the folders, as the disk spells it.
struct NameInFolder {
    int folder; // from 1
    QByteArrayView name;
    friend bool operator==(const NameInFolder&, const NameInFolder&) = default;
};
size_t qHash(const NameInFolder& key, size_t seed) {
    return qHashMulti(seed, key.folder, key.name);
}

// Every path's file name as the disk spells it, end to end in one buffer: ten
// thousand separate byte arrays cost more than the encoding itself.
class EncodedNames {
  public:
    explicit EncodedNames(qsizetype room) : bytes_(room * 3, Qt::Uninitialized) {}
    // What QFile::encodeName gives: no state carries from one name to the next.
    // Plain ASCII, nearly every name, is copied without the encoder's overhead.
    QByteArrayView append(QStringView name) {
        char* const begin = bytes_.data() + used_;
        char* end = begin;
        if (std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x80; }))
            for (const QChar c : name)
                *end++ = char(c.unicode());
        else
            end = encoder_.appendToBuffer(begin, name);
        used_ += end - begin;
        return {begin, end - begin};
    }

  private:
    QByteArray bytes_; // never grows: the views handed out stay valid
    qsizetype used_ = 0;
    QStringEncoder encoder_{QStringEncoder::System, QStringEncoder::Flag::Stateless};
};

// What a folder's listing says of a path: nothing (not listed), a plain file,
// not one (a folder, a device), or look it up on its own (a link, or a file
// system that does not give the entry's type).
enum Known : char { kUnknown, kPlainFile, kNotAFile, kLookUp };

struct Folder {
    QStringView path;
    qsizetype paths = 0;
    bool listed = false;
};

// Reads the folder and notes the type of every entry that one of the paths
// names; false when it cannot be read (execute-only, say).
bool listFolder(int number, const Folder& folder, const QHash<NameInFolder, qsizetype>& firstOf,
                std::vector<Known>& known) {
    const QByteArray path = QFile::encodeName(folder.path.toString());
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.constData()), ::closedir);
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir.get())) {
        const qsizetype first = firstOf.value({number, QByteArrayView(entry->d_name)}); // from 1
        if (first == 0)
            continue;
        Known& answer = known[size_t(first - 1)];
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
    // Each path's folder, by number from 1; 0 for a path in the root or
    // without a folder, which is looked up on its own. A list's paths mostly
    // share the folder of the one before, which is then not looked up again.
    QHash<QStringView, int> folderNumbers;
    std::vector<Folder> folders;
    std::vector<int> folderOf(static_cast<size_t>(count), 0);
    std::vector<qsizetype> slashOf(static_cast<size_t>(count)); // where each name begins, less one
    qsizetype room = 0;
    for (const QString& path : paths)
        room += path.size();
    EncodedNames names(room);
    // The first of equal paths answers for all of them; its number counts
    // from 1, so that 0 is "none". (Qt's hash keeps its entries in a few
    // large blocks, where the standard one allocates each.)
    QHash<NameInFolder, qsizetype> firstOf;
    firstOf.reserve(count);
    std::vector<qsizetype> first(static_cast<size_t>(count));
    QStringView lastFolder;
    int lastNumber = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const QString& path = paths[i];
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        slashOf[size_t(i)] = slash;
        first[size_t(i)] = i;
        if (slash <= 0)
            continue;
        const QStringView folder = QStringView(path).first(slash);
        if (folder != lastFolder) {
            int& number = folderNumbers[folder];
            if (number == 0) {
                folders.push_back({folder});
                number = int(folders.size());
            }
            lastFolder = folder;
            lastNumber = number;
        }
        ++folders[size_t(lastNumber - 1)].paths;
        folderOf[size_t(i)] = lastNumber;
        qsizetype& firstEqual =
            firstOf[{lastNumber, names.append(QStringView(path).sliced(slash + 1))}];
        if (firstEqual == 0)
            firstEqual = i + 1;
        first[size_t(i)] = firstEqual - 1;
    }
    std::vector<Known> known(static_cast<size_t>(count), kUnknown);
    for (size_t f = 0; f < folders.size(); ++f)
        if (folders[f].paths >= kFolderReadThreshold)
            folders[f].listed = listFolder(int(f + 1), folders[f], firstOf, known);

    QStringList found(count);
    for (qsizetype i = 0; i < count; ++i) {
        Known answer = known[size_t(first[size_t(i)])];
        const int folder = folderOf[size_t(i)];
        if (answer == kUnknown && folder > 0 && folders[size_t(folder - 1)].listed)
            answer = kNotAFile; // not in its folder's listing at all: no such file
        if (answer == kPlainFile) {
            const QString name = paths[i].sliced(slashOf[size_t(i)] + 1); // listed: it has a folder
            if (!name.startsWith(QLatin1Char('.')))
                found[i] = name;
        } else if (answer != kNotAFile) {
            found[i] = dirName(paths[i]);
        }
    }
    return found;
}
