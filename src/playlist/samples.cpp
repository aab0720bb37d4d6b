#include "app/form1.h"

#include "app/trap.h"
#include "platform/dialogs.h"
#include "platform/plain_file.h"
#include "playlist/add_steps.h"
#include "playlist/samples.h"

#include <QDir>
#include <QFile>

namespace {
constexpr int kFirstRoom = 100;
constexpr int kMoreRoom = 50;
} // namespace

bool FileExistsOnDisk(const QString& path) {
    return isPlainFile(path);
}

QStringList GetFolderFiles(const QString& folder, const QString& pattern) {
    QString base = folder;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    QStringList names{QString()}; // names from index 1; index 0 stands empty
    names.reserve(kFirstRoom + 1);
    // Plain, hidden (dot) and system files; folders are never listed or entered.
    // "*.*" means every file, with or without a dot in its name.
    const QStringList filter{pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern};
    const QStringList found = QDir(base).entryList(
        filter, QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : found) {
        if (!FileExistsOnDisk(base + name))
            continue;
        if (names.size() > names.capacity())
            names.reserve(names.capacity() + kMoreRoom);
        names << name;
    }
    names.squeeze();
    return names;
}

void Form1::PushButton1_Click() {
    Trap trap(dialogs_, "PushButton1_Click");
    const QString folder = programFolder_ + QStringLiteral("/Samples");
    QStringList names;
    trap(100, [&] { names = GetFolderFiles(folder, QStringLiteral("*.*")); });
    QString selection;
    trap(102, [&] { selection = folder + QChar(0); });
    QString collected;
    trap(104, [&] {
        for (int i = 1; i < names.size(); ++i)
            collected += names[i] + QChar(0);
    });
    if (trap.test(108, [&] { return names.size() <= 1; }))
        return;
    trap(110, [&] { collected.chop(1); });
    trap(112, [&] { selection += collected; });
    bool open = false;
    trap(116, [&] {
        open = dialogs_.askYesNo(
            QStringLiteral(
                "Would you like this software to open the folder where these sample files "
                "are stored (so that you can view them before working with them)?"),
            AppTitle);
    });
    // The samples are added whatever the answer.
    if (open)
        trap(118, [&] {
            // No file manager set up for folders: say where the samples are instead.
            if (showFolder_ && !showFolder_(folder))
                dialogs_.showMessage(QStringLiteral("No program could open the folder (no file "
                                                    "manager is set up for folders). The sample "
                                                    "files are in:\r\n%1")
                                         .arg(folder),
                                     AppTitle, MessageIcon::Warning);
        });
    addSelection(trap, selection, {120, 122, 130, 138, 148, 156, 160, 162, 164});
}
