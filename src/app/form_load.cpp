#include "app/form1.h"

#include "app/trap.h"
#include "platform/dialogs.h"
#include "platform/dir_name.h"
#include "platform/disk_call.h"
#include "platform/faithful_path.h"
#include "platform/leftovers.h"
#include "platform/open_dialog.h"
#include "platform/product.h"
#include "playback/level_match.h"
#include "playback/player_widget.h"
#include "playlist/add_steps.h"
#include "playlist/list_view.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "ui/app_icon.h"
#include "ui/pointer_file.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHash>
#include <QPixmap>
#include <QSet>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>
#include <mutex>
#include <optional>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

constexpr int kLongestAppTitle = 40;
// The look for a long restored list's files gives way to the start-up it runs beside.
constexpr int kLookNice = 10;
// How long the window waits for a short restored list's folders before it
// shows their entries anyway.
constexpr int kWindowLookMs = 100;

} // namespace

void Form1::SetAppTitle() {
    // Cut at the last space at least once, then again while too long. A name
    // without spaces has nothing to cut at and is kept whole.
    QString title = kProductName;
    do {
        const qsizetype space = title.lastIndexOf(QLatin1Char(' '));
        if (space < 0)
            break;
        title.truncate(space);
    } while (title.size() > kLongestAppTitle);
    AppTitle = title.isEmpty() ? kProductName : title;
}

void Form1::restorePlaylist(Trap& trap, int count) {
    namespace keys = settings_keys;
    if (trap.test(150, [&] { return WMP->playState() == Player::Playing; }))
        trap(154, [&] { WMP->pause(); });
    // Keys beyond the last Song key that exists would all read empty; a count far
    // beyond them (two thousand million, say) must not hold start-up up.
    int last = 0;
    trap(156, [&] { last = settings_.songKeyLimit(count); });
    std::optional<QStringList> atHand;
    trap(158, [&] { atHand = settings_.songsAtHand(last); });
    QStringList paths = atHand ? std::move(*atHand) : QStringList(last);
    QString key;
    if (!atHand) // a read that fails leaves its slot empty
        for (int i = 0; i < last; ++i)
            trap(158, [&] { paths[i] = settings_.read(keys::songKey(key, i), QString()); });
    restoredPaths_ = paths; // shared, not copied
    // A long list comes into the window once the window is on the screen, and
    // its files are looked for on a worker: making a hundred thousand entries
    // and reading their folders take longer than bringing up the window.
    if (last >= kRestoreAfterShowFrom) {
        lookForRestoredFiles(paths); // beside the start, on a core of its own
        // Their marks too: they are known by path before the entries are made.
        if (History) {
            lookForHeard(paths);
            restoreLookedForHeard_ = true;
        }
        pendingRestore_ = std::move(paths);
        // A window never shown (a test's) gets its list in the next round of events.
        QTimer::singleShot(0, this, [this] {
            if (!isVisible())
                restorePending();
        });
        return;
    }
    fillRestored(trap, paths, false);
}

void Form1::restorePending() {
    if (!pendingRestore_)
        return;
    const QStringList paths = std::move(*pendingRestore_);
    pendingRestore_.reset();
    Trap trap(dialogs_, "Form_Load");
    fillRestored(trap, paths, true);
}

void Form1::fillRestored(Trap& trap, const QStringList& paths, bool lookLater) {
    const int last = int(paths.size());
    QStringList refused;
    QStringList names;
    QList<bool> unanswered; // by a drive that stopped answering: kept, and marked
    // Until the look answers, every entry stands.
    trap(160, [&] {
        if (lookLater) {
            names.reserve(last);
            for (const QString& path : paths)
                names << GetFileNameFromPath(path);
        } else {
            names = dirNames(paths, &unanswered, kWindowLookMs,
                             lateNames(onWindowThread("Form_Load", &Form1::LateFilesFound)));
        }
        for (int i = 0; i < last; ++i)
            if (!isFaithfulPath(paths[i])) {
                refused << paths[i];
                names[i].clear();
            }
    });
    // The entries, their media items in slot i (the saved index) and the player items, together.
    std::vector<NewEntry> entries;
    entries.reserve(static_cast<size_t>(last));
    for (int i = 0; i < names.size(); ++i) {
        if (!names[i].trimmed().isEmpty())
            entries.push_back({{names[i], paths[i]}, i});
        else if (unanswered.value(i) && !GetFileNameFromPath(paths[i]).isEmpty()) {
            // The window waits for no folder long: one that has not answered
            // yet is shown unmarked, and marked once it stays silent.
            entries.push_back({{GetFileNameFromPath(paths[i]), paths[i]}, i});
            overdueLooks_.insert(paths[i]);
        }
    }
    if (!overdueLooks_.isEmpty())
        QTimer::singleShot(disk::kSilentMs - kWindowLookMs, this, [this] { markSilentLooks(); });
    trap(162, [&] { AppendEntries(entries); });
    if (!refused.isEmpty())
        dialogs_.showMessage(refusedNamesMessage(refused), AppTitle, MessageIcon::Warning);
    trap(170, [&] { WMP->setCurrentPlaylist(PlayerPlaylist); });
    // The restored entry plays without the user choosing it (a long list's
    // once the look has answered).
    if (!lookLater)
        trap(172, [&] { outsideSwitch([&] { PlayNew(0); }); });
    trap(174, [&] { FreshPlaylist = false; });
}

void Form1::lookForRestoredFiles(const QStringList& paths) {
    ++restoreLooks_;
    // A folder that answers after the look gave up on it, but before the look
    // is done, is told with the rest; one after that, on its own.
    struct LateBox {
        std::mutex mutex;
        bool told = false;
        QHash<QString, QString> early; // path, name
    };
    auto box = std::make_shared<LateBox>();
    const auto toLate = onWindowThread("Form_Load", &Form1::LateFilesFound);
    const auto late = [box, toLate](const FoundFiles& answer) {
        const std::lock_guard lock(box->mutex);
        if (box->told) {
            toLate(answer);
            return;
        }
        for (qsizetype i = 0; i < answer.paths.size(); ++i)
            box->early.insert(answer.paths[i], answer.names[i]);
    };
    std::thread([paths, box, late,
                 toWindow = onWindowThread("Form_Load", &Form1::RestoredFilesFound)] {
        // Behind the window's own start and the display's work of showing it.
        ::setpriority(PRIO_PROCESS, pid_t(::syscall(SYS_gettid)), kLookNice);
        FoundFiles found{paths, {}, {}};
        found.names = dirNames(paths, &found.unanswered, disk::kSilentMs, lateNames(late));
        const std::lock_guard lock(box->mutex);
        if (!box->early.isEmpty())
            for (qsizetype i = 0; i < found.paths.size(); ++i)
                if (const auto answer = box->early.constFind(found.paths[i]);
                    answer != box->early.cend()) {
                    found.names[i] = *answer;
                    found.unanswered[i] = false;
                }
        toWindow(found);
        box->told = true;
    }).detach();
}

LateNames Form1::lateNames(std::function<void(FoundFiles)> tell) {
    return [tell = std::move(tell)](const QStringList& paths, const QStringList& names) {
        tell(FoundFiles{paths, names, {}});
    };
}

void Form1::markSilentLooks() {
    if (overdueLooks_.isEmpty())
        return;
    for (int i = 1; i <= ListView1->Count(); ++i)
        if (overdueLooks_.contains(ListView1->Path(i)))
            ListView1->SetNotAnswering(i, true);
    overdueLooks_.clear();
}

void Form1::LateFilesFound(const FoundFiles& late) {
    // The entries stay, whatever the answer: the user has seen them, and a
    // drive that comes back with an error is no proof that a file is gone.
    QSet<QString> answered;
    for (const QString& path : late.paths) {
        overdueLooks_.remove(path);
        answered.insert(path);
    }
    for (int i = 1; i <= ListView1->Count(); ++i)
        if (answered.contains(ListView1->Path(i)))
            ListView1->SetNotAnswering(i, false);
}

void Form1::dropMissingRestored(const QSet<QString>& missing) {
    if (missing.isEmpty())
        return;
    for (size_t i = 0; i < MediaSlots.size(); ++i)
        if (MediaSlots[i] && missing.contains(MediaSlots[i]->sourceURL()))
            MediaSlots[i].reset();
    ListView1->RemoveWhere([&](const ListView::Entry& e) { return missing.contains(e.path); });
    PlayerPlaylist->removeWhere(
        [&](const MediaItem& item) { return missing.contains(item.sourceURL()); });
    if (ListView1->Count() == 0)
        PlayerPlaylist->clear();
}

void Form1::RestoredFilesFound(const FoundFiles& found) {
    restorePending(); // the answer may come before the window is up
    --restoreLooks_;
    QSet<QString> missing, unanswered;
    for (qsizetype i = 0; i < found.paths.size(); ++i) {
        if (found.unanswered.value(i))
            unanswered.insert(found.paths[i]);
        else if (found.names[i].trimmed().isEmpty())
            missing.insert(found.paths[i]);
    }
    // By path: entries may have come, gone or moved since they were shown.
    dropMissingRestored(missing);
    if (!unanswered.isEmpty())
        for (int i = 1; i <= ListView1->Count(); ++i)
            if (unanswered.contains(ListView1->Path(i)))
                ListView1->SetNotAnswering(i, true);
    // Unless the user, a drop or the command line chose a file meanwhile.
    if (!WMP->currentMedia() && ListView1->Count() > 0)
        outsideSwitch([&] { PlayNew(0); });
}

void Form1::Form_Load() {
    namespace keys = settings_keys;
    Trap trap(dialogs_, "Form_Load");
    loading_ = true;
    trap(100, [&] { ApplySkin(); });
    trap(102, [&] {
        setWindowTitle(kProductName);
        setWindowIcon(makeAppIcon());
        SetAppTitle();
    });
    const QString hand = programFolder_ + QStringLiteral("/HAND-M.CUR");
    if (trap.test(104, [&] { return FileExists(hand); }))
        trap(106, [&] {
            const QPixmap picture(hand);
            if (picture.isNull())
                throw Failure(QStringLiteral("The pointer %1 is not a picture").arg(hand));
            // Where the fingertip is, as the cursor file says; a plain picture
            // would put the click point at its centre.
            const QPoint tip = cursorHotSpot(hand);
            MouseIcon = QCursor(picture, tip.x(), tip.y());
        });
    trap(124, [&] {
        ListView1->AddColumn(QStringLiteral("Audio Playlist - Drag and drop files here"));
    });
    trap(126, [&] { ListView1->SetColumnWidthTwips(1, 3550); });
    trap(128, [&] { CommonDialog1->DialogTitle = QStringLiteral("Open File"); });
    trap(130, [&] { CommonDialog1->FilterIndex = 1; });
    trap(132, [&] { CommonDialog1->Flags = kOpenDialogFlags; });
    trap(134, [&] { PlayerPlaylist = WMP->newPlaylist(QStringLiteral("pfX")); });
    trap(136, [&] { PlayerPlaylist->clear(); });
    trap(138, [&] { FreshPlaylist = true; });
    trap(140, [&] { PlayerHasFocus = false; });
    int count = 0;
    trap(142, [&] {
        count = toInt32(settings_.read(QLatin1String(keys::kListCount),
                                       QLatin1String(keys::kListCountDefault)));
    });
    trap(144, [&] { BusyUpdating = true; });
    if (trap.test(146, [&] { return count > 0; }))
        restorePlaylist(trap, count);
    trap(176, [&] {
        setBoxValue(*Check1, toInt16(settings_.read(QLatin1String(keys::kShuffle),
                                                    QString::number(boxValue(*Check1)))));
        raiseBoxFailure();
    });
    trap(178, [&] {
        setBoxValue(*Check2, toInt16(settings_.read(QLatin1String(keys::kRepeat),
                                                    QString::number(boxValue(*Check2)))));
        raiseBoxFailure();
    });
    trap(180, [&] { DeleteReady = true; });
    trap(182, [&] { BusyUpdating = false; });
    loading_ = false;
    guarded("LoadFolderBindings", [&] { LoadFolderBindings(); });
    guarded("LoadSoundOptions", [&] { LoadSoundOptions(); });
    sweepLeftovers();
    guarded("bringInEarlierDecisions", [&] { bringInEarlierDecisions(); });
}

void Form1::sweepLeftovers() {
    // Where a kill may have cut off a write: beside the settings file, in the
    // bound folders (a move's copy), and beside the list's files (an undo's).
    QStringList folders;
    if (!settings_.fileName().isEmpty())
        folders << QFileInfo(settings_.fileName()).absolutePath();
    for (const QString& folder : BoundFolders)
        if (!folder.isEmpty())
            folders << folder;
    leftovers::sweepAside(folders, std::exchange(restoredPaths_, {}));
}

void Form1::LoadSoundOptions() {
    namespace keys = settings_keys;
    // A value edited into something else leaves the player as it starts.
    bool number = false;
    const int volume =
        settings_.readOption(QLatin1String(keys::kVolume), QString()).trimmed().toInt(&number);
    if (number && volume >= 0 && volume <= 100)
        WMP->setVolume(volume);
    if (settings_.readOption(QLatin1String(keys::kMute), QString()).trimmed() == QLatin1String("1"))
        WMP->setMute(true);
    if (settings_.readOption(QLatin1String(keys::kLevelMatch), QString()).trimmed() ==
        QLatin1String("1"))
        WMPView->levelMatch().setOn(true);
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!pendingRestore_ || !windowHandle())
        return;
    // Once the window has been painted; or in a moment, should no expose come.
    windowHandle()->installEventFilter(this);
    QTimer::singleShot(kLatestRestoreMs, this, &Form1::restorePending);
}

void Form1::restoreOnceExposed(QObject* watched, QEvent* event) {
    if (watched != windowHandle() || event->type() != QEvent::Expose ||
        !windowHandle()->isExposed())
        return;
    windowHandle()->removeEventFilter(this);
    // After this expose has been painted.
    QTimer::singleShot(0, this, &Form1::restorePending);
}
