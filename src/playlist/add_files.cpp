#include "app/form1.h"

#include "app/trap.h"
#include "platform/audio_types.h"
#include "platform/dir_name.h"
#include "platform/faithful_path.h"
#include "platform/open_dialog.h"
#include "playlist/add_steps.h"
#include "playlist/list_view.h"

QString openDialogFilter() {
    const QString patterns = audio_types::namePatterns().join(QLatin1Char(';'));
    return QStringLiteral("Audio Files (%1)|%1|All Files (*.*)|*.*|").arg(patterns);
}

void Form1::addSelection(Trap& trap, const QString& selection, const AddSteps& steps) {
    restorePending(); // the restored list comes first
    QStringList parts;
    trap(steps.split, [&] { parts = selection.split(QChar(0)); });
    int base = 0;
    trap(steps.slotBase, [&] { base = FreshPlaylist ? 0 : PlayerPlaylist->count(); });
    trap(steps.pause, [&] {
        if (WMP->playState() == Player::Playing)
            WMP->pause();
    });
    const int n = static_cast<int>(parts.size()) - 1;
    QStringList refused;
    // Each file joins under its own name; one whose name Qt could not read
    // faithfully joins neither half.
    auto append = [&](const QString& path, int slot) {
        if (isFaithfulPath(path))
            AppendEntry(GetFileNameFromPath(path), path, slot);
        else
            refused << path;
    };
    if (n == 0) {
        trap(steps.oneFile, [&] { append(parts[0], base); });
    } else {
        // The folder part is used as it stands, with one separator after it.
        for (int i = 1; i <= n; ++i)
            trap(steps.loop, [&] { append(parts[0] + QLatin1Char('/') + parts[i], base + i - 1); });
    }
    // Handing the playlist over to the player starts it: entry 1 is then the one selected and the
    // one heard, so a Delete never takes a file nobody heard.
    trap(steps.handOver, [&] {
        WMP->setCurrentPlaylist(PlayerPlaylist);
        PlayNew(1);
    });
    trap(steps.selectFirst, [&] {
        if (ListView1->Count() > 0) // empty only when every file was refused
            ListView1->SetSelected(1, true);
    });
    trap(steps.save, [&] { SaveListAndOptions(); });
    trap(steps.notFresh, [&] { FreshPlaylist = false; });
    if (!refused.isEmpty())
        dialogs_.showMessage(refusedNamesMessage(refused), AppTitle, MessageIcon::Warning);
}

void Form1::PushButton4_Click() {
    Trap trap(dialogs_, "PushButton4_Click");
    trap(100, [&] { CommonDialog1->DialogTitle = QStringLiteral("Open File"); });
    trap(102, [&] { CommonDialog1->FilterIndex = 1; });
    trap(104, [&] { CommonDialog1->Flags = kOpenDialogFlags; });
    trap(106, [&] { CommonDialog1->FileName.clear(); });
    trap(108, [&] { CommonDialog1->Filter = openDialogFilter(); });
    bool tooMany = false;
    trap(110, [&] {
        try {
            CommonDialog1->ShowOpen();
        } catch (const Failure& failure) {
            if (failure.number() != OpenDialog::kBufferTooSmall)
                throw;
            tooMany = true;
        }
    });
    if (tooMany) {
        dialogs_.showMessage(QStringLiteral("You've selected too many files to add.\r\r"
                                            "Please try adding via the \"Add All\" button."),
                             AppTitle, MessageIcon::None);
        return;
    }
    if (CommonDialog1->FileName.isEmpty())
        return;
    addSelection(trap, CommonDialog1->FileName, {124, 128, 136, 146, 154, 162, 166, 168, 170});
}
