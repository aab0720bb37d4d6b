#include "app/form1.h"

#include "platform/dir_name.h"
#include "platform/disk_call.h"
#include "platform/open_dialog.h"
#include "playback/player_widget.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QTimer>
#include <atomic>

// One drop's folders being walked: the worker owns nothing but this.
struct Form1::FolderWalk {
    std::atomic<bool> cancelled{false};
    std::atomic<qsizetype> found{0};
    bool outside = false; // handed over from outside the window: not chosen here
};

namespace {
constexpr int kProgressEveryMs = 100;
std::atomic<int> walkersAtWork{0};
} // namespace

int Form1::FolderWalkersAtWork() {
    return walkersAtWork;
}

void Form1::walkFolders(const QStringList& paths, const QStringList& refused) {
    auto walk = std::make_shared<FolderWalk>();
    walk->outside = outsideSwitches_ > 0;
    walks_.push_back(walk);
    if (!walkProgress_) {
        walkProgress_ = new QTimer(this);
        connect(walkProgress_, &QTimer::timeout, this, [this] { showWalkProgress(); });
    }
    walkProgress_->start(kProgressEveryMs);
    showWalkProgress();
    QPointer<Form1> window(this);
    ++walkersAtWork;
    disk::detail::runDetached([walk, paths, refused, window] {
        NamedFiles all{{}, refused};
        QStringList names; // the entries' texts, as a drop gives them
        const auto cancelled = [&] { return walk->cancelled.load(); };
        for (const QString& path : paths) {
            if (cancelled())
                break;
            if (!QFileInfo(path).isDir()) {
                all.files << path;
                names << dirNameNow(path);
                continue;
            }
            const qsizetype before = all.files.size();
            NamedFiles under = audioFilesUnder(
                path, cancelled, [&](qsizetype found) { walk->found = before + found; });
            // Plain files that are not hidden: each is named as its folder lists it.
            for (const QString& file : under.files)
                names << file.mid(file.lastIndexOf(QLatin1Char('/')) + 1);
            all.files << under.files;
            all.refused << under.refused;
            walk->found = all.files.size();
            // A look at this folder that was given up on while its drive hung
            // may not have come back yet; its files are about to be played.
            if (!cancelled())
                disk::answered(path);
        }
        QMetaObject::invokeMethod(
            qApp, [window, walk, all = std::move(all), names = std::move(names)] {
                if (window)
                    window->guarded("ListView1_OLEDragDrop",
                                    [&] { window->walkDone(walk, all, names); });
            });
        --walkersAtWork; // its result is on its way
    });
}

void Form1::showWalkProgress() {
    if (walks_.empty()) {
        walkProgress_->stop();
        WMPView->showActivity({});
        return;
    }
    qsizetype found = 0;
    for (const auto& walk : walks_)
        found += walk->found;
    WMPView->showActivity(
        QStringLiteral("Adding\u2026 %1 files found").arg(QLocale::c().toString(found)));
}

void Form1::walkDone(const std::shared_ptr<FolderWalk>& walk, const NamedFiles& found,
                     const QStringList& names) {
    const auto at = std::find(walks_.begin(), walks_.end(), walk);
    if (at == walks_.end() || walk->cancelled)
        return; // cancelled: nothing found is added
    walks_.erase(at);
    showWalkProgress();
    if (walk->outside)
        outsideSwitch([&] { appendDropped(found.files, names, found.refused); });
    else
        appendDropped(found.files, names, found.refused);
}

void Form1::CancelFolderWalks() {
    if (walks_.empty())
        return;
    for (const auto& walk : walks_)
        walk->cancelled = true;
    walks_.clear();
    showWalkProgress();
    WMPView->showNotice(QStringLiteral("Adding cancelled: nothing was added"));
}

void Form1::AddFolderToPlaylist() {
    const Media& playing = WMP->currentMedia();
    const QString start =
        playing ? QFileInfo(playing->sourceURL()).absolutePath() : QDir::homePath();
    const QString folder = filePicker_.pickFolder(QStringLiteral("Add Folder To Playlist"), start);
    if (!folder.isEmpty())
        walkFolders({QDir::cleanPath(folder)}, {});
}
