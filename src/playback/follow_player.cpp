#include "app/form1.h"

#include "app/trap.h"
#include "playlist/list_view.h"

void Form1::WMP_CurrentItemChange(const Media& item, Player::ChangeCause cause) {
    Trap trap(dialogs_, "WMP_CurrentItemChange");
    // The player's own moves (end of an item, shuffle, its own keys) are followed
    // whatever has the focus, or the next Delete would take the file that has
    // finished. Changes the program makes through PlayNew are followed only while
    // the player has the focus; PlayNew selects its entry itself.
    if (!PlayerHasFocus && cause == Player::ChangeCause::PlayItem)
        return;
    int k = 0;
    trap(102, [&] {
        // The entry whose own file this is: the first entry of this path, if it is
        // still a plain file of that entry's name.
        for (int i = 1; i <= ListView1->Count(); ++i)
            if (ListView1->Path(i) == item->sourceURL()) {
                if (entryOwnsItem({ListView1->Text(i), ListView1->Path(i)}, *item))
                    k = i;
                return;
            }
    });
    // An item with no entry (a hidden file, a dropped folder, a FIFO) leaves no
    // entry selected: the finished file's entry stays put, and a Delete then
    // must not take it for the one playing.
    if (k == 0) {
        trap(108, [&] { ListView1->clearSelection(); });
        return;
    }
    if (trap.test(104, [&] { return ListView1->Selected(k); }))
        return;
    trap(106, [&] {
        for (const int chosen : ListView1->SelectedEntries())
            ListView1->SetSelected(chosen, false);
        ListView1->SetSelected(k, true);
    });
}

void Form1::WMP_GotFocus() {
    PlayerHasFocus = true;
}

void Form1::WMP_LostFocus() {
    PlayerHasFocus = false;
}

void Form1::WMP_DoubleClick() {
    if (WMP->playState() == Player::Playing)
        WMP->setFullScreen(true);
}

void Form1::WMP_MouseMove() {
    SetMousePointer(0);
}
