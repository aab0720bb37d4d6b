#include "playback/player_widget.h"

#include "platform/key_target.h"
#include "playback/level_match.h"
#include "playback/player.h"
#include "playback/screen_parts.h"
#include "playback/transport_bar.h"
#include "waveform/waveform_panel.h"
#include "waveform/waveform_view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr double kSkipSeconds = 5.0;
constexpr int kVolumeStep = 5;
} // namespace

PlayerWidget::PlayerWidget(Player& player, QWidget* parent) : QWidget(parent), player_(player) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAutoFillBackground(true);
    buildScreen();
    buildTransportBar();
    connect(&player_, &Player::CurrentItemChange, this, [this] { showItem(); });
    connect(&player_, &Player::currentItemGone, this, [this] {
        showItem();
        showState(player_.playState());
    });
    connect(&player_, &Player::playStateChanged, this, &PlayerWidget::showState);
    connect(&player_, &Player::positionChanged, this, &PlayerWidget::showPlayhead);
    connect(&player_, &Player::durationChanged, this, &PlayerWidget::showPlayhead);
    connect(&player_, &Player::itemsChanged, placeTimer_, [this] {
        if (!placeTimer_->isActive())
            placeTimer_->start(0);
    });
    connect(&player_, &Player::itemFailed, this, [this](const Media& item, const QString& reason) {
        showFailure(item->sourceURL(), reason);
    });
    connect(&player_, &Player::fullScreenChanged, this, &PlayerWidget::showFullScreen);
    connect(&player_, &Player::noSoundChanged, this, &PlayerWidget::showNoSound);
    showNoSound(player_.noSoundReason());
    showItem();
    showState(player_.playState());
}

void PlayerWidget::buildScreen() {
    // The screen takes the palette's colours (light, dark, a skin's), not its own.
    auto* screen = new QWidget(this);
    screen->setObjectName(QStringLiteral("playerScreen"));
    screen->setAutoFillBackground(true);
    screen->setBackgroundRole(QPalette::Base);
    title_ = screenLabel(screen, QPalette::Text, 1.5);
    title_->setWordWrap(true);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    tags_ = screenLabel(screen, QPalette::Text);
    tags_->setWordWrap(true);
    tags_->hide();
    folder_ = new ElidedLabel(screen);
    folder_->setForegroundRole(QPalette::PlaceholderText);
    facts_ = screenLabel(screen, QPalette::Text, 0.9);
    level_ = screenLabel(screen, QPalette::PlaceholderText, 0.9);
    level_->hide();
    waveform_ = new WaveformView(screen);
    status_ = screenLabel(screen, QPalette::Text);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    place_ = screenLabel(screen, QPalette::Text);
    place_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    notice_ = screenLabel(screen, QPalette::Text);
    notice_->setWordWrap(true);
    notice_->setObjectName(QStringLiteral("playerNotice"));
    sound_ = screenLabel(screen, QPalette::Text);
    sound_->setWordWrap(true);
    activity_ = screenLabel(screen, QPalette::Text);
    activity_->hide();
    folderKeys_ = screenLabel(screen, QPalette::PlaceholderText);
    folderKeys_->setWordWrap(true);
    folderKeys_->hide();
    progress_ = screenLabel(screen, QPalette::PlaceholderText);
    progress_->hide();
    hint_ = screenLabel(screen, QPalette::PlaceholderText);
    hint_->setText(tr("Esc: back to the window"));
    hint_->hide();

    auto* column = new QVBoxLayout(screen);
    column->setContentsMargins(8, 8, 8, 6);
    column->setSpacing(2);
    column->addWidget(hint_);
    column->addWidget(title_);
    column->addWidget(tags_);
    column->addWidget(folder_);
    column->addWidget(facts_);
    column->addWidget(level_);
    column->addWidget(progress_);
    column->addSpacing(4);
    column->addWidget(waveform_, 1);
    auto* stateRow = new QHBoxLayout;
    stateRow->addWidget(status_, 1);
    stateRow->addWidget(place_, 1);
    column->addLayout(stateRow);
    column->addWidget(sound_);
    column->addWidget(activity_);
    column->addWidget(folderKeys_);
    column->addWidget(notice_);
    noticeTimer_ = new QTimer(this);
    noticeTimer_->setSingleShot(true);
    connect(noticeTimer_, &QTimer::timeout, notice_, &QLabel::clear);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(2);
    outer->addWidget(screen, 1);

    panel_ = new WaveformPanel(*waveform_, this);
    connect(panel_, &WaveformPanel::factsChanged, facts_, &QLabel::setText);
    connect(panel_, &WaveformPanel::tagsChanged, this, [this](const QString& tags) {
        showLine(*tags_, tags);
        Q_EMIT TagsChanged(tags);
    });
    connect(panel_, &WaveformPanel::waveformShown, this, &PlayerWidget::showPlayhead);
    levelMatch_ = new LevelMatcher(player_, panel_->loader(), this);
    connect(levelMatch_, &LevelMatcher::stateChanged, this,
            [this](const QString& text) { showLine(*level_, text); });
    placeTimer_ = new QTimer(this);
    placeTimer_->setSingleShot(true);
    connect(placeTimer_, &QTimer::timeout, this, &PlayerWidget::showPlace);
    connect(waveform_, &WaveformView::seekRequested, this, &PlayerWidget::seekToFraction);
}

void PlayerWidget::buildTransportBar() {
    layout()->addWidget(new TransportBar(player_, this));
    for (QWidget* child : findChildren<QWidget*>()) {
        child->setMouseTracking(true);
        child->installEventFilter(this);
    }
}

namespace {
QString fileName(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}
} // namespace

void PlayerWidget::showItem() {
    const Media& item = player_.currentMedia();
    const QString path = item ? item->sourceURL() : QString();
    title_->setText(item ? fileName(path) : tr("No file playing"));
    folder_->setFullText(
        item ? path.left(std::max<qsizetype>(1, path.lastIndexOf(QLatin1Char('/')))) : QString());
    setToolTip(path);
    levelMatch_->follow(path);
    panel_->show(path);
    showPlace();
    showPlayhead();
}

double PlayerWidget::length() const {
    if (player_.duration() > 0)
        return player_.duration();
    return panel_->seconds();
}

void PlayerWidget::showPlayhead() {
    const double total = length();
    waveform_->setPlayhead(total > 0 && player_.currentMedia() ? player_.position() / total : -1);
    nameForScreenReaders();
}

// "Player: take 3.wav, playing, 0:12 of 1:40": set only when a word or a whole
// second changes, so that a screen reader is not told of every position report.
void PlayerWidget::nameForScreenReaders() {
    const Media& item = player_.currentMedia();
    QString name = tr("Player: %1").arg(title_->text());
    if (item) {
        if (!status_->text().isEmpty())
            name += QStringLiteral(", ") + status_->text().toLower();
        if (length() > 0)
            name += QStringLiteral(", ") +
                    tr("%1 of %2").arg(formatTime(player_.position()), formatTime(length()));
    }
    if (name != accessibleName())
        setAccessibleName(name);
}

void PlayerWidget::seekToFraction(double fraction) {
    const double total = length();
    if (total > 0)
        player_.seek(fraction * total);
}

void PlayerWidget::showPlace() {
    placeTimer_->stop();
    const int index = player_.currentIndex();
    const int count = player_.currentPlaylist() ? player_.currentPlaylist()->count() : 0;
    place_->setText(index >= 0 ? listPlace(index + 1, count) : QString());
}

void PlayerWidget::showFailure(const QString& path, const QString& reason) {
    // Our own decoder's words, when it has read the file; else the engine's.
    const WaveformRef kept = panel_->loader().cached(path);
    const QString why = kept && kept->failed() ? kept->error : plainPlaybackError(reason);
    showNotice(tr("Could not play %1: %2").arg(fileName(path), why));
}

// Qt's own test: a second press soon after the first, and close to it.
bool PlayerWidget::secondPressOfADoubleClick(const QPoint& at) {
    const bool second = sinceClick_.isValid() &&
                        sinceClick_.elapsed() < QApplication::doubleClickInterval() &&
                        (at - clickedAt_).manhattanLength() <= QApplication::startDragDistance();
    sinceClick_.start();
    clickedAt_ = at;
    return second;
}

QString PlayerWidget::folderText() const {
    return folder_->fullText();
}

QString PlayerWidget::levelText() const {
    return level_->text();
}

QString PlayerWidget::factsText() const {
    return facts_->text();
}

QString PlayerWidget::placeText() const {
    return place_->text();
}

void PlayerWidget::showState(int state) {
    static const QHash<int, QString> names = {{Player::Stopped, tr("Stopped")},
                                              {Player::Paused, tr("Paused")},
                                              {Player::Playing, tr("Playing")},
                                              {Player::Transitioning, tr("Opening")},
                                              {Player::MediaEnded, tr("Ended")}};
    // Without a file there is nothing to say of it; the screen reads as at start.
    status_->setText(player_.currentMedia() ? names.value(state, tr("Ready")) : QString());
    if (state == Player::Playing)
        panel_->soundStarted();
    nameForScreenReaders();
}

void PlayerWidget::showNotice(const QString& text) {
    constexpr int kNoticeMs = 5000;
    notice_->setText(text);
    noticeTimer_->start(kNoticeMs);
}

QString PlayerWidget::notice() const {
    return notice_->text();
}

void PlayerWidget::showActivity(const QString& text) {
    showLine(*activity_, text);
}

QString PlayerWidget::activityText() const {
    return activity_->text();
}

void PlayerWidget::showFolderKeys(const QString& line) {
    showLine(*folderKeys_, line);
}

QString PlayerWidget::tagsText() const {
    return tags_->text();
}

QString PlayerWidget::folderKeysText() const {
    return folderKeys_->text();
}

void PlayerWidget::showProgress(const QString& line) {
    showLine(*progress_, line);
}

QString PlayerWidget::progressText() const {
    return progress_->text();
}

void PlayerWidget::showNoSound(const QString& reason) {
    showLine(*sound_, reason.isEmpty() ? QString() : tr("No sound: %1").arg(reason));
}

QString PlayerWidget::soundNotice() const {
    return sound_->text();
}

void PlayerWidget::showFullScreen(bool on) {
    if (on) {
        placeInWindow_ = geometry();
        setWindowFlags(Qt::Window);
        setWindowTitle(tr("Thrennic Player"));
        hint_->show();
        QWidget::showFullScreen();
    } else {
        // The full-screen state outlives the window flags; left set, the next
        // switch would show a plain small window instead of filling the screen.
        hint_->hide();
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        setWindowFlags(Qt::Widget);
        setGeometry(placeInWindow_);
        show();
    }
    setFocus();
}

void PlayerWidget::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = event->modifiers() == Qt::ControlModifier;
    if (const int digit = digitKeyOf(*event);
        digit > 0 && (event->modifiers() & Qt::ControlModifier) &&
        !(event->modifiers() & (Qt::AltModifier | Qt::MetaModifier))) {
        if (!event->isAutoRepeat()) // a held key moves one file
            Q_EMIT FolderKeyPressed(digit, event->modifiers() & Qt::ShiftModifier);
        return;
    }
    switch (event->key()) {
    case Qt::Key_F:
        if (!ctrl)
            break;
        player_.next();
        return;
    case Qt::Key_B:
        if (!ctrl)
            break;
        player_.previous();
        return;
    case Qt::Key_F8:
        player_.setVolume(player_.volume() - kVolumeStep);
        return;
    case Qt::Key_F9:
        player_.setVolume(player_.volume() + kVolumeStep);
        return;
    case Qt::Key_Right:
        player_.seek(player_.position() + kSkipSeconds);
        return;
    case Qt::Key_Left:
        player_.seek(qMax(0.0, player_.position() - kSkipSeconds));
        return;
    case Qt::Key_Space:
        player_.togglePlay();
        return;
    case Qt::Key_Z:
        if (!ctrl)
            break;
        Q_EMIT UndoRequested();
        return;
    case Qt::Key_L:
        if (!ctrl)
            break;
        Q_EMIT LevelMatchRequested();
        return;
    case Qt::Key_Escape:
        player_.setFullScreen(false);
        return;
    case Qt::Key_Delete:
        return; // taken here on purpose: the program sees it through its Delete-key poll
    default:
        break;
    }
    event->ignore();
}

void PlayerWidget::closeEvent(QCloseEvent* event) {
    // Closing the full-screen player (Alt+F4, the window manager) puts it back in
    // the window; the player itself never closes.
    event->ignore();
    player_.setFullScreen(false);
}

void PlayerWidget::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    Q_EMIT GotFocus();
}

void PlayerWidget::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    Q_EMIT LostFocus();
}

void PlayerWidget::mouseDoubleClickEvent(QMouseEvent*) {
    Q_EMIT DoubleClick();
}

void PlayerWidget::mouseMoveEvent(QMouseEvent*) {
    Q_EMIT MouseMove();
}

bool PlayerWidget::eventFilter(QObject* watched, QEvent* event) {
    // A click on the waveform seeks at once; when it was the first half of a
    // double-click (full screen), the position goes back to where it was.
    if (watched == waveform_ && event->type() == QEvent::MouseButtonPress &&
        !secondPressOfADoubleClick(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        positionBeforeClick_ = player_.position();
    } else if (watched == waveform_ && event->type() == QEvent::MouseButtonDblClick)
        player_.seek(positionBeforeClick_);
    if (event->type() == QEvent::MouseMove)
        Q_EMIT MouseMove();
    else if (event->type() == QEvent::MouseButtonDblClick && !qobject_cast<QToolButton*>(watched))
        Q_EMIT DoubleClick();
    else if (event->type() == QEvent::MouseButtonPress && !qobject_cast<QSlider*>(watched))
        setFocus(Qt::MouseFocusReason);
    return QWidget::eventFilter(watched, event);
}

WaveformLoader* PlayerWidget::waveformLoader() const {
    return &panel_->loader();
}
