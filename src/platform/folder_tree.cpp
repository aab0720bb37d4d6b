#include "platform/folder_tree.h"

#include "platform/audio_types.h"
#include "platform/faithful_path.h"

#include <QFile>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// -1, 0 or 1 for a before, as, after b, digits as numbers and letters without case.
int naturalCompare(QStringView a, QStringView b, Qt::CaseSensitivity cs) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            qsizetype endA = i, endB = j;
            while (endA < a.size() && isDigit(a[endA]))
                ++endA;
            while (endB < b.size() && isDigit(b[endB]))
                ++endB;
            // Leading zeros aside, the longer run is the larger number.
            qsizetype fromA = i, fromB = j;
            while (fromA + 1 < endA && a[fromA] == u'0')
                ++fromA;
            while (fromB + 1 < endB && b[fromB] == u'0')
                ++fromB;
            if (endA - fromA != endB - fromB)
                return endA - fromA < endB - fromB ? -1 : 1;
            if (const int c = a.sliced(fromA, endA - fromA).compare(b.sliced(fromB, endB - fromB)))
                return c < 0 ? -1 : 1;
            i = endA;
            j = endB;
            continue;
        }
        qsizetype endA = i, endB = j;
        while (endA < a.size() && !isDigit(a[endA]))
            ++endA;
        while (endB < b.size() && !isDigit(b[endB]))
            ++endB;
        if (const int c = a.sliced(i, endA - i).compare(b.sliced(j, endB - j), cs))
            return c < 0 ? -1 : 1;
        i = endA;
        j = endB;
    }
    return i < a.size() ? 1 : j < b.size() ? -1 : 0;
}

using Identity = std::pair<dev_t, ino_t>;

class TreeWalk {
  public:
    TreeWalk(const std::function<bool()>& cancelled, const std::function<void(qsizetype)>& found)
        : cancelled_(cancelled), found_(found) {}

    void walk(const QByteArray& folder) {
        struct stat info {};
        if (::stat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            !walked_.insert({info.st_dev, info.st_ino}).second)
            return;
        if (cancelled_ && cancelled_())
            return;
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.constData()), ::closedir);
        if (!dir)
            return;
        const QByteArray base = folder.endsWith('/') ? folder : folder + '/';
        QStringList files, folders;
        while (const dirent* entry = ::readdir(dir.get())) {
            const QByteArray name(entry->d_name);
            if (name.startsWith('.'))
                continue; // hidden, and . and ..
            struct stat target {};
            if (::stat((base + name).constData(), &target) != 0)
                continue; // a link to nothing
            const bool isFolder = S_ISDIR(target.st_mode);
            if (!isFolder && (!S_ISREG(target.st_mode) ||
                              !audio_types::isAudioFileName(QFile::decodeName(name))))
                continue;
            // The check of the name's bytes comes first, so that a name read
            // with a loss is refused, never taken for its namesake.
            if (!survivesDecoding(name)) {
                result.refused << showBytes(base + name);
                continue;
            }
            if (isFolder)
                folders << QFile::decodeName(name);
            else if (seen_.insert({target.st_dev, target.st_ino}).second)
                files << QFile::decodeName(name);
        }
        std::sort(files.begin(), files.end(), naturalLess);
        std::sort(folders.begin(), folders.end(), naturalLess);
        const QString path = QFile::decodeName(base);
        for (const QString& file : files) {
            result.files << path + file;
            if (found_ && result.files.size() % kReportEvery == 0)
                found_(result.files.size());
        }
        for (const QString& sub : folders)
            walk(base + QFile::encodeName(sub));
    }

    NamedFiles result;

  private:
    static constexpr qsizetype kReportEvery = 500;
    const std::function<bool()>& cancelled_;
    const std::function<void(qsizetype)>& found_;
    std::set<Identity> walked_; // folders, so that a link loop ends
    std::set<Identity> seen_;   // files, so that a link to one already found adds nothing
};

} // namespace

bool naturalLess(const QString& a, const QString& b) {
    if (const int c = naturalCompare(a, b, Qt::CaseInsensitive))
        return c < 0;
    return naturalCompare(a, b, Qt::CaseSensitive) < 0;
}

NamedFiles audioFilesUnder(const QString& folder, const std::function<bool()>& cancelled,
                           const std::function<void(qsizetype found)>& found) {
    TreeWalk walk(cancelled, found);
    walk.walk(QFile::encodeName(folder));
    return std::move(walk.result);
}
