#include "platform/open_dialog.h"

#include "platform/failure.h"

#include <QFileDialog>
#include <QFileInfo>
#include <algorithm>

QStringList QtFilePicker::pickFiles(const QString& title, const QStringList& filters,
                                    int preselected) {
    QFileDialog dialog(parent_, title);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Qt's own dialog offers Delete and Rename on its files, and its Delete is
    // for good; choosing files to listen to must never touch them.
    dialog.setOption(QFileDialog::ReadOnly);
    dialog.setNameFilters(filters);
    if (preselected >= 0 && preselected < filters.size())
        dialog.selectNameFilter(filters[preselected]);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

QString QtFilePicker::pickFolder(const QString& title, const QString& start) {
    QFileDialog dialog(parent_, title, start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::ReadOnly); // as for the Open dialog: it never touches files
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().front()
               : QString();
}

QStringList OpenDialog::nameFilters() const {
    const QStringList parts = Filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns)
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*"); // every file, with or without a dot
        QString description = parts[i];
        description.truncate(description.indexOf(QLatin1String(" (")) < 0
                                 ? description.size()
                                 : description.indexOf(QLatin1String(" (")));
        filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

QString commonFolder(const QStringList& paths) {
    QString folder = QFileInfo(paths.first()).absolutePath();
    auto holds = [&](const QString& path) {
        return folder == QLatin1String("/") || path.startsWith(folder + QLatin1Char('/'));
    };
    while (!std::all_of(paths.begin(), paths.end(), holds))
        folder = QFileInfo(folder).absolutePath();
    return folder;
}

void OpenDialog::ShowOpen() {
    const QStringList chosen = picker_.pickFiles(DialogTitle, nameFilters(), FilterIndex - 1);
    QString result;
    if (chosen.size() == 1) {
        result = chosen.first();
    } else if (chosen.size() > 1) {
        // The folder, then each name. Files chosen from several folders (typed
        // paths, Recent, the sidebar) share the deepest folder that holds them
        // all, and each name keeps the rest of its own path below it.
        const QString folder = commonFolder(chosen);
        result = folder;
        for (const QString& path : chosen)
            result +=
                QChar(0) + path.mid(folder.size() + (folder.endsWith(QLatin1Char('/')) ? 0 : 1));
    }
    if (result.size() > bufferChars_)
        throw Failure(QStringLiteral("The file name buffer is too small"), kBufferTooSmall);
    FileName = result;
}
