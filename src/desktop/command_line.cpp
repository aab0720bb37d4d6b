#include "desktop/command_line.h"

#include "platform/faithful_path.h"

#include <QDir>
#include <QFile>

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
        named.files << QDir::cleanPath(QFile::decodeName(bytes));
    }
    return named;
}
