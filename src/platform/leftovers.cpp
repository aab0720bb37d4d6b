#include "platform/leftovers.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <cerrno>
#include <climits>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace leftovers {

namespace {

bool isRunning(pid_t pid) {
    // EPERM: running, as another user.
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

} // namespace

QString temporaryName(const QString& name) {
    return QStringLiteral(".%1.part-%2").arg(name).arg(::getpid());
}

pid_t writerOf(const QString& fileName) {
    // Parsed by hand, with no static state: the start-up sweep runs on a
    // worker that may still be at it while the program's statics are torn down.
    static constexpr QLatin1StringView kPart(".part-");
    const qsizetype part = fileName.lastIndexOf(kPart);
    if (!fileName.startsWith(QLatin1Char('.')) || part < 2)
        return 0;
    const QStringView digits = QStringView(fileName).mid(part + kPart.size());
    if (digits.isEmpty() || digits.size() > 10 || digits.front() == QLatin1Char('0'))
        return 0;
    qlonglong pid = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
        pid = pid * 10 + (c.unicode() - '0');
    }
    return pid <= qlonglong(INT_MAX) ? pid_t(pid) : 0;
}

QStringList sweep(const QString& folder) {
    QStringList removed;
    const QByteArray path = QFile::encodeName(folder);
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return removed;
    const int at = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        const pid_t writer = writerOf(name);
        if (writer == 0 || writer == ::getpid() || isRunning(writer))
            continue;
        struct stat info {};
        if (::fstatat(at, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
            continue;
        if (::unlinkat(at, entry->d_name, 0) == 0)
            removed << name;
    }
    ::closedir(dir);
    return removed;
}

void sweepAside(const QStringList& folders, const QStringList& files) {
    std::thread([folders, files] {
        QSet<QString> seen;
        const auto once = [&seen](const QString& folder) {
            if (!folder.isEmpty() && !seen.contains(folder)) {
                seen.insert(folder);
                sweep(folder);
            }
        };
        for (const QString& folder : folders)
            once(folder);
        for (const QString& file : files)
            once(file.left(file.lastIndexOf(QLatin1Char('/'))));
    }).detach();
}

} // namespace leftovers
