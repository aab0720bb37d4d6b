#include "app/form1.h"

#include "history/history_store.h"
#include "platform/delete_key_latch.h"
#include "platform/dialogs.h"
#include "platform/layout_units.h"
#include "platform/open_dialog.h"
#include "playback/player_widget.h"
#include "playlist/list_view.h"
#include "ui/push_button.h"
#include "ui/skin_engine.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QTimer>

namespace {

// Room for the names of about ten thousand files chosen at once.
constexpr int kOpenDialogBufferChars = 1 << 20;

} // namespace

Form1::Form1(Platform platform)
    : WMP(std::make_unique<Player>(std::move(platform.engine))), dialogs_(platform.dialogs),
      settings_(platform.settings), filePicker_(platform.filePicker),
      programFolder_(platform.programFolder), endProgram_(std::move(platform.endProgram)),
      showFolder_(std::move(platform.showFolder)) {
    CommonDialog1 = std::make_unique<OpenDialog>(platform.filePicker, kOpenDialogBufferChars);
    if (!platform.historyFile.isEmpty())
        History = std::make_unique<HistoryStore>(platform.historyFile, [this](const QString& why) {
            guarded("History", [&] { sayHistoryNotKept(why); });
        });
    SkinFramework1 = std::make_unique<SkinEngine>();
    buildControls();
}

Form1::~Form1() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    // The controls go after this object's members, in QWidget's destructor, and
    // the player's screen loses the focus on its way: nothing of theirs may
    // reach a handler here any more.
    for (QObject* control : findChildren<QObject*>())
        control->disconnect(this);
}

void Form1::runBoxClick(const char* handler, void (Form1::*click)()) {
    if (!loading_)
        return guarded(handler, [&] { (this->*click)(); });
    // Start-up sets the boxes inside its own trapped steps: a failure of the
    // click handling is that step's, so it is kept and raised there.
    try {
        (this->*click)();
    } catch (...) {
        boxFailure_ = std::current_exception();
    }
}

void Form1::raiseBoxFailure() {
    if (boxFailure_)
        std::rethrow_exception(std::exchange(boxFailure_, nullptr));
}

PushButton* Form1::makeButton(const QString& caption, int left, int top) {
    auto* button = new PushButton(caption, this);
    button->setGeometry(pixelsFromTwips(left), pixelsFromTwips(top), pixelsFromTwips(3840),
                        pixelsFromTwips(405));
    connect(button, &PushButton::MouseMove, this, [this] { PushButton_MouseMove(); });
    return button;
}

// The window is white, as designed, under a light desktop theme; under a dark
// one its text is light, and white would leave "Playback Options", the boxes and
// the player's time nearly unreadable: the theme's own window colour stays.
void Form1::showWindowColour() {
    QPalette colours = QApplication::palette(this);
    if (colours.color(QPalette::WindowText).lightness() < 128)
        colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);
}

void Form1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange)
        showWindowColour(); // the desktop's theme changed
    QWidget::changeEvent(event);
}

void Form1::buildControls() {
    setFixedSize(pixelsFromTwips(12000), pixelsFromTwips(7515));
    setMouseTracking(true);
    setAutoFillBackground(true);
    showWindowColour();

    WMPView = new PlayerWidget(*WMP, this);
    WMPView->setGeometry(pixelsFromTwips(120), pixelsFromTwips(180), pixelsFromTwips(7800),
                         pixelsFromTwips(5685));

    ListView1 = new ListView(this);
    ListView1->setAccessibleName(tr("Playlist"));
    ListView1->setGeometry(pixelsFromTwips(8040), pixelsFromTwips(150), pixelsFromTwips(3840),
                           pixelsFromTwips(4965));
    ListView1->OLEDragOver = [this](const QMimeData& data) { return ListView1_OLEDragOver(data); };
    ListView1->OLEDragDrop = [this](const QMimeData& data) { ListView1_OLEDragDrop(data); };

    Frame1 = new QGroupBox(tr("Playback Options"), this);
    Frame1->setGeometry(pixelsFromTwips(8040), pixelsFromTwips(5190), pixelsFromTwips(3840),
                        pixelsFromTwips(670));
    Frame1->setMouseTracking(true);
    Check1 = new QCheckBox(tr("Shuffle"), Frame1);
    Check1->setGeometry(pixelsFromTwips(240), pixelsFromTwips(270), pixelsFromTwips(975),
                        pixelsFromTwips(255));
    Check2 = new QCheckBox(tr("Repeat"), Frame1);
    Check2->setGeometry(pixelsFromTwips(1680), pixelsFromTwips(270), pixelsFromTwips(975),
                        pixelsFromTwips(255));
    // A box runs its click handling whenever its value changes, by a click or by the program.
    connect(Check1, &QCheckBox::stateChanged, this,
            [this] { runBoxClick("Check1_Click", &Form1::Check1_Click); });
    connect(Check2, &QCheckBox::stateChanged, this,
            [this] { runBoxClick("Check2_Click", &Form1::Check2_Click); });

    PushButton4 = makeButton(tr("Add Files To Playlist"), 120, 5970);
    PushButton9 = makeButton(tr("Play Previous"), 4080, 5970);
    PushButton10 = makeButton(tr("Play Next"), 8040, 5970);
    PushButton6 = makeButton(tr("Delete Playing File To Recycle Bin"), 120, 6480);
    PushButton6->setToolTip(tr("Press the 'Delete' key will do the same thing"));
    PushButton5 = makeButton(tr("Delete Selected File From Playlist"), 4080, 6480);
    PushButton8 = makeButton(tr("Clear Playlist"), 8040, 6480);
    PushButton7 = makeButton(tr("Show Keyboard Shortcuts"), 120, 6990);
    PushButton1 = makeButton(tr("Load Sample/Example Files"), 4080, 6990);
    PushButton2 = makeButton(tr("Help"), 8040, 6990);

    Timer1 = new QTimer(this);
    // A coarse timer may tick a little early; the pause between deletes is never shorter.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });

    // The Delete-key poll ticks once after each press instead of every
    // millisecond, so an idle window never wakes the processor.
    Timer2 = new QTimer(this);
    Timer2->setSingleShot(true);
    Timer2->setInterval(1);
    connect(Timer2, &QTimer::timeout, this, [this] { Timer2_Timer(); });
    QCoreApplication::instance()->installEventFilter(this);
    // Installed after the window's own filter, so it runs first: like a poll of
    // the key's state, it notes every Delete press, also those the key handler
    // then takes, and the poll tells them apart by DeleteKeyHandled.
    DeleteKey = new DeleteKeyLatch(this, WMPView);
    DeleteKey->onPress = [this](QObject*) { Timer2->start(); };

    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });
    connect(PushButton8, &QPushButton::clicked, this, [this] { PushButton8_Click(); });
    connect(ListView1, &QAbstractItemView::doubleClicked, this, [this] { ListView1_DblClick(); });
    ListView1->MouseDown = [this] { ListView1_MouseDown(); };
    ListView1->ItemClick = [this](int entry) {
        guarded("ListView1_ItemClick", [&] { ListView1_ItemClick(entry); });
    };
    ListView1->MouseMove = [this](const QPoint& at) {
        guarded("ListView1_MouseMove", [&] { ListView1_MouseMove(at); });
    };
    ListView1->MouseUp = [this] { ListView1_MouseUp(); };
    ListView1->Click = [this] { guarded("ListView1_Click", [&] { ListView1_Click(); }); };
    ListView1->KeyboardChoice = [this](int entry) {
        guarded("ListView1_KeyboardChoice", [&] { ListView1_KeyboardChoice(entry); });
    };
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    connect(PushButton9, &QPushButton::clicked, this, [this] { PushButton9_Click(); });
    connect(PushButton10, &QPushButton::clicked, this, [this] { PushButton10_Click(); });

    connect(WMP.get(), &Player::CurrentItemChange, this,
            [this](const Media& item, Player::ChangeCause cause) {
                followListening(cause);
                followHearing(cause);
                WMP_CurrentItemChange(item, cause);
            });
    connect(WMP.get(), &Player::positionChanged, this, [this](double seconds) {
        listenedTo(seconds);
        WMP_PositionChange(seconds);
    });
    connect(ListView1->model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                guarded("noteAddedEntries", [&] { noteAddedEntries(first, last); });
            });
    connect(ListView1->model(), &QAbstractItemModel::rowsRemoved, this, [this] { showProgress(); });
    progressTimer_ = new QTimer(this);
    progressTimer_->setSingleShot(true);
    progressTimer_->setInterval(200);
    connect(progressTimer_, &QTimer::timeout, this,
            [this] { guarded("showProgress", [&] { countProgress(); }); });
    connect(WMPView, &PlayerWidget::GotFocus, this, [this] { WMP_GotFocus(); });
    connect(WMPView, &PlayerWidget::LostFocus, this, [this] { WMP_LostFocus(); });
    connect(WMPView, &PlayerWidget::DoubleClick, this, [this] { WMP_DoubleClick(); });
    connect(WMPView, &PlayerWidget::MouseMove, this, [this] { WMP_MouseMove(); });
    connect(WMPView, &PlayerWidget::UndoRequested, this,
            [this] { guarded("UndoDelete", [&] { UndoDelete(); }); });
    connect(WMPView, &PlayerWidget::LevelMatchRequested, this,
            [this] { guarded("ToggleLevelMatch", [&] { ToggleLevelMatch(); }); });
    Copies = new CopyQueue;
    Copies->setParent(this);
    connect(Copies, &CopyQueue::finished, this, [this](const CopyQueue::Outcome& outcome) {
        whenSettled("MoveToFolderKey", [this, outcome] { CopyFinished(outcome); });
    });
    copyProgress_ = new QTimer(this);
    copyProgress_->setInterval(100);
    connect(copyProgress_, &QTimer::timeout, this, [this] { showCopyProgress(); });
    connect(WMPView, &PlayerWidget::FolderKeyPressed, this, [this](int number, bool chooseAgain) {
        guarded("MoveToFolderKey", [&] {
            if (chooseAgain)
                ChooseFolderFor(number);
            else
                MoveToFolderKey(number);
        });
    });
}
