#include "app/form1.h"

#include "app/trap.h"
#include "playlist/list_view.h"
#include "ui/app_icon.h"

namespace {

const QString kProductName = QStringLiteral("Thrennic");
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

void Form1::Form_Load() {
    Trap trap(dialogs_, "Form_Load");
    trap(102, [&] {
        setWindowTitle(kProductName);
        setWindowIcon(makeAppIcon());
        SetAppTitle();
    });
    trap(124, [&] { ListView1->AddColumn(QStringLiteral("Audio Playlist - Drag and drop files here")); });
    trap(126, [&] { ListView1->SetColumnWidthTwips(1, 3550); });
    trap(134, [&] { PlayerPlaylist = WMP->newPlaylist(QStringLiteral("pfX")); });
    trap(136, [&] { PlayerPlaylist->clear(); });
    trap(138, [&] { FreshPlaylist = true; });
    trap(140, [&] { PlayerHasFocus = false; });
    trap(180, [&] { DeleteReady = true; });
    trap(182, [&] { BusyUpdating = false; });
}
