// Writes the program's icon as PNG files of the sizes a desktop looks for,
// drawn by the same code as the window's icon: write_icons FOLDER.
#include "ui/app_icon.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_icons FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(folder.path());
    for (const int size : {48, 128, 256})
        if (!drawAppIcon(size).save(folder.filePath(QStringLiteral("%1.png").arg(size)))) {
            std::fprintf(stderr, "write_icons: could not write %d.png\n", size);
            return 1;
        }
    return 0;
}
