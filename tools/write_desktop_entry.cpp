// Writes the menu entry from its template, with the MIME types of the program's
// one table of audio types: write_desktop_entry TEMPLATE OUTPUT.
#include "platform/audio_types.h"

#include <QFile>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: write_desktop_entry TEMPLATE OUTPUT\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "write_desktop_entry: cannot read %s or write %s\n", argv[1], argv[2]);
        return 1;
    }
    QByteArray entry = in.readAll();
    entry.replace("@MIME_TYPES@", audio_types::mimeTypes().join(QLatin1Char(';')).toUtf8() + ';');
    return out.write(entry) == entry.size() ? 0 : 1;
}
