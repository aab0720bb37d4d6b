#include "app/form1.h"

#include "app/trap.h"
#include "platform/dir_name.h"
#include "playback/player_widget.h"
#include "playlist/list_view.h"

void Form1::PlayNew(int entryNumber) {
    Trap trap(dialogs_, "PlayNew");
    if (!trap.test(100, [&] { return ListView1->Count() > 0; }))
        return;
    int t = 0;
    trap(102, [&] {
        const int n = ListView1->Count();
        t = entryNumber > n ? 1 : entryNumber < 1 ? n : entryNumber;
    });
    PlaylistEntry target;
    trap(104, [&] { target = {ListView1->Text(t), ListView1->Path(t)}; });
    trap(106, [&] {
        if (WMP->playState() == Player::Playing)
            WMP->pause();
    });
    trap(108, [&] { ListView1->Refresh(); });
    Media match;
    trap(110, [&] {
        // The first item made from this entry's own file; a namesake in another
        // folder never stands in for it.
        const Playlist& items = currentItems();
        for (int i = 0; i < items.count(); ++i)
            if (items.Item(i)->sourceURL() == target.path) {
                if (entryOwnsItem(target, *items.Item(i)))
                    match = items.Item(i);
                return;
            }
    });
    trap(112, [&] {
        if (isVisible())
            ListView1->setFocus();
    });
    trap(114, [&] {
        if (!match)
            return;
        WMP->playItem(match);
        // Chosen here counts as heard, also when it was the player's current
        // item already (the player then tells of no change).
        followHearing(Player::ChangeCause::PlayItem);
        ListView1->SetNotAnswering(t, false); // its drive answers again
    });
    trap(116, [&] {
        for (const int chosen : ListView1->SelectedEntries())
            if (chosen != t)
                ListView1->SetSelected(chosen, false);
        if (!ListView1->Selected(t))
            ListView1->SetSelected(t, true);
    });
    trap(118, [&] {
        if (!BusyUpdating)
            WMPView->setFocus();
    });
    trap(120, [&] { ListView1->SetSelected(t, true); });
}
