#include "app/form1.h"

#include "app/trap.h"
#include "platform/dialogs.h"
#include "platform/disk_call.h"
#include "platform/open_dialog.h"
#include "platform/product.h"
#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "recycle/move_file.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

namespace {

constexpr int kFirstFolderKey = 1, kLastFolderKey = 9;
// Closing waits this long for a cancelled copy to clear up after itself.
constexpr int kCancelledCopyWaitMs = 3000;

QString folderName(const QString& folder) {
    const QString name = QFileInfo(folder).fileName();
    return name.isEmpty() ? folder : name;
}

// "Moved to Keep: take.wav — Ctrl+Z to undo", with when it happened ("after
// all") and the name it got there when its own was taken.
QString movedNotice(const QString& from, const QString& to, const QString& when) {
    const QString name = QFileInfo(from).fileName(), newName = QFileInfo(to).fileName();
    const QString place = folderName(QFileInfo(to).absolutePath()) + when;
    return newName == name
               ? QStringLiteral("Moved to %1: %2 \u2014 Ctrl+Z to undo").arg(place, name)
               : QStringLiteral("Moved to %1: %2, as %3 (the name was taken) \u2014 Ctrl+Z to "
                                "undo")
                     .arg(place, name, newName);
}

// What the worker brings back: where the file went and what it is there.
struct MoveOutcome {
    moving::Moved moved;
    FileIdentity arrived;
};

} // namespace

void Form1::LoadFolderBindings() {
    const QHash<QString, QString> bound = settings_.folderBindings();
    for (int n = kFirstFolderKey; n <= kLastFolderKey; ++n) {
        const QString folder = bound.value(QString::number(n));
        // Only absolute paths: a relative one would depend on where the program was started.
        BoundFolders[n] = QDir::isAbsolutePath(folder) ? QDir::cleanPath(folder) : QString();
    }
    showFolderKeys();
}

void Form1::showFolderKeys() {
    QStringList parts;
    for (int n = kFirstFolderKey; n <= kLastFolderKey; ++n)
        if (!BoundFolders[n].isEmpty())
            parts << QStringLiteral("Ctrl+%1 %2").arg(n).arg(folderName(BoundFolders[n]));
    WMPView->showFolderKeys(parts.join(QStringLiteral(" \u00b7 ")));
}

bool Form1::ChooseFolderFor(int number) {
    if (number < kFirstFolderKey || number > kLastFolderKey || QApplication::activeModalWidget())
        return false;
    const QString start =
        BoundFolders[number].isEmpty()
            ? QFileInfo(WMP->currentMedia() ? WMP->currentMedia()->sourceURL() : QString())
                  .absolutePath()
            : BoundFolders[number];
    const QString chosen =
        filePicker_.pickFolder(QStringLiteral("Folder for Ctrl+%1").arg(number), start);
    if (chosen.isEmpty())
        return false;
    const QString folder = QDir::cleanPath(QFileInfo(chosen).absoluteFilePath());
    settings_.bindFolder(QString::number(number), folder);
    BoundFolders[number] = folder;
    showFolderKeys();
    return true;
}

void Form1::MoveToFolderKey(int number) {
    Trap trap(dialogs_, "MoveToFolderKey");
    // Not behind a box, and never while a delete or an add is half done.
    if (number < kFirstFolderKey || number > kLastFolderKey || QApplication::activeModalWidget() ||
        BusyUpdating || ListView1->Count() == 0)
        return;
    if (BoundFolders[number].isEmpty() && !ChooseFolderFor(number))
        return;
    trap(100, [&] { BusyUpdating = true; });
    trap(102, [&] { movePlaying(trap, number); });
    trap(104, [&] { SaveListAndOptions(); });
    trap(106, [&] { BusyUpdating = false; });
}

void Form1::movePlaying(Trap& trap, int number) {
    if (!DeleteReady) {
        sayTooSoon(true);
        return;
    }
    if (!ListView1->HasSelection() || !mayDeletePlaying(true))
        return;
    deleteAsked_.start();
    const int n = ListView1->SelectedIndex();
    const QString path = ListView1->Path(n);
    const QString folder = BoundFolders[number];
    const QString name = QFileInfo(path).fileName();
    const QString target = QDir(folder).filePath(name);
    // Keyed by the target, so a folder that stops answering is the one left alone.
    const std::optional<bool> across =
        disk::call<bool>(target, [path, folder] { return moving::acrossDrives(path, folder); });
    if (across && *across)
        return moveAcross(trap, n, number);
    // Stopped before the file is touched, so the player has let go of it.
    trap(108, [&] { WMP->stop(); });
    const std::optional<MoveOutcome> outcome = disk::call<MoveOutcome>(
        target,
        [path, folder] {
            MoveOutcome done{moving::moveInto(path, folder), {}};
            if (!done.moved.to.isEmpty())
                done.arrived = identityNow(done.moved.to);
            return done;
        },
        across ? disk::kMoveMs : 0, // not at all when the drive did not answer
        [path, n,
         toWindow = onWindowThread("MoveToFolderKey", &Form1::MovedLate)](const MoveOutcome& late) {
            if (!late.moved.to.isEmpty())
                toWindow(SentFile{path, late.moved.to, {}, n, late.arrived, {}, {}});
        });
    if (!outcome || outcome->moved.to.isEmpty()) {
        WMPView->showNotice(QStringLiteral("Not moved: %1").arg(name));
        pauseDeletes(deleteAsked_.elapsed());
        moving::Moved failed;
        failed.failure = QStringLiteral("Its drive is not answering.");
        sayMoveFailed(outcome ? outcome->moved : failed, path, folder, number);
        trap(110, [&] { PlayNew(n); }); // the file stays, and plays on from its start
        return;
    }
    const QString movedTo = outcome->moved.to;
    // Its entries leave the list and the player, as a removal takes them; the
    // file is already gone, so no entry may go on naming it.
    QList<int> places;
    trap(112, [&] { places = removeEntriesOf(path); });
    places.removeOne(n);
    SentFile sent{path, movedTo, {}, n, outcome->arrived, places, {}};
    rememberSent(sent);
    Recycled.moved(sent);
    WMPView->showNotice(movedNotice(path, movedTo, QString()));
    trap(114, [&] { pauseDeletes(deleteAsked_.elapsed()); });
    // The entry that moved up into its place, or entry 1 after the last; as
    // after a delete, it is taken only once it has played a moment.
    trap(116, [&] {
        if (ListView1->Count() > 0)
            outsideSwitch([&] { PlayNew(entryAfterRemoval(n, places)); });
    });
    trap(118, [&] { WMPView->setFocus(); });
}

void Form1::sayMoveFailed(const moving::Moved& moved, const QString& path, const QString& folder,
                          int number) {
    if (moved.folderGone) {
        if (dialogs_.askYesNo(QStringLiteral("The folder for Ctrl+%1 is not there any "
                                             "more:\r\n%2\r\n\r\nChoose another folder?")
                                  .arg(number)
                                  .arg(folder),
                              kProductName))
            ChooseFolderFor(number);
        return;
    }
    dialogs_.showMessage(
        QStringLiteral("Could not move \"%1\" to %2:\r\n%3").arg(path, folder, moved.failure),
        kProductName, MessageIcon::Warning);
}

void Form1::moveAcross(Trap& trap, int entry, int number) {
    const QString path = ListView1->Path(entry);
    // The entries leave at the press and the next file plays while the copy
    // runs; the file itself leaves its folder only once its copy is whole.
    trap(108, [&] { WMP->stop(); });
    QList<int> places;
    trap(112, [&] { places = removeEntriesOf(path); });
    places.removeOne(entry);
    Copies->add({path, BoundFolders[number], entry, places, number, {}});
    copyProgress_->start();
    showCopyProgress();
    trap(114, [&] { pauseDeletes(deleteAsked_.elapsed()); });
    trap(116, [&] {
        if (ListView1->Count() > 0)
            outsideSwitch([&] { PlayNew(entryAfterRemoval(entry, places)); });
    });
    trap(118, [&] { WMPView->setFocus(); });
}

void Form1::showCopyProgress() {
    if (!Copies->busy()) {
        copyProgress_->stop();
        if (walks_.empty())
            WMPView->showActivity({});
        return;
    }
    if (walks_.empty()) // the walk's count has the line while it runs
        WMPView->showActivity(QStringLiteral("Moving to %1\u2026 %2 %")
                                  .arg(folderName(Copies->folder()))
                                  .arg(Copies->percent()));
}

bool Form1::CancelNewestCopy() {
    return Copies->busy() && Copies->cancelNewest();
}

void Form1::CopyFinished(const CopyQueue::Outcome& outcome) {
    Trap trap(dialogs_, "MoveToFolderKey");
    const CopyQueue::Job& job = outcome.job;
    const QString name = QFileInfo(job.path).fileName();
    showCopyProgress();
    // The user chose to wait for the copies before the window closes: once
    // this one is handled, the window closes if it was the last.
    if (closeOnceCopied_ && !Copies->busy())
        QTimer::singleShot(0, this, &QWidget::close);
    if (job.back) {
        UndoCopyFinished(outcome);
        return;
    }
    if (!outcome.moved.to.isEmpty()) {
        // An entry of the file added while it was copied names nothing now.
        trap(100, [&] { removeEntriesOf(job.path); });
        SentFile sent{job.path,        outcome.moved.to, {}, job.entryNumber,
                      outcome.arrived, job.alsoAt,       {}};
        rememberSent(sent);
        Recycled.moved(sent);
        trap(102, [&] { SaveListAndOptions(); });
        WMPView->showNotice(movedNotice(job.path, outcome.moved.to, QString()));
        return;
    }
    // The file stayed where it was: its entries come back where they were.
    trap(104, [&] { insertRestored({job.path, {}, {}, job.entryNumber, {}, job.alsoAt, {}}); });
    trap(106, [&] { SaveListAndOptions(); });
    if (outcome.cancelled) {
        WMPView->showNotice(
            QStringLiteral("Move to %1 cancelled: %2").arg(folderName(job.folder), name));
        return;
    }
    WMPView->showNotice(QStringLiteral("Not moved: %1").arg(name));
    sayMoveFailed(outcome.moved, job.path, job.folder, job.key);
}

void Form1::MovedLate(const SentFile& file) {
    Trap trap(dialogs_, "MoveToFolderKey");
    // Its entries leave the list and the player, as the move would have taken them.
    SentFile moved = file;
    trap(100, [&] { moved.alsoAt = removeEntriesOf(file.originalPath); });
    moved.alsoAt.removeOne(moved.entryNumber);
    rememberSent(moved);
    Recycled.moved(moved);
    trap(102, [&] { SaveListAndOptions(); });
    WMPView->showNotice(movedNotice(file.originalPath, file.sentTo, QStringLiteral(" after all")));
}

bool Form1::mayCloseDuringCopy() {
    const int answer = dialogs_.askChoice(
        QStringLiteral("A file is still being copied to %1.").arg(folderName(Copies->folder())),
        kProductName, {QStringLiteral("Wait"), QStringLiteral("Cancel the copy")});
    if (answer != 1) {
        closeOnceCopied_ = true; // the window closes once the last copy is done
        return false;
    }
    closeOnceCopied_ = false;
    Copies->cancelAll();
    // A cancelled copy removes what it wrote at once, unless its drive hangs:
    // then the window goes anyway, the file still where it was.
    if (Copies->busy()) {
        QEventLoop cleared;
        connect(Copies, &CopyQueue::finished, &cleared, [&] {
            if (!Copies->busy())
                cleared.quit();
        });
        QTimer::singleShot(kCancelledCopyWaitMs, &cleared, &QEventLoop::quit);
        cleared.exec();
    }
    return true;
}
