// Saves playlists to the settings store for ever, as fast as it can, until it
// is killed: save number g lists 20 + g % 37 songs, each path naming g. The
// test kills it mid-save and checks that the file holds one whole playlist.
#include "settings/settings_store.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    IniSettingsStore store;
    for (long g = 0;; ++g) {
        const int count = 20 + static_cast<int>(g % 37);
        store.write(QStringLiteral("Shuffle"), QStringLiteral("0"));
        store.write(QStringLiteral("Repeat"), QStringLiteral("0"));
        store.write(QStringLiteral("ListCount"), QString::number(count));
        for (int i = 0; i < count; ++i)
            store.write(QStringLiteral("Song%1").arg(i),
                        QStringLiteral("/music/save %1/song %2.mp3").arg(g).arg(i));
        store.commit();
    }
}
