#include "app/form1.h"

#include "app/trap.h"
#include "platform/dialogs.h"
#include "platform/dir_name.h"
#include "platform/faithful_path.h"
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
#include <QPixmap>
#include <optional>

namespace {

constexpr int kLongestAppTitle = 40;

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
    QStringList refused;
    QStringList names;
    QList<bool> unanswered; // by a drive that stopped answering: kept, and marked
    trap(160, [&] {
        names = dirNames(paths, &unanswered);
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
        else if (unanswered.value(i) && !GetFileNameFromPath(paths[i]).isEmpty())
            entries.push_back({{GetFileNameFromPath(paths[i]), paths[i], true}, i});
    }
    trap(162, [&] { AppendEntries(entries); });
    if (!refused.isEmpty())
        dialogs_.showMessage(refusedNamesMessage(refused), AppTitle, MessageIcon::Warning);
    trap(170, [&] { WMP->setCurrentPlaylist(PlayerPlaylist); });
    // The restored entry plays without the user choosing it.
    trap(172, [&] { outsideSwitch([&] { PlayNew(0); }); });
    trap(174, [&] { FreshPlaylist = false; });
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
