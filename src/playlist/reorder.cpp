#include "app/form1.h"

#include "playback/player_widget.h"
#include "playlist/list_view.h"

#include <QCursor>
#include <QPixmap>

namespace {
// Screen rows (pixels from the top of the screen) above and below which a drag
// scrolls the list one entry further.
constexpr int kScrollUpAbove = 305;
constexpr int kScrollDownBelow = 364;
} // namespace

void Form1::ListView1_MouseDown() {
    ListMouseDown = true;
}

void Form1::ListView1_ItemClick(int) {
    ListView1->MouseIcon = QCursor(); // the arrow, when drag.ico is missing or unreadable
    const QPixmap drag(programFolder_ + QStringLiteral("/drag.ico"));
    if (!drag.isNull())
        ListView1->MouseIcon = QCursor(drag);
    ListView1->SetMousePointer(99);
    DragItem = ListView1->HasSelection() ? ListView1->EntryRef(ListView1->SelectedIndex())
                                         : QPersistentModelIndex();
}

void Form1::ListView1_MouseMove(const QPoint& at) {
    SetMousePointer(0);
    if (!ListMouseDown)
        return;
    const int hit = ListView1->HitTest(at);
    const int dragged = ListView1->PositionOf(DragItem); // 0 once that entry was removed
    if (hit == 0 || dragged == 0 || ListView1->Text(hit) == ListView1->Text(dragged))
        return;
    // Exchange the two entries; each path travels with its text, and with the
    // mark of a drive that does not answer.
    const PlaylistEntry carried = ListView1->EntryAt(dragged);
    const PlaylistEntry other = ListView1->EntryAt(hit);
    ListView1->SetEntry(dragged, other.text, other.path);
    ListView1->SetNotAnswering(dragged, other.notAnswering);
    ListView1->SetEntry(hit, carried.text, carried.path);
    ListView1->SetNotAnswering(hit, carried.notAnswering);
    ListView1->SetSelected(hit, true);
    DragItem = ListView1->EntryRef(hit);
    const int row = QCursor::pos().y();
    if (row < kScrollUpAbove && hit - 1 >= 1)
        ListView1->EnsureVisible(hit - 1);
    else if (row > kScrollDownBelow && hit + 1 <= ListView1->Count())
        ListView1->EnsureVisible(hit + 1);
}

void Form1::ListView1_MouseUp() {
    ListMouseDown = false;
    ListView1->SetMousePointer(1);
}

void Form1::ListView1_Click() {
    if (BusyUpdating || PlayerHasFocus)
        return;
    if (ListView1->Count() > 0 && ListView1->HasSelection()) {
        PlayNew(ListView1->SelectedIndex());
        WMPView->setFocus();
    }
}

void Form1::ListView1_KeyboardChoice(int entry) {
    // The entry chosen is the one that plays, or the next Delete would take a
    // file nobody heard. The focus stays in the list, so the next key walks on.
    const bool busy = std::exchange(BusyUpdating, true);
    PlayNew(entry);
    BusyUpdating = busy;
}
