#include "playback/player_widget.h"

#include "ui/transport_icons.h"

#include <QTimer>

#include "playback/player.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr double kSkipSeconds = 5.0;
constexpr int kVolumeStep = 5;
} // namespace

QString formatTime(double seconds) {
    const int total = seconds > 0 ? static_cast<int>(seconds) : 0;
    const int h = total / 3600, m = total / 60 % 60, s = total % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(h)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

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
    connect(&player_, &Player::positionChanged, this, &PlayerWidget::showPosition);
    connect(&player_, &Player::durationChanged, this, &PlayerWidget::showPosition);
    connect(&player_, &Player::volumeChanged, this, &PlayerWidget::showVolume);
    connect(&player_, &Player::fullScreenChanged, this, &PlayerWidget::showFullScreen);
    showItem();
    showState(player_.playState());
    showVolume(player_.volume(), player_.mute());
}

void PlayerWidget::buildScreen() {
    auto* screen = new QWidget(this);
    screen->setObjectName(QStringLiteral("playerScreen"));
    screen->setStyleSheet(
        QStringLiteral("#playerScreen { background: #101418; border-radius: 3px; }"
                       "QLabel { color: #e8eef2; background: transparent; }"));
    title_ = new QLabel(screen);
    title_->setAlignment(Qt::AlignCenter);
    title_->setWordWrap(true);
    QFont big = title_->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    title_->setFont(big);
    status_ = new QLabel(screen);
    status_->setAlignment(Qt::AlignCenter);
    auto* column = new QVBoxLayout(screen);
    column->addStretch(1);
    column->addWidget(title_);
    column->addWidget(status_);
    notice_ = new QLabel(screen);
    notice_->setAlignment(Qt::AlignCenter);
    notice_->setWordWrap(true);
    notice_->setObjectName(QStringLiteral("playerNotice"));
    column->addSpacing(12);
    column->addWidget(notice_);
    noticeTimer_ = new QTimer(this);
    noticeTimer_->setSingleShot(true);
    connect(noticeTimer_, &QTimer::timeout, notice_, &QLabel::clear);
    column->addStretch(1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(2);
    outer->addWidget(screen, 1);
}

QToolButton* PlayerWidget::transportButton(QWidget* bar, TransportIcon icon, const QString& tip) {
    auto* button = new QToolButton(bar);
    setSymbol(button, icon);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

namespace {
constexpr char kSymbolProperty[] = "transportSymbol";
} // namespace

void PlayerWidget::setSymbol(QToolButton* button, TransportIcon icon) {
    button->setProperty(kSymbolProperty, static_cast<int>(icon));
    button->setIcon(transportIcon(icon, palette()));
}

void PlayerWidget::buildTransportBar() {
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(2, 0, 2, 2);
    row->setSpacing(2);
    auto* previous = transportButton(bar, TransportIcon::Previous, tr("Previous (Ctrl+B)"));
    playPause_ = transportButton(bar, TransportIcon::Play, tr("Play (Space)"));
    auto* stop = transportButton(bar, TransportIcon::Stop, tr("Stop"));
    auto* next = transportButton(bar, TransportIcon::Next, tr("Next (Ctrl+F)"));
    seek_ = new QSlider(Qt::Horizontal, bar);
    seek_->setFocusPolicy(Qt::NoFocus);
    seek_->setToolTip(tr("Position (Left and Right skip)"));
    time_ = new QLabel(bar);
    mute_ = transportButton(bar, TransportIcon::Volume, tr("Mute"));
    volume_ = new QSlider(Qt::Horizontal, bar);
    volume_->setRange(0, 100);
    volume_->setFixedWidth(70);
    volume_->setFocusPolicy(Qt::NoFocus);
    volume_->setToolTip(tr("Volume (F8 and F9)"));
    for (QWidget* w : {static_cast<QWidget*>(previous), static_cast<QWidget*>(playPause_),
                       static_cast<QWidget*>(stop), static_cast<QWidget*>(next)})
        row->addWidget(w);
    row->addWidget(seek_, 1);
    row->addWidget(time_);
    row->addWidget(mute_);
    row->addWidget(volume_);
    layout()->addWidget(bar);

    connect(previous, &QToolButton::clicked, &player_, &Player::previous);
    connect(next, &QToolButton::clicked, &player_, &Player::next);
    connect(stop, &QToolButton::clicked, &player_, &Player::stop);
    connect(playPause_, &QToolButton::clicked, this,
            [this] { player_.playState() == Player::Playing ? player_.pause() : player_.play(); });
    connect(seek_, &QSlider::sliderMoved, this, [this](int value) { player_.seek(value); });
    connect(mute_, &QToolButton::clicked, this, [this] { player_.setMute(!player_.mute()); });
    connect(volume_, &QSlider::sliderMoved, &player_, &Player::setVolume);

    for (QWidget* child : findChildren<QWidget*>()) {
        child->setMouseTracking(true);
        child->installEventFilter(this);
    }
}

void PlayerWidget::showItem() {
    const Media& item = player_.currentMedia();
    title_->setText(item
                        ? item->sourceURL().mid(item->sourceURL().lastIndexOf(QLatin1Char('/')) + 1)
                        : tr("No file playing"));
    setToolTip(item ? item->sourceURL() : QString());
    showPosition();
}

void PlayerWidget::showState(int state) {
    static const QHash<int, QString> names = {{Player::Stopped, tr("Stopped")},
                                              {Player::Paused, tr("Paused")},
                                              {Player::Playing, tr("Playing")},
                                              {Player::Transitioning, tr("Opening")},
                                              {Player::MediaEnded, tr("Ended")}};
    // Without a file there is nothing to say of it; the screen reads as at start.
    status_->setText(player_.currentMedia() ? names.value(state, tr("Ready")) : QString());
    const bool playing = state == Player::Playing || state == Player::Transitioning;
    setSymbol(playPause_, playing ? TransportIcon::Pause : TransportIcon::Play);
    playPause_->setToolTip(playing ? tr("Pause (Space)") : tr("Play (Space)"));
}

void PlayerWidget::showNotice(const QString& text) {
    constexpr int kNoticeMs = 5000;
    notice_->setText(text);
    noticeTimer_->start(kNoticeMs);
}

QString PlayerWidget::notice() const {
    return notice_->text();
}

void PlayerWidget::showPosition() {
    const double length = player_.duration();
    seek_->setRange(0, static_cast<int>(length));
    if (!seek_->isSliderDown())
        seek_->setValue(static_cast<int>(player_.position()));
    time_->setText(formatTime(player_.position()) + QStringLiteral(" / ") + formatTime(length));
}

void PlayerWidget::showVolume(int percent, bool muted) {
    volume_->setValue(percent);
    setSymbol(mute_, muted ? TransportIcon::Muted : TransportIcon::Volume);
}

void PlayerWidget::showFullScreen(bool on) {
    if (on) {
        placeInWindow_ = geometry();
        setWindowFlags(Qt::Window);
        setWindowTitle(tr("Thrennic Player"));
        QWidget::showFullScreen();
    } else {
        // The full-screen state outlives the window flags; left set, the next
        // switch would show a plain small window instead of filling the screen.
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        setWindowFlags(Qt::Widget);
        setGeometry(placeInWindow_);
        show();
    }
    setFocus();
}

void PlayerWidget::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = event->modifiers() == Qt::ControlModifier;
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
        player_.playState() == Player::Playing ? player_.pause() : player_.play();
        return;
    case Qt::Key_Z:
        if (!ctrl)
            break;
        Q_EMIT UndoRequested();
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

void PlayerWidget::changeEvent(QEvent* event) {
    // A skin or a desktop theme change: the symbols take the new colours.
    if (event->type() == QEvent::PaletteChange)
        for (QToolButton* button : findChildren<QToolButton*>()) {
            const QVariant symbol = button->property(kSymbolProperty);
            if (symbol.isValid())
                setSymbol(button, static_cast<TransportIcon>(symbol.toInt()));
        }
    QWidget::changeEvent(event);
}

bool PlayerWidget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove)
        Q_EMIT MouseMove();
    else if (event->type() == QEvent::MouseButtonDblClick && !qobject_cast<QToolButton*>(watched))
        Q_EMIT DoubleClick();
    else if (event->type() == QEvent::MouseButtonPress && !qobject_cast<QSlider*>(watched))
        setFocus(Qt::MouseFocusReason);
    return QWidget::eventFilter(watched, event);
}
