#include "app/form1.h"

#include "app/trap.h"
#include "platform/audio_types.h"
#include "platform/dir_name.h"
#include "platform/disk_call.h"
#include "platform/faithful_path.h"
#include "playlist/list_view.h"

#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <thread>

namespace {

struct DroppedFiles {
    QStringList paths;   // the local files a drag carries, in its order
    QStringList refused; // those whose names Qt cannot read faithfully, as shown to the user
};

// The file: URLs of text/uri-list. Their percent-encoded bytes are the names as
// the file system gave them to the drag source; Qt's own decoding of them is lossy.
DroppedFiles droppedFiles(const QMimeData& data) {
    DroppedFiles files;
    if (!data.hasUrls())
        return files;
    const QList<QUrl> urls = data.urls();
    files.paths.reserve(urls.size());
    for (const QUrl& url : urls) {
        if (!url.isLocalFile() || url.toLocalFile().isEmpty())
            continue;
        const QByteArray bytes =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toUtf8());
        if (url.host().isEmpty() && !survivesDecoding(bytes))
            files.refused << showBytes(bytes);
        else
            files.paths << url.toLocalFile();
    }
    return files;
}

} // namespace

bool Form1::ListView1_OLEDragOver(const QMimeData& data) {
    const DroppedFiles files = droppedFiles(data);
    return !files.paths.isEmpty() || !files.refused.isEmpty();
}

void Form1::ListView1_OLEDragDrop(const QMimeData& data) {
    DroppedFiles files;
    {
        Trap trap(dialogs_, "ListView1_OLEDragDrop");
        trap(100, [&] { files = droppedFiles(data); });
    }
    // Only a name that is not an audio file's may be a folder: the files of
    // a drop of ten thousand are not looked at one by one. One whose drive does
    // not answer may be a folder too: the walk waits for it, and Esc ends that.
    for (const QString& path : files.paths)
        if (!audio_types::isAudioFileName(path) &&
            disk::call<bool>(path, [path] { return QFileInfo(path).isDir(); }).value_or(true)) {
            walkFolders(files.paths, files.refused);
            return;
        }
    appendDropped(files.paths, {}, files.refused);
}

void Form1::appendDropped(const QStringList& paths, QStringList names, const QStringList& refused) {
    // A drop has no trap of its own; its failures are reported under its own name
    // and the drop goes on, each file joining both halves or neither.
    Trap trap(dialogs_, "ListView1_OLEDragDrop");
    restorePending(); // the restored list comes first
    const DroppedFiles files{paths, refused};
    int base = 0;
    trap(102, [&] { base = FreshPlaylist ? 0 : PlayerPlaylist->count(); });
    trap(104, [&] {
        if (WMP->playState() == Player::Playing)
            WMP->pause();
    });
    if (paths.isEmpty()) {
        reportRefusedDrop(files.refused);
        return;
    }
    // Each file under the name its folder gives it, all joining at once.
    trap(106, [&] {
        if (names.isEmpty())
            names = dirNames(paths);
        std::vector<NewEntry> entries;
        entries.reserve(size_t(paths.size()));
        for (int i = 0; i < paths.size(); ++i)
            entries.push_back({{names[i], paths[i]}, base + i});
        AppendEntries(entries);
    });
    trap(108, [&] { WMP->setCurrentPlaylist(PlayerPlaylist); });
    trap(110, [&] { PlayNew(0); });
    trap(112, [&] { FreshPlaylist = false; });
    reportRefusedDrop(files.refused);
}

void Form1::OpenFiles(const QStringList& paths, const QStringList& refused) {
    if (paths.size() < kOpenBesideFrom) {
        openFilesNow(paths, refused);
        return;
    }
    std::thread([paths, refused, toWindow = onWindowThread("OpenFiles", &Form1::HandedFilesFound)] {
        HandedFiles found{{}, {}, refused, false};
        found.paths.reserve(paths.size());
        for (const QString& path : paths) {
            if (!isFaithfulPath(path)) {
                found.refused << path;
                continue;
            }
            found.paths << path;
            found.mayHoldFolders = found.mayHoldFolders || !audio_types::isAudioFileName(path);
        }
        if (!found.mayHoldFolders)
            found.names = dirNames(found.paths);
        toWindow(found);
    }).detach();
}

void Form1::HandedFilesFound(const HandedFiles& found) {
    if (found.mayHoldFolders || found.paths.isEmpty()) {
        openFilesNow(found.paths, found.refused);
        return;
    }
    // Files handed over from outside play without the user choosing them here.
    outsideSwitch([&] { appendDropped(found.paths, found.names, found.refused); });
}

void Form1::openFilesNow(const QStringList& paths, const QStringList& refusedBefore) {
    QList<QUrl> urls;
    urls.reserve(paths.size());
    QStringList refused = refusedBefore;
    // The names came as text: one read with a loss would name its namesake.
    for (const QString& path : paths)
        if (isFaithfulPath(path))
            urls << QUrl::fromLocalFile(path);
        else
            refused << path;
    if (urls.isEmpty()) {
        reportRefusedDrop(refused);
        return;
    }
    QMimeData data;
    data.setUrls(urls);
    // Files handed over from outside play without the user choosing them here.
    outsideSwitch([&] { ListView1_OLEDragDrop(data); });
    reportRefusedDrop(refused);
}

void Form1::BringToFront() {
    showNormal();
    raise();
    activateWindow();
}

void Form1::reportRefusedDrop(const QStringList& refused) {
    if (refused.isEmpty())
        return;
    // After the drop has returned: the drag source waits for its answer.
    QTimer::singleShot(0, this, [this, refused] {
        dialogs_.showMessage(refusedNamesMessage(refused), AppTitle, MessageIcon::Warning);
    });
}
