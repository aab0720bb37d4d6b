#include "app/form1.h"

#include "app/trap.h"
#include "platform/dir_name.h"
#include "playlist/list_view.h"

#include <QMimeData>
#include <QUrl>

namespace {

// The local files a drag carries (text/uri-list with file: URLs), in its order.
QStringList droppedPaths(const QMimeData& data) {
    QStringList paths;
    if (!data.hasUrls())
        return paths;
    for (const QUrl& url : data.urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths << url.toLocalFile();
    return paths;
}

} // namespace

bool Form1::ListView1_OLEDragOver(const QMimeData& data) {
    return !droppedPaths(data).isEmpty();
}

void Form1::ListView1_OLEDragDrop(const QMimeData& data) {
    // A drop has no trap of its own; its failures are reported under its own name
    // and the drop goes on, each file joining both halves or neither.
    Trap trap(dialogs_, "ListView1_OLEDragDrop");
    QStringList paths;
    trap(100, [&] { paths = droppedPaths(data); });
    int base = 0;
    trap(102, [&] { base = FreshPlaylist ? 0 : PlayerPlaylist->count(); });
    trap(104, [&] {
        if (WMP->playState() == Player::Playing)
            WMP->pause();
    });
    for (int i = 0; i < paths.size(); ++i)
        trap(106, [&] { AppendEntry(dirName(paths[i]), paths[i], base + i); });
    trap(108, [&] { WMP->setCurrentPlaylist(PlayerPlaylist); });
    trap(110, [&] { PlayNew(0); });
    trap(112, [&] { FreshPlaylist = false; });
}
