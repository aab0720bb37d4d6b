#include "platform/plain_file.h"

#include <sys/stat.h>

FileKind fileKind(const QByteArray& diskPath) {
    struct stat info {};
    if (::stat(diskPath.constData(), &info) != 0)
        return FileKind::Missing;
    return S_ISREG(info.st_mode) ? FileKind::Plain : FileKind::Other;
}
