#include "platform/faithful_path.h"

#include <QFile>
#include <dirent.h>
#include <memory>

bool survivesDecoding(const QByteArray& bytes) {
    return QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

namespace {

// Whether the folder holds a name that is not valid UTF-8 and reads as name.
bool folderHasLossyNamesake(const QByteArray& folder, const QString& name) {
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(
        ::opendir(folder.isEmpty() ? "/" : folder.constData()), ::closedir);
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray raw(entry->d_name);
        if (!survivesDecoding(raw) && QFile::decodeName(raw) == name)
            return true;
    }
    return false;
}

} // namespace

bool isFaithfulPath(const QString& path) {
    // Only a lossy decoding puts U+FFFD into a name; the folders are read only then.
    if (!path.contains(QChar::ReplacementCharacter))
        return true;
    const QStringList parts = path.split(QLatin1Char('/'));
    QString folder;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0 && parts[i].contains(QChar::ReplacementCharacter) &&
            folderHasLossyNamesake(QFile::encodeName(folder), parts[i]))
            return false;
        folder += (i > 0 ? QStringLiteral("/") : QString()) + parts[i];
    }
    return true;
}

QString showBytes(const QByteArray& bytes) {
    if (survivesDecoding(bytes))
        return QFile::decodeName(bytes);
    QString shown;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        shown += byte < 0x80 ? QString(QLatin1Char(c))
                             : QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return shown;
}

QString refusedNamesMessage(const QStringList& shown) {
    return QStringLiteral("These files were left out of the playlist: their names are not valid "
                          "UTF-8, and they could be mistaken for other files.\r\n\r\n") +
           shown.join(QStringLiteral("\r\n"));
}
