// Saves playlists to the settings store for ever, as fast as it can, until it
// is killed: save number g lists BASE + g % 37 songs (BASE its argument, 20
// when none is given), each path naming g. The test kills it mid-save and
// checks that the file holds one whole playlist.
#include "settings/settings_store.h"

#include <QCoreApplication>
#include <QLockFile>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // --hold-lock FILE MS: another copy of the program mid-save, holding the
    // settings lock for MS milliseconds; says "locked" once it has it.
    if (argc == 4 && std::strcmp(argv[1], "--hold-lock") == 0) {
        QLockFile lock(QString::fromLocal8Bit(argv[2]));
        if (!lock.tryLock(5000))
            return 1;
        std::puts("locked");
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[3])));
        return 0;
    }
    IniSettingsStore store;
    const int base = argc > 1 ? std::atoi(argv[1]) : 20;
    for (long g = 0;; ++g) {
        const int count = base + static_cast<int>(g % 37);
        store.write(QStringLiteral("Shuffle"), QStringLiteral("0"));
        store.write(QStringLiteral("Repeat"), QStringLiteral("0"));
        store.write(QStringLiteral("ListCount"), QString::number(count));
        for (int i = 0; i < count; ++i)
            store.write(QStringLiteral("Song%1").arg(i),
                        QStringLiteral("/music/save %1/song %2.mp3").arg(g).arg(i));
        store.commit();
        store.waitForSaves(-1);
    }
}
