#include "app/form1.h"

#include "app/trap.h"
#include "platform/dialogs.h"
#include "platform/disk_call.h"
#include "platform/product.h"
#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "recycle/move_file.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>

namespace {

// A file moved to a folder on another drive comes back by a copy. One that is
// gone from there, or whose drive does not say, is tried here, and the undo
// says at once why it cannot.
bool comesFromAnotherDrive(const SentFile& file) {
    if (file.toTrash())
        return false;
    const QString home = QFileInfo(file.originalPath).absolutePath();
    return disk::call<bool>(file.sentTo,
                            [file, home] { return moving::acrossDrives(file.sentTo, home); })
        .value_or(false);
}

} // namespace

void Form1::UndoDelete() {
    Trap trap(dialogs_, "UndoDelete");
    // Not behind a box, and never while a delete or an add is half done.
    if (QApplication::activeModalWidget() || BusyUpdating)
        return;
    // A copy that has just ended: its record is on its way, and this takes it back.
    if (Copies->newestHasEnded()) {
        QMetaObject::invokeMethod(
            this, [this] { guarded("UndoDelete", [this] { UndoDelete(); }); },
            Qt::QueuedConnection);
        return;
    }
    // During a copy to another drive, Ctrl+Z takes back that move: it stops.
    if (CancelNewestCopy() || Recycled.empty())
        return;
    const SentFile last = Recycled.takeNewest();
    if (comesFromAnotherDrive(last)) {
        Copies->add({last.sentTo, QFileInfo(last.originalPath).absolutePath(), last.entryNumber,
                     last.alsoAt, 0, last});
        copyProgress_->start();
        showCopyProgress();
        return;
    }
    const QString name = QFileInfo(last.originalPath).fileName();
    const QString why = disk::call<QString>(
                            last.originalPath, [last] { return bringBack(last); }, disk::kMoveMs,
                            [last, toWindow = onWindowThread("UndoDelete", &Form1::RestoredLate)](
                                const QString& lateWhy) {
                                if (lateWhy.isEmpty())
                                    toWindow(last);
                            })
                            .value_or(QStringLiteral("Its drive is not answering."));
    if (!why.isEmpty()) {
        sayNotRestored(last, why);
        return;
    }
    rememberUndone(last);
    int at = 0;
    trap(100, [&] { at = insertRestored(last); });
    trap(102, [&] { PlayNew(at); });
    trap(104, [&] { SaveListAndOptions(); });
    trap(106, [&] { FreshPlaylist = false; });
    WMPView->showNotice(QStringLiteral("Restored: %1").arg(name));
}

void Form1::sayNotRestored(const SentFile& file, const QString& why) {
    // That delete cannot be taken back; it leaves the stack, and the next Ctrl+Z goes further.
    rememberRefused(file, why);
    WMPView->showNotice(
        QStringLiteral("Could not restore %1").arg(QFileInfo(file.originalPath).fileName()));
    const QString from =
        file.toTrash() ? QStringLiteral("the Trash") : QFileInfo(file.sentTo).absolutePath();
    dialogs_.showMessage(
        QStringLiteral("Could not restore \"%1\" from %2:\r\n%3").arg(file.originalPath, from, why),
        kProductName, MessageIcon::Warning);
}

void Form1::UndoCopyFinished(const CopyQueue::Outcome& outcome) {
    Trap trap(dialogs_, "UndoDelete");
    const SentFile& last = *outcome.job.back;
    const QString name = QFileInfo(last.originalPath).fileName();
    if (outcome.cancelled) {
        Recycled.moved(last); // still where it was moved: Ctrl+Z may take it back again
        WMPView->showNotice(QStringLiteral("Undo cancelled: %1").arg(name));
        return;
    }
    if (outcome.moved.to.isEmpty()) {
        sayNotRestored(last, outcome.moved.failure);
        return;
    }
    // Back while the user went on: it plays, as an undo's file does, but counts
    // as not yet heard.
    rememberUndone(last);
    int at = 0;
    trap(100, [&] { at = insertRestored(last); });
    trap(102, [&] { outsideSwitch([&] { PlayNew(at); }); });
    trap(104, [&] { SaveListAndOptions(); });
    trap(106, [&] { FreshPlaylist = false; });
    WMPView->showNotice(QStringLiteral("Restored: %1").arg(name));
}

int Form1::insertRestored(const SentFile& file) {
    restorePending(); // the restored list comes first
    // Lowest first, so each goes back where it was among those already back.
    QList<int> places = file.alsoAt;
    places.append(file.entryNumber);
    std::sort(places.begin(), places.end());
    int playing = 0;
    for (const int place : places) {
        const int at = std::clamp(place, 1, ListView1->Count() + 1);
        ListView1->Insert(at, QFileInfo(file.originalPath).fileName(), file.originalPath);
        const Media item = WMP->newMedia(file.originalPath);
        MediaSlots.push_back(item);
        PlayerPlaylist->insertItem(std::min(at - 1, PlayerPlaylist->count()), item);
        if (place == file.entryNumber && playing == 0)
            playing = at;
    }
    WMP->setCurrentPlaylist(PlayerPlaylist);
    return playing;
}

void Form1::RestoredLate(const SentFile& file) {
    Trap trap(dialogs_, "UndoDelete");
    rememberUndone(file);
    trap(100, [&] { insertRestored(file); });
    trap(102, [&] { SaveListAndOptions(); });
    trap(104, [&] { FreshPlaylist = false; });
    WMPView->showNotice(
        QStringLiteral("Restored after all: %1").arg(QFileInfo(file.originalPath).fileName()));
}
