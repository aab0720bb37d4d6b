#include "app/command_line.h"

#include "playlist/add_steps.h"

#include <QDir>
#include <QFileInfo>

QStringList audioFilePatterns() {
    // "Audio Files (…)|*.mp3;*.wav;…|All Files…": the second part is the first filter's patterns.
    return kOpenDialogFilter.section(QLatin1Char('|'), 1, 1).split(QLatin1Char(';'));
}

QStringList commandLineFiles(const QStringList& arguments, const QString& workingFolder) {
    QStringList files;
    const QDir here(workingFolder);
    for (const QString& argument : arguments) {
        if (argument.isEmpty())
            continue;
        const QString path = QDir::cleanPath(here.absoluteFilePath(argument));
        if (!QFileInfo(path).isDir()) {
            files << path;
            continue;
        }
        const QStringList names = QDir(path).entryList(
            audioFilePatterns(), QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
        for (const QString& name : names)
            files << QDir(path).filePath(name);
    }
    return files;
}
