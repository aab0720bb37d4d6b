#include "desktop/history_command.h"

#include "history/history_db.h"
#include "platform/product.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace {

// A path on one line of the listing: its tabs, line breaks and backslashes
// written as \t, \n and \\, so each decision stays one line of four fields.
QString field(QString text) {
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return text;
}

void print(std::FILE* to, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

int listDecisions(const QString& file, std::FILE* out, std::FILE* err) {
    if (!QFileInfo::exists(file))
        return 0; // nothing decided yet
    history::Trouble trouble;
    const std::unique_ptr<history::Database> db =
        history::Database::open(file, trouble, /*readOnly=*/true);
    std::vector<history::Decision> decisions;
    if (db)
        decisions = db->allDecisions(trouble);
    if (!trouble.why.isEmpty()) {
        print(err, QStringLiteral("The history cannot be read: %1\n").arg(trouble.why));
        return 1;
    }
    for (const history::Decision& d : decisions)
        print(out, QStringLiteral("%1\t%2\t%3\t%4\n")
                       .arg(QDateTime::fromMSecsSinceEpoch(d.timeMs).toString(Qt::ISODate),
                            history::actionName(d.action), field(d.from), field(d.to)));
    return 0;
}

int forget(const QString& file, bool asked, std::FILE* in, std::FILE* out, std::FILE* err) {
    if (!QFileInfo::exists(file)) {
        print(out, QStringLiteral("There is no history to remove (%1).\n").arg(file));
        return 0;
    }
    if (!asked) {
        print(out, QStringLiteral("Remove the history of every decision and every file heard "
                                  "(%1)? [y/N] ")
                       .arg(file));
        std::fflush(out);
        char answer[16] = {};
        if (!std::fgets(answer, sizeof answer, in) || (answer[0] != 'y' && answer[0] != 'Y')) {
            print(out, QStringLiteral("The history stays.\n"));
            return 1;
        }
    }
    // The journal files go with it; a copy still running goes on in a file of its own.
    bool removed = QFile::remove(file);
    for (const char* suffix : {"-wal", "-shm"})
        if (QFileInfo::exists(file + QLatin1String(suffix)))
            removed = QFile::remove(file + QLatin1String(suffix)) && removed;
    if (!removed) {
        print(err, QStringLiteral("The history could not be removed: %1\n").arg(file));
        return 1;
    }
    print(out, QStringLiteral("The history was removed.\n"));
    return 0;
}

} // namespace

std::optional<int> runHistoryCommand(const QByteArrayList& arguments, const QString& historyFile,
                                     std::FILE* in, std::FILE* out, std::FILE* err) {
    if (arguments == QByteArrayList{"--history"})
        return listDecisions(historyFile, out, err);
    if (arguments == QByteArrayList{"--forget-history"})
        return forget(historyFile, false, in, out, err);
    if (arguments == QByteArrayList{"--forget-history", "--yes"} ||
        arguments == QByteArrayList{"--yes", "--forget-history"})
        return forget(historyFile, true, in, out, err);
    return std::nullopt;
}
