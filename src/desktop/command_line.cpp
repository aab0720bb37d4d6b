#include "desktop/command_line.h"

#include "platform/audio_types.h"
#include "platform/faithful_path.h"
#include "platform/plain_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <dirent.h>
#include <memory>

namespace {} // namespace

void addFolderFiles(const QString& folder, NamedFiles& into) {
    const QByteArray base = QFile::encodeName(folder) + '/';
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(base.constData()), ::closedir);
    if (!dir)
        return;
    QStringList names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray name(entry->d_name);
        // Only audio files; the check of the name's bytes comes first, so that a
        // name read with a loss is refused, never taken for its namesake.
        if (name.startsWith('.') || !audio_types::isAudioFileName(QFile::decodeName(name)) ||
            !isPlainFile(base + name))
            continue;
        if (survivesDecoding(name))
            names << QFile::decodeName(name);
        else
            into.refused << showBytes(base + name);
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    for (const QString& name : names)
        into.files << QDir(folder).filePath(name);
}

NamedFiles commandLineFiles(const QByteArrayList& arguments, const QByteArray& workingFolder) {
    NamedFiles named;
    for (const QByteArray& argument : arguments) {
        if (argument.isEmpty())
            continue;
        const QByteArray bytes =
            argument.startsWith('/') ? argument : workingFolder + '/' + argument;
        if (!survivesDecoding(bytes)) {
            named.refused << showBytes(bytes);
            continue;
        }
        const QString path = QDir::cleanPath(QFile::decodeName(bytes));
        if (QFileInfo(path).isDir())
            addFolderFiles(path, named);
        else
            named.files << path;
    }
    return named;
}
