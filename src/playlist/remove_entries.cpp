#include "app/form1.h"

#include "app/trap.h"
#include "playback/player_widget.h"
#include "playlist/list_view.h"

#include <QTimer>

void Form1::PushButton5_Click() {
    Trap trap(dialogs_, "PushButton5_Click");
    if (!trap.test(100, [&] { return ListView1->Count() > 0; }))
        return;
    int p = 0;
    trap(102, [&] { p = ListView1->SelectedIndex(); });
    trap(104, [&] { ListView1->setFocus(); });
    trap(106, [&] { del_list2(0); });
    // No delete to the Trash right after a removal: a double press must not take a file.
    trap(108, [&] { pauseDeletes(); });
    trap(110, [&] {
        if (p > ListView1->Count())
            p = 1;
    });
    trap(112, [&] { SaveListAndOptions(); });
    trap(114, [&] {
        if (ListView1->Count() > 0)
            PlayNew(p);
    });
    trap(116, [&] { WMP->play(); });
    trap(118, [&] { WMPView->setFocus(); });
}

void Form1::PushButton8_Click() {
    Trap trap(dialogs_, "PushButton8_Click");
    restorePending(); // what is cleared is the list as restored
    trap(100, [&] { ListView1->Clear(); });
    trap(102, [&] { WMP->stop(); });
    trap(104, [&] { PlayerPlaylist->clear(); });
    trap(106, [&] { SaveListAndOptions(); });
}

void Form1::ListView1_DblClick() {
    PushButton6_Click();
}
