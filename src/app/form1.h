#pragma once

#include "app/platform.h"
#include "platform/dir_name.h"
#include "platform/folder_tree.h"
#include "platform/held_keys.h"
#include "playback/played_time.h"
#include "playback/player.h"
#include "playlist/playlist_entry.h"
#include "recycle/copy_queue.h"
#include "recycle/trash_undo.h"

#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QHash>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

class QCheckBox;
class QCloseEvent;
class HistoryStore;
class SettingsStore;
class QGroupBox;
class QMimeData;
class QTimer;
class DeleteKeyLatch;
class OpenDialog;
class FilePicker;
class SkinEngine;
class Dialogs;
class ListView;
class PlayerWidget;
class PushButton;

// Deletes to the Trash are ignored for this long after each delete or removal,
// so a held or repeated key never takes a second file by accident.
inline constexpr int kDeletePauseMs = 1500;

// The main window. This header is the map: every control, flag and handler of
// the program, grouped by subsystem. Members are defined in the folder of the
// subsystem they belong to.
class Form1 : public QWidget {
    Q_OBJECT
  public:
    explicit Form1(Platform platform);
    ~Form1() override;

    // ---- Application shell (src/app) ------------------------------------
    void Form_Load();          // start-up: player playlist, restore, options
    void SaveListAndOptions(); // options and the player's playlist to the store
    void LoadSoundOptions();   // the volume, mute and level matching left last time ([Options])
    void sweepLeftovers();     // temporaries a kill left, removed on a worker
    void Form_QueryUnload();   // closing: save, then let pending events run
    void Form_Unload();        // end the program; nothing of the window runs after
    void sayNotSaved();        // the last save has not landed when closing may wait no longer
    QString AppTitle;          // caption of boxes that give none of their own
    void SetAppTitle();        // product name cut at spaces to at most 40 characters
    // A restored list this long comes into the window once the window is on
    // the screen (at the latest after kLatestRestoreMs), its files looked for
    // then; an add or a save before that brings it in first.
    static constexpr int kRestoreAfterShowFrom = 5000;
    static constexpr int kLatestRestoreMs = 500;
    void restorePending(); // brings such a list in now, if it is still to come
    bool RestorePending() const { return pendingRestore_.has_value(); }
    struct FoundFiles {
        QStringList paths, names; // a name is empty when its file is not there
        QList<bool> unanswered;   // its drive did not answer
    };
    // What the look found: entries whose files are gone leave, those on a
    // drive that does not answer are marked, and the last entry plays.
    void RestoredFilesFound(const FoundFiles& found);
    // A folder the look left behind answered after all: its entries lose
    // their mark (or wait for it no more) and stay in the list.
    void LateFilesFound(const FoundFiles& late);
    // The look for the restored files, or a folder it waits for, is under way.
    bool LookingForRestoredFiles() const { return restoreLooks_ > 0 || !overdueLooks_.isEmpty(); }
    Dialogs& dialogs() { return dialogs_; }
    // An event handler without a trap of its own reports a failure under its
    // name and carries on; nothing escapes into Qt's event loop.
    void ReportHandlerFailure(const char* handler, const std::exception& e);
    template <class Handler> void guarded(const char* handler, Handler&& run) noexcept {
        try {
            run();
        } catch (const std::exception& e) {
            ReportHandlerFailure(handler, e);
        } catch (...) {
            ReportHandlerFailure(handler, std::runtime_error("Unknown error"));
        }
    }

    // ---- Controls (laid out in src/app/form1.cpp) -----------------------
    std::unique_ptr<Player> WMP;        // the media player
    PlayerWidget* WMPView = nullptr;    // the player on screen: waveform, facts, focus, full screen
    ListView* ListView1 = nullptr;      // the playlist on screen
    QGroupBox* Frame1 = nullptr;        // "Playback Options"
    QCheckBox* Check1 = nullptr;        // "Shuffle"
    QCheckBox* Check2 = nullptr;        // "Repeat"
    PushButton* PushButton1 = nullptr;  // "Load Sample/Example Files"
    PushButton* PushButton2 = nullptr;  // "Help"
    PushButton* PushButton4 = nullptr;  // "Add Files To Playlist"
    PushButton* PushButton5 = nullptr;  // "Delete Selected File From Playlist"
    PushButton* PushButton6 = nullptr;  // "Delete Playing File To Recycle Bin"
    PushButton* PushButton7 = nullptr;  // "Show Keyboard Shortcuts"
    PushButton* PushButton8 = nullptr;  // "Clear Playlist"
    PushButton* PushButton9 = nullptr;  // "Play Previous"
    PushButton* PushButton10 = nullptr; // "Play Next"

    // ---- Skin, pointer, focus, Help (src/ui) --------------------------------
    std::unique_ptr<SkinEngine> SkinFramework1;
    void ApplySkin(); // the skin beside the program (x/o.cjs), if there is one
    bool FileExists(const QString& path) const; // its last-modified time can be read
    int MousePointer = 0; // 0 the default pointer, 99 the custom one (MouseIcon)
    QCursor MouseIcon;    // the custom pointer's image; the arrow until one is loaded
    void SetMousePointer(int pointer);
    void PushButton_MouseMove(); // over any push button: the hand
    void Form_MouseMove();       // over the bare window: the default pointer
    void Frame1_MouseMove();     // over the options frame: the default pointer
    void Form_Click();           // a click on the bare window: focus to the player
    void Form_DblClick();
    void PushButton2_Click(); // "Help"

    // ---- Window flags ----------------------------------------------------
    bool FreshPlaylist = true;     // nothing restored or added yet: the first add uses slot 0
    bool BusyUpdating = false;     // the program itself is changing things: keep the focus put
    bool DeleteReady = false;      // a delete to the Trash may run
    bool PlayerHasFocus = false;   // the player has the keyboard focus
    bool DeleteKeyHandled = false; // the window's key handler took the last Delete press

    // ---- Playlist (src/playlist) ------------------------------------------
    PlaylistRef PlayerPlaylist;    // the player playlist that every add appends to
    std::vector<Media> MediaSlots; // every media item made, by slot; grows with the playlist
    // Appends one file to both halves: a list entry, its media item in slot, the player item.
    void AppendEntry(const QString& text, const QString& path, int slot);
    struct NewEntry {
        PlaylistEntry entry;
        int slot; // of its media item
    };
    // AppendEntry for many at once, with one insert into the list.
    void AppendEntries(const std::vector<NewEntry>& entries);
    void del_list2(short pro); // 0: remove the selected entry; 1: and send its file to the Trash
    void update_playlist2(const PlaylistEntry& dele, short proc_it);
    void RemoveFromPlaylist(const PlaylistRef& playlist, const Media& item);
    // A file that left its folder takes every entry naming it along (the disk is
    // not touched); gives the places they had, from 1, ascending.
    QList<int> removeEntriesOf(const QString& path);
    QList<int> placesOf(const QString& path, int except) const; // the same, left in the list
    // Where entry is once the entries at removed (other places) have left.
    static int entryAfterRemoval(int entry, const QList<int>& removed);
    std::unique_ptr<OpenDialog> CommonDialog1; // the Open dialog
    void PushButton4_Click();  // "Add Files To Playlist": the Open dialog, append, save
    void PushButton1_Click();  // "Load Sample/Example Files": offer the folder, add every sample
    void PushButton5_Click();  // "Delete Selected File From Playlist": the file stays on disk
    void PushButton8_Click();  // "Clear Playlist"
    void ListView1_DblClick(); // the same as the delete-to-Trash button
    // Reordering by dragging: only texts (with their paths) move; a click plays the entry.
    bool ListMouseDown = false;     // a button is down over the list
    QPersistentModelIndex DragItem; // the entry carrying the dragged name; invalid once removed
    void ListView1_MouseDown();
    void ListView1_ItemClick(int entry);
    void ListView1_MouseMove(const QPoint& at);
    void ListView1_MouseUp();
    void ListView1_Click();
    void ListView1_KeyboardChoice(int entry); // an entry chosen by key plays, as a click would
    bool ListView1_OLEDragOver(const QMimeData& data); // only drags that carry files
    void ListView1_OLEDragDrop(const QMimeData& data); // append the dropped files, play the last
    // Files named on the command line, or handed over by a later copy or the
    // desktop's player controls: added as a drop of them; refused names (and any
    // that cannot be read faithfully) are named in a box.
    // A list this long has its names checked and its files looked for on a
    // worker; the window takes them in one insert when they are known.
    void OpenFiles(const QStringList& paths, const QStringList& refused = {});
    static constexpr int kOpenBesideFrom = 1000;
    struct HandedFiles {
        QStringList paths, names, refused;
        bool mayHoldFolders = false; // a name not an audio file's: the drop's way, which walks
    };
    void HandedFilesFound(const HandedFiles& found);
    // A later copy or the desktop's player controls asked for the window: shown, on top, active.
    void BringToFront();
    void reportRefusedDrop(const QStringList& refused); // names Qt cannot read faithfully
    // A folder among the added paths (dropped, named on the command line, handed
    // over, opened by the desktop's player controls) stands for the audio files
    // under it at any depth, in natural order. They are found on a worker while
    // the player's screen counts them; Esc cancels (nothing found is added);
    // then all the paths join at once, as a drop of them.
    void AddFolderToPlaylist(); // Ctrl+Shift+O: the folder chooser, then as a drop of it
    bool FolderWalkRunning() const { return !walks_.empty(); }
    // Walks whose worker is still reading, a cancelled one too, in every window.
    static int FolderWalkersAtWork();
    void CancelFolderWalks();

    // ---- Deleting to the Trash (src/recycle) ------------------------------
    QTimer* Timer1 = nullptr; // idle until the first delete; each tick re-arms deleting
    void Timer1_Timer();      // sets DeleteReady
    // No delete to the Trash until Timer1 next ticks: the pause, less what has passed
    // since the press that asked for the delete.
    void pauseDeletes(qint64 sinceAskedMs = 0);
    void DeleteToRBIN();         // send the playing file to the Trash, play the next (reports)
    void DeleteToRBINNoPrompt(); // the same, silently
    void PushButton6_Click();    // "Delete Playing File To Recycle Bin": delete, then save
    TrashUndo Recycled;          // this session's deletes to the Trash, for undo
    // Ctrl+Z: the newest delete still undone comes back, to its folder and its
    // place in the list, playing; then the list is saved. One that comes back
    // from another drive is copied on a worker, as a move there is, and comes
    // into the list once its copy is whole.
    void UndoDelete();
    void UndoCopyFinished(const CopyQueue::Outcome& outcome);
    void sayNotRestored(const SentFile& file, const QString& why);
    // Its entries back in their places; gives the place of the one that was playing.
    int insertRestored(const SentFile& file);
    void deleteMedia(); // the Delete-key poll's delete: save, then full screen once playing
    // A move to the Trash, back out of it or to a folder that the window gave
    // up waiting for and that its drive carried out after all. The file is
    // where it was sent, so it counts as sent: undoable, its entry gone; or,
    // come back, its entry is back (not played). The player's screen says so.
    void TrashedLate(const SentFile& file); // sentTo empty: the Trash took it, but where is unknown
    void RestoredLate(const SentFile& file);
    void MovedLate(const SentFile& file);
    // What a worker hands over, handled on the window's thread under handler's
    // name once no box is open and no change of the list is half done; nothing
    // once the window is gone.
    template <class Value>
    std::function<void(Value)> onWindowThread(const char* handler,
                                              void (Form1::*handle)(const Value&)) {
        return [window = QPointer<Form1>(this), handler, handle](Value value) {
            QMetaObject::invokeMethod(qApp, [window, handler, handle, value = std::move(value)] {
                if (window)
                    window->whenSettled(handler, [window, handle, value] {
                        if (window)
                            (window.data()->*handle)(value);
                    });
            });
        };
    }
    void whenSettled(const char* handler, std::function<void()> run);
    // Only the file the user heard goes: nothing while a mouse button is held on
    // the list, nothing before a file the user did not choose here has played a
    // moment, and nothing when the file was replaced on disk since it was opened.
    // A press refused says why on the player's screen (for a move to a folder
    // when moving).
    bool mayDeletePlaying(bool moving = false);
    void sayTooSoon(bool moving = false); // a press within the pause between deletes

    // ---- History across sittings (src/history) ------------------------------
    // Every file sent away and every undo is recorded as it is done, and the
    // decisions of earlier sittings not yet taken back lie under this
    // sitting's on the undo stack: after a restart Ctrl+Z goes on into them,
    // with the same checks.
    std::unique_ptr<HistoryStore> History; // none when no history file was given
    void rememberSent(SentFile& file);     // a new decision: it gets its key
    void rememberUndone(const SentFile& file);
    void rememberRefused(const SentFile& file, const QString& why); // it leaves the stack for good
    // The newest of them come back at start-up, found on the history's thread.
    static constexpr int kEarlierDecisions = 1000;
    void bringInEarlierDecisions();
    bool LookingForEarlierDecisions() const { return lookingForEarlier_; }
    void sayHistoryNotKept(const QString& why); // once, on the player's screen
    // A file counts as heard once it has played kHeardAfterMs in all (or to
    // its end, if shorter): its entries are marked, and the history keeps it
    // with how long it has played. The marks of files heard in earlier
    // sittings come in from workers as entries join the list; a file written
    // since it was heard gets none.
    static constexpr qint64 kHeardAfterMs = 2000;
    void followListening(Player::ChangeCause cause); // a new current item
    void listenedTo(double seconds);                 // a position while it plays
    void lookForHeard(const QStringList& paths);
    struct HeardFiles {
        QHash<QString, qint64> msByPath;
    };
    void HeardFilesFound(const HeardFiles& found);
    // Ctrl+J: the next entry below the selected one whose file has not been
    // heard, wrapping at the end.
    void PlayNextUnheard();
    // "Heard 1,204 of 10,000 · 388 to the Trash · 240 moved": this list's
    // entries heard, and what was sent away from its folders, in every sitting.
    void showProgress();

    // ---- Sorting into folders (src/recycle) -------------------------------
    // The folder Ctrl+N moves the playing file to, for N from 1 to 9; empty while unbound.
    QString BoundFolders[10];
    void LoadFolderBindings(); // from the settings file, shown on the player's screen
    // Ctrl+N: the playing file moves to folder N (chosen first when unbound),
    // with the guards of Delete, and the next entry plays; then the list is saved.
    void MoveToFolderKey(int number);
    // Ctrl+Shift+N, or Ctrl+N unbound: the folder chooser; true when one was bound.
    bool ChooseFolderFor(int number);
    // Moves to another drive are copied on a worker: the entry leaves at the
    // press and the next file plays; the player's screen shows how far the
    // copy is. Esc or Ctrl+Z during it cancels the newest; a failed or
    // cancelled copy puts the entries back in their places, playing nothing new.
    CopyQueue* Copies = nullptr;
    void CopyFinished(const CopyQueue::Outcome& outcome);
    bool CancelNewestCopy(); // false when no copy runs, or the newest is past stopping
    void showCopyProgress();
    // Runs a change of the playing file that the user did not make in this
    // window (a hand-over, the desktop's player controls, the restore), or one
    // the user has not heard yet (the next entry after a delete or a move).
    template <class Change> void outsideSwitch(Change&& change) {
        ++outsideSwitches_;
        struct Done {
            int& switches;
            ~Done() { --switches; }
        } done{outsideSwitches_};
        change();
    }
    void followHearing(Player::ChangeCause cause); // a new current item: chosen, or not yet heard
    void WMP_PositionChange(double seconds);       // playback heard of a file not chosen

    // ---- Playback (src/playback) -----------------------------------------
    void PlayNew(int entryNumber); // start an entry (wrapping at both ends) and select it
    void PushButton10_Click();     // "Play Next": the entry below the selected one
    void PushButton9_Click();      // "Play Previous": the entry above it
    // The desktop's Next (step 1) and Previous (-1): from the entry selected,
    // else from the one playing; never behind a box; not yet heard.
    void PlayNeighbour(int step);
    void Check1_Click(); // Shuffle box → the player's "shuffle" mode
    void Check2_Click(); // Repeat box → the player's "loop" mode
    // Ctrl+L: level matching on or off (every file at one loudness); then saved.
    void ToggleLevelMatch();
    // Following the player: select the entry of its new current item.
    void WMP_CurrentItemChange(const Media& item, Player::ChangeCause cause);
    void WMP_GotFocus(); // PlayerHasFocus
    void WMP_LostFocus();
    void WMP_DoubleClick(); // full screen while playing
    void WMP_MouseMove();   // the default pointer
    // Keyboard: the window sees keys before the focused control; Delete is also polled.
    // Ctrl, Ctrl+H, Ctrl+T, Ctrl+Z, Ctrl+1 … 9 (with Shift), Delete, Alt+Enter
    void Form_KeyDown(int& keyCode, int shift);
    DeleteKeyLatch* DeleteKey = nullptr; // Delete presses in our own windows
    HeldKeys FolderKeys;                 // Ctrl+1 … 9 held: one move for each press
    QTimer* Timer2 = nullptr;            // the poll, armed for one tick by each press
    void Timer2_Timer();                 // a Delete the key handler did not take → deleteMedia
    void PushButton7_Click();            // "Show Keyboard Shortcuts"

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void showWindowColour();
    void restorePlaylist(class Trap& trap, int count);
    void fillRestored(class Trap& trap, const QStringList& paths, bool lookLater);
    void lookForRestoredFiles(const QStringList& paths);
    static LateNames lateNames(std::function<void(FoundFiles)> tell);
    void markSilentLooks(); // a short list's folders still silent: their entries marked
    void dropMissingRestored(const QSet<QString>& missing);
    void restoreOnceExposed(QObject* watched, QEvent* event);
    struct AddSteps;
    void addSelection(class Trap& trap, const QString& selection, const AddSteps& steps);
    void deletePlaying(class Trap& trap);
    struct FolderWalk;
    void walkFolders(const QStringList& paths, const QStringList& refused);
    void walkDone(const std::shared_ptr<FolderWalk>& walk, const NamedFiles& found,
                  const QStringList& names);
    void showWalkProgress();
    // Appends the paths to both halves and plays the last; names are the
    // entries' texts, or empty for the names their folders give them.
    void appendDropped(const QStringList& paths, QStringList names, const QStringList& refused);
    void openFilesNow(const QStringList& paths, const QStringList& refused);
    void movePlaying(class Trap& trap, int number);
    void moveAcross(class Trap& trap, int entry, int number); // on a worker, to another drive
    void sayMoveFailed(const moving::Moved& moved, const QString& path, const QString& folder,
                       int number);
    bool mayCloseDuringCopy(); // asks; false while the user waits for the copy
    void showFolderKeys();
    void noteHeldKeys(QEvent* event); // releases of the folder keys, the keyboard lost
    void fullScreenOncePlaying();
    PushButton* makeButton(const QString& caption, int left, int top);
    // An option box's click handling: under its own name, or during start-up
    // under the start-up step that set the box.
    void runBoxClick(const char* handler, void (Form1::*click)());
    void raiseBoxFailure();
    const Playlist& currentItems() const;

    Dialogs& dialogs_;
    SettingsStore& settings_;
    FilePicker& filePicker_;
    QString programFolder_;
    std::function<void()> endProgram_;
    std::function<bool(const QString&)> showFolder_;
    bool closing_ = false;
    bool loading_ = false;                   // Form_Load is running
    std::exception_ptr boxFailure_;          // a box's click failure during start-up, for its step
    QMetaObject::Connection waitForPlaying_; // the pending full-screen switch of deleteMedia
    int outsideSwitches_ = 0;                // outsideSwitch calls under way
    bool unheard_ = false;                   // the current file came unchosen and is not heard yet
    PlayedTime heardClock_;                  // its playback, from the positions reported
    double heardFor_ = 0;                    // how much of it has played since it came
    QElapsedTimer deleteAsked_;              // the press of the delete under way
    int deletingEntry_ = 0;                  // its entry's number, for a move that ends late
    int restoreLooks_ = 0;                   // looks for a restored list's files under way
    QStringList restoredPaths_;  // the saved list, for the sweep of leftovers at start-up
    QSet<QString> overdueLooks_; // restored paths whose folder has not answered yet, unmarked
    std::optional<QStringList> pendingRestore_;      // the saved paths of a long list, till shown
    std::vector<std::shared_ptr<FolderWalk>> walks_; // folders being walked for their files
    QTimer* walkProgress_ = nullptr;                 // shows how many they have found
    QTimer* copyProgress_ = nullptr;                 // shows how far the copy is
    bool closeOnceCopied_ = false;                   // the user chose to wait for it
    bool lookingForEarlier_ = false;                 // earlier sittings' decisions asked for
    struct Listening {
        QString path;
        FileIdentity identity;
        qint64 playedMs = 0, recordedMs = 0; // in this sitting, and how much of it is recorded
        qint64 beforeMs = 0;                 // heard in earlier sittings, when it counted
        PlayedTime clock;
        bool counted = false;
    };
    Listening listening_; // the current file, as heard
    void countHeard();
    void finishListening(bool playedToEnd);
    void noteAddedEntries(int first, int last); // their files are looked up as heard
    QStringList heardLooks_;                    // added paths, looked up together
    bool restoreLookedForHeard_ = false;        // a long list's, before its entries came
    QTimer* progressTimer_ = nullptr;           // one count for a burst of changes
    void countProgress();
    QSet<QString> listFolders_; // of every entry the list held in this sitting
};

// The value of an option box as the program sees it: 0 off, 1 on, 2 grayed.
int boxValue(const QCheckBox& box);
// Sets an option box; raises for a value it does not take. A change runs its click handling.
void setBoxValue(QCheckBox& box, int value);

// The player item that an entry's own file is, among equal names: its path must
// match and its file must still be a plain, visible file of that name.
bool entryOwnsItem(const PlaylistEntry& entry, const MediaItem& item);
